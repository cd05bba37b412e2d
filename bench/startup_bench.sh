#!/usr/bin/env bash
# Start-up to the shown main window with a full queue of 100 jobs: the
# median of several starts, in a private store, on the offscreen platform.
# Usage: bench/startup_bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:?usage: startup_bench.sh BUILD_DIR [RUNS]}
runs=${2:-11}
source "$(dirname "$0")/common.sh"
scratch startup
export XDG_CONFIG_HOME=$work/config HOME=$work TMPDIR=$work QT_QPA_PLATFORM=offscreen
cli=$build/discpress-cli
printf '{"status":1,"video_rate":4500,"target_media":0,"output_path":"/out/job","target_label":"AVCHD BD5",' >"$work/job.json"
printf '"x264_preset":"medium","chapters":"%s"}\n' "$(head -c 2900 /dev/zero | tr '\0' 'c')" >>"$work/job.json"
for slot in $(seq 0 99); do "$cli" job put "$slot" --json "$work/job.json"; done
[ "$("$cli" queue list | wc -l)" -eq 100 ] || { echo "queue not planted" >&2; exit 1; }
times=()
for _ in $(seq "$runs"); do
  ms=$(DISCPRESS_STARTUP_PROBE=1 "$build/discpress" 2>/dev/null | sed -n 's/^startup_ms //p')
  times+=("$ms")
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
echo "startup to shown window with 100 queued jobs: median ${median} ms over ${runs} runs (goal < 500 ms)"
