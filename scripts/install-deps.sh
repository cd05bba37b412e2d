#!/usr/bin/env bash
# Installs every Debian 12 package DiscPress needs to build, run and test.
# Idempotent: packages already present are left alone.
set -euo pipefail
pkgs=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
  libsqlite3-dev libmediainfo0v5 libcurl4-gnutls-dev
  x264 x265 mkvtoolnix ffmpeg default-jre-headless genisoimage
  libgtest-dev libgmock-dev libbenchmark-dev clang xvfb xauth dbus-daemon
  python3
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
