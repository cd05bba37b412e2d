#!/usr/bin/env bash
# Times the bitrate scanner on a transport stream of at least 1 GB held in the
# page cache, against reading the file with cat and against ffprobe counting
# its packets, and reports the scanner's peak resident memory.
#
#   bench/scanner_bench.sh [PATH-TO-RELEASE-discpress-cli]
#
# The CLI may also be given as $DISCPRESS_CLI. Needs ffmpeg, ffprobe,
# /usr/bin/time and about 1.1 GB free in $TMPDIR (default /tmp). The file is
# made in a temporary folder that is removed afterwards.
set -euo pipefail

cli=${1:-${DISCPRESS_CLI:-}}
if [[ -z "$cli" || ! -x "$cli" ]]; then
  echo "usage: $0 PATH-TO-RELEASE-discpress-cli (or set DISCPRESS_CLI)" >&2
  exit 2
fi
source "$(dirname "$0")/common.sh"
need ffmpeg ffprobe /usr/bin/time

scratch scanbench

target_bytes=$((1024 * 1024 * 1024))
segment="$work/segment.m2ts"
file="$work/00001.m2ts"

# A real Blu-ray-style stream (192-byte packets, video PID 0x1011, two audio
# PIDs from 0x1100, PAT/PMT/PCR), then repeated until the file passes 1 GB.
ffmpeg -v error -y -f lavfi -i "testsrc2=size=1280x720:rate=24" -f lavfi -i "sine=frequency=440" \
  -f lavfi -i "sine=frequency=660" -t 30 -map 0:v -map 1:a -map 2:a -c:v mpeg2video -b:v 25M \
  -maxrate 25M -bufsize 8M -c:a ac3 -b:a 640k -f mpegts -mpegts_m2ts_mode 1 "$segment"
seg_bytes=$(stat -c %s "$segment")
if (( seg_bytes % 192 != 0 )); then
  echo "$0: the generated segment is not made of 192-byte packets" >&2
  exit 1
fi
copies=$(( (target_bytes + seg_bytes - 1) / seg_bytes ))
for ((i = 0; i < copies; i++)); do cat "$segment"; done >"$file"
rm -f -- "$segment"
size=$(stat -c %s "$file")
duration_ms=$((copies * 30000))

# Into the page cache, so that every run below reads from memory.
cat "$file" >/dev/null
cat "$file" >/dev/null


scan=("$cli" scan --duration-ms "$duration_ms" --video 4113 --audio 4352 --audio 4353 --subtitle 4608 "$file")
"${scan[@]}" >"$work/scan.txt"

# Once more into the page cache, in case writing the file left part of it
# out, then each timing.
cat "$file" >/dev/null
t_cat=$(best_of_3 sh -c 'cat "$1" >/dev/null' sh "$file")
t_scan=$(best_of_3 "${scan[@]}")
t_probe=$(best_of_3 ffprobe -v error -count_packets -show_entries stream=nb_read_packets "$file")
peak_kb=$(/usr/bin/time -f %M "${scan[@]}" 2>&1 >/dev/null | tail -n 1)

printf 'file: %d bytes (%d packets), scanner output:\n' "$size" $((size / 192))
sed 's/^/  /' "$work/scan.txt"
printf 'times (best of 3): cat %.3f s, scanner %.3f s, ffprobe -count_packets %.3f s\n' "$t_cat" "$t_scan" "$t_probe"
printf 'scanner / cat          = %.2f  (goal <= 1.25)\n' "$(echo "$t_scan / $t_cat" | bc -l)"
printf 'ffprobe / scanner      = %.1f  (goal >= 10)\n' "$(echo "$t_probe / $t_scan" | bc -l)"
printf 'scanner peak resident  = %.1f MiB  (goal < 32)\n' "$(echo "$peak_kb / 1024" | bc -l)"
