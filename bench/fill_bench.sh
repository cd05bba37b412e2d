#!/usr/bin/env bash
# How well a planned job fills its medium: a generated 1080p23.976 H.264 +
# AC-3 clip is added through `discpress-cli add` for a custom medium, encoded
# two-pass by x264 and muxed by the tsMuxeR stand-in (`queue run`); the size of
# the output folder is divided by the medium's capacity. The goal is a ratio
# between 0.90 and 1.00, never above.
#
#   bench/fill_bench.sh [BUILD_DIR]
#
# BUILD_DIR (default build) holds discpress-cli and the stand-ins.
# Environment: DP_BENCH_SECONDS (clip length, default 180), DP_BENCH_MB (the
# custom medium, default 60), DP_BENCH_PRESET (the preset chosen on the panel,
# default ultrafast), DP_BENCH_KEEP=1 keeps the work folder.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
cli="$build/discpress-cli"
seconds=${DP_BENCH_SECONDS:-180}
mb=${DP_BENCH_MB:-60}
preset=${DP_BENCH_PRESET:-ultrafast}
[[ -x $cli ]] || { echo "no discpress-cli in $build" >&2; exit 2; }
source "$(dirname "$0")/common.sh"
need ffmpeg x264

scratch fill
export XDG_CONFIG_HOME="$work/config" HOME="$work" TMPDIR="$work" DISCPRESS_TOOLS_DIR="$build"

# A disc clip well above the budget's rate, so the video is recoded.
ffmpeg -hide_banner -nostdin -loglevel error -y \
  -f lavfi -i "testsrc2=size=1920x1080:rate=24000/1001" -f lavfi -i "sine=sample_rate=48000" -t "$seconds" \
  -c:v libx264 -preset ultrafast -b:v 8M -maxrate 12M -bufsize 12M -x264-params force-cfr=1 \
  -c:a ac3 -b:a 192k -f mpegts -mpegts_m2ts_mode 1 -muxrate 20M -streamid 0:0x1011 -streamid 1:0x1100 \
  "$work/clip.m2ts"

"$cli" settings set CustomMedia "$mb" >/dev/null
# The low-rate question of a 1080p budget is answered yes.
"$cli" add "$work/clip.m2ts" --media 4 --preset "$preset" --output "$work/out/Fill" --answer Yes \
  >"$work/add.txt" 2>&1 || { cat "$work/add.txt" >&2; exit 1; }
start=$(date +%s.%N)
"$cli" queue run >"$work/run.txt" 2>&1 || { tail -20 "$work/run.txt" >&2; exit 1; }
end=$(date +%s.%N)

rate=$(sed -n 's/^rate\t//p' "$work/add.txt")
size=$(find "$work/out/Fill" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
awk -v size="$size" -v mb="$mb" -v rate="$rate" -v s="$seconds" -v t0="$start" -v t1="$end" 'BEGIN {
  cap = mb * 1000000
  printf "planned video rate: %d kbps over %d s\n", rate, s
  printf "output folder:      %d bytes of %d\n", size, cap
  printf "job time:           %.1f s\n", t1 - t0
  printf "fill:               %.4f (goal 0.90 to 1.00)\n", size / cap
  exit (size / cap >= 0.90 && size <= cap ? 0 : 1)
}'
