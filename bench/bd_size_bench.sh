#!/usr/bin/env bash
# How much the Blu-ray muxer stand-in adds to what it carries: a generated
# 1080p23.976 H.264 + AC-3 clip (elementary streams, as the encoder and the
# demuxer leave them) muxed into an AVCHD tree with a control file like the
# program's, then the size of BDMV/STREAM/00000.m2ts divided by the sum of the
# two streams. The goal is a ratio of at most 1.06.
#
#   bench/bd_size_bench.sh [BUILD_DIR]
#
# BUILD_DIR (default build) holds the stand-ins. Environment: DP_BENCH_SECONDS
# (clip length, default 180), DP_BENCH_KEEP=1 keeps the work folder.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
muxer="$build/tsMuxeR/1.10.6/tsMuxeR"
seconds=${DP_BENCH_SECONDS:-180}
[[ -x $muxer ]] || { echo "no tsMuxeR stand-in in $build" >&2; exit 2; }
source "$(dirname "$0")/common.sh"
need ffmpeg mkvmerge

scratch bdsize

# A film-like rate: about 8 Mbit/s of video, 640 kbit/s of AC-3.
ffmpeg -hide_banner -nostdin -loglevel error -y \
  -f lavfi -i "testsrc2=size=1920x1080:rate=24000/1001" -t "$seconds" \
  -c:v libx264 -preset veryfast -b:v 8M -maxrate 12M -bufsize 12M -g 24 -f h264 "$work/Movie.job_1.264"
ffmpeg -hide_banner -nostdin -loglevel error -y \
  -f lavfi -i "sine=sample_rate=48000" -ac 6 -t "$seconds" -c:a ac3 -b:a 640k -f ac3 "$work/Movie.job_1.ac3"

cat >"$work/tsmuxer.job_1.meta" <<META
MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr --auto-chapters=5 --vbv-len=500
V_MPEG4/ISO/AVC, "$work/Movie.job_1.264", fps=23.976
A_AC3, "$work/Movie.job_1.ac3", lang=eng
META
start=$(date +%s.%N)
"$muxer" "$work/tsmuxer.job_1.meta" "$work/OUT" >/dev/null
end=$(date +%s.%N)

video=$(stat -c %s "$work/Movie.job_1.264")
audio=$(stat -c %s "$work/Movie.job_1.ac3")
m2ts=$(stat -c %s "$work/OUT/BDMV/STREAM/00000.m2ts")
awk -v v="$video" -v a="$audio" -v m="$m2ts" -v s="$seconds" -v t0="$start" -v t1="$end" 'BEGIN {
  printf "elementary streams: %d bytes (video %d, audio %d)\n", v + a, v, a
  printf "00000.m2ts:         %d bytes, %.2f Mbit/s over %d s\n", m, m * 8 / s / 1e6, s
  printf "mux time:           %.1f s\n", t1 - t0
  printf "ratio:              %.4f (goal <= 1.06)\n", m / (v + a)
  exit (m / (v + a) <= 1.06 ? 0 : 1)
}'
