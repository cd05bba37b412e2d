#!/usr/bin/env bash
# Installs what DiscPress needs, builds it and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DDP_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j"$(nproc)"
exec ./build-release/discpress "$@"
