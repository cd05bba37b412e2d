#!/usr/bin/env bash
# Times the bitrate scan with the scan pop-up's one-second tick running
# (discpress-cli scan SOURCE, whose progress line is that tick) against the
# scan alone (the low-level discpress-cli scan --duration-ms ... FILE) on the
# same file of at least 1 GB held in the page cache. The opening of the
# source, timed as `analyse`, is taken off the first.
#
#   bench/scan_tick_bench.sh [PATH-TO-RELEASE-discpress-cli [TOOLS-DIR]]
#
# The CLI may also be given as $DISCPRESS_CLI; TOOLS-DIR holds the eac3to
# stand-in (default: the CLI's folder). Needs ffmpeg and about 1.1 GB free in
# $TMPDIR (default /tmp); the file is made in a temporary folder that is
# removed afterwards.
set -euo pipefail

cli=${1:-${DISCPRESS_CLI:-}}
if [[ -z "$cli" || ! -x "$cli" ]]; then
  echo "usage: $0 PATH-TO-RELEASE-discpress-cli [TOOLS-DIR] (or set DISCPRESS_CLI)" >&2
  exit 2
fi
tools=${2:-$(cd "$(dirname "$cli")" && pwd)}
source "$(dirname "$0")/common.sh"
need ffmpeg

scratch tickbench
export HOME="$work" XDG_CONFIG_HOME="$work/config" TMPDIR="$work" DISCPRESS_TOOLS_DIR="$tools"

target_bytes=$((1024 * 1024 * 1024))
segment="$work/segment.m2ts"
file="$work/00001.m2ts"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=1280x720:rate=24" -f lavfi -i "sine=frequency=440" -t 30 \
  -map 0:v -map 1:a -c:v mpeg2video -b:v 25M -maxrate 25M -bufsize 8M -c:a ac3 -b:a 640k \
  -f mpegts -mpegts_m2ts_mode 1 -streamid 0:0x1011 -streamid 1:0x1100 "$segment"
seg_bytes=$(stat -c %s "$segment")
copies=$(( (target_bytes + seg_bytes - 1) / seg_bytes ))
for ((i = 0; i < copies; i++)); do cat "$segment"; done >"$file"
rm -f -- "$segment"
duration_ms=$((copies * 30000))
cat "$file" >/dev/null
cat "$file" >/dev/null


# The difference sought is a few per cent of half a second: three rounds of
# best-of-3 per command, the commands taking turns so that a busy moment of
# the machine falls on all of them; the best of each is kept.
"$cli" scan "$file" >"$work/tick.txt"
plain=("$cli" scan --duration-ms "$duration_ms" --video 4113 --audio 4352 "$file")
min() { if [[ -z "$1" ]] || (($(echo "$2 < $1" | bc -l))); then echo "$2"; else echo "$1"; fi; }
t_open="" t_tick="" t_plain=""
for _ in 1 2 3; do
  t_open=$(min "$t_open" "$(best_of_3 "$cli" analyse "$file")")
  t_tick=$(min "$t_tick" "$(best_of_3 "$cli" scan "$file")")
  t_plain=$(min "$t_plain" "$(best_of_3 "${plain[@]}")")
done
t_scan=$(echo "$t_tick - $t_open" | bc -l)

printf 'file: %d bytes; scan SOURCE printed %d progress lines, the last:\n' "$(stat -c %s "$file")" \
  "$(grep -c '^Scanning ' "$work/tick.txt")"
grep '^Scanning ' "$work/tick.txt" | tail -n 1 | sed 's/^/  /'
printf 'times (best of 9): opening %.3f s, scan SOURCE %.3f s (scan %.3f s), low-level scan %.3f s\n' \
  "$t_open" "$t_tick" "$t_scan" "$t_plain"
printf 'ticking / plain = %.3f  (goal <= 1.05)\n' "$(echo "$t_scan / $t_plain" | bc -l)"
