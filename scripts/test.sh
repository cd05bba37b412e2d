#!/usr/bin/env bash
# Checks the includes against the build graph, installs what DiscPress
# needs, builds it and runs every test:
#   1. the whole tree with warnings as errors under AddressSanitizer and
#      UndefinedBehaviorSanitizer (unit, Qt and end-to-end tests), then once
#      more under a decimal-comma locale;
#   2. the threaded parts (worker, tool processes, scanner, update check) under ThreadSanitizer;
#   3. every fuzz target for a bounded time under AddressSanitizer;
#   4. a release build's install tree and Debian package (scripts/check_package.sh).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
echo "== includes against the build graph"
bash scripts/check_includes.sh || exit 1
bash scripts/install-deps.sh || exit 1
jobs=$(nproc)
passed=0
failed=0
status=0

# Reads ctest's summary line and adds it to the totals.
count() {
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  local f t
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + t - f))
  failed=$((failed + f))
}

export QT_QPA_PLATFORM=offscreen
# Let builds in other folders (a fresh CI clone) share the compiler cache.
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=true
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

echo "== build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-ci/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDP_WERROR=ON \
  -DDP_SANITIZE=address,undefined -DCMAKE_CXX_FLAGS=-O1 >/dev/null || exit 1
cmake --build build-ci/asan -j"$jobs" || exit 1
(cd build-ci/asan && ctest -j"$jobs" --output-on-failure --timeout 600) 2>&1 | tee build-ci/asan/ctest.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
count build-ci/asan/ctest.log

# Every test again where the decimal mark is a comma: the CLI, the tools'
# command lines and the readers must still write and read C numbers (LANG
# rather than LC_ALL: one CLI test sets LANG itself to choose the default
# languages).
echo "== the same tests under de_DE.UTF-8"
(cd build-ci/asan && LC_ALL= LC_NUMERIC= LANG=de_DE.UTF-8 ctest -j"$jobs" --output-on-failure --timeout 600) 2>&1 |
  tee build-ci/asan/ctest-de_DE.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
count build-ci/asan/ctest-de_DE.log

echo "== threaded parts with ThreadSanitizer"
cmake -S . -B build-ci/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDP_WERROR=ON -DDP_BUILD_GUI=OFF \
  -DDP_SANITIZE=thread -DCMAKE_CXX_FLAGS=-O1 -DDP_BUILD_TOOLS=OFF \
  "-DDP_TEST_ONLY=scanner;platform;queue;update;pipeline/worker_plan_test;pipeline/worker_stop_test" >/dev/null || exit 1
cmake --build build-ci/tsan -j"$jobs" || exit 1
(cd build-ci/tsan && ctest -j"$jobs" --output-on-failure --timeout 600) 2>&1 | tee build-ci/tsan/ctest.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
count build-ci/tsan/ctest.log

echo "== fuzz targets"
CC=clang CXX=clang++ cmake -S . -B build-ci/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDP_BUILD_FUZZ=ON \
  -DDP_BUILD_GUI=OFF -DDP_BUILD_TESTS=OFF -DDP_BUILD_TOOLS=OFF -DDP_SANITIZE=address,undefined \
  -DCMAKE_CXX_FLAGS="-O1 -fsanitize=fuzzer-no-link" >/dev/null || exit 1
cmake --build build-ci/fuzz -j"$jobs" || exit 1
seconds=${DP_FUZZ_SECONDS:-10}
for fuzzer in build-ci/fuzz/fuzz/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus=$(mktemp -d)
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
  scratch=$(mktemp -d)  # the targets write their inputs to files under TMPDIR
  if TMPDIR=$scratch "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$corpus" \
    >"build-ci/fuzz/$name.log" 2>&1; then
    echo "fuzz $name: clean for ${seconds}s"
    passed=$((passed + 1))
  else
    echo "fuzz $name: FAILED"
    tail -n 40 "build-ci/fuzz/$name.log"
    failed=$((failed + 1))
    status=1
  fi
  rm -rf "$corpus" "$scratch"
done

bash scripts/check_package.sh 2>&1 | tee build-ci/package.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
line=$(grep -E '^package checks: [0-9]+ passed, [0-9]+ failed$' build-ci/package.log | tail -n 1)
if [ -n "$line" ]; then
  passed=$((passed + $(sed -E 's/.* ([0-9]+) passed.*/\1/' <<<"$line")))
  failed=$((failed + $(sed -E 's/.* ([0-9]+) failed$/\1/' <<<"$line")))
else
  failed=$((failed + 1))
fi

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit $status
