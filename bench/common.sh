# Sourced by the benchmarks.

# Ends the benchmark (exit 2) when one of the named programs is missing.
need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is needed" >&2; exit 2; }
  done
}

# Makes $work, a scratch folder named after NAME, removed at exit unless
# DP_BENCH_KEEP=1.
scratch() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/dp-$1-XXXXXX")
  trap '[[ ${DP_BENCH_KEEP:-0} == 1 ]] || rm -rf -- "$work"' EXIT
}

# best_of_3 CMD... prints the best wall-clock time in seconds of three runs of CMD.
now() { date +%s.%N; }
best_of_3() {
  local best="" t0 t1 d
  for _ in 1 2 3; do
    t0=$(now)
    "$@" >/dev/null 2>&1
    t1=$(now)
    d=$(echo "$t1 - $t0" | bc -l)
    if [[ -z "$best" ]] || (($(echo "$d < $best" | bc -l))); then best=$d; fi
  done
  echo "$best"
}
