# Sourced by the benchmarks: best_of_3 CMD... prints the best wall-clock time
# in seconds of three runs of CMD.
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
