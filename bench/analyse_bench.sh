#!/usr/bin/env bash
# Times `discpress-cli analyse` on a 1 GB H.264 Blu-ray clip (its eac3to
# chapter run with the built stand-in, then the MediaInfo library's
# analysis) against the mediainfo command on the same file, best of three
# each, with the file in the page cache.
#
#   bench/analyse_bench.sh [PATH-TO-RELEASE-discpress-cli [TOOLS-DIR]]
#
# The CLI may also be given as $DISCPRESS_CLI; TOOLS-DIR (default: the CLI's
# folder) holds the built stand-ins, eac3to/eac3to among them. Needs ffmpeg,
# mediainfo, bc and about 1.1 GB free in $TMPDIR (default /tmp). The file, the
# store and the temporary folder are made in a folder removed afterwards.
set -euo pipefail

cli=${1:-${DISCPRESS_CLI:-}}
if [[ -z "$cli" || ! -x "$cli" ]]; then
  echo "usage: $0 PATH-TO-RELEASE-discpress-cli [TOOLS-DIR] (or set DISCPRESS_CLI)" >&2
  exit 2
fi
tools=${2:-$(dirname "$cli")}
if [[ ! -x "$tools/eac3to/eac3to" ]]; then
  echo "$0: no eac3to stand-in in $tools (build the dp_tools target)" >&2
  exit 2
fi
source "$(dirname "$0")/common.sh"
need ffmpeg mediainfo bc

scratch analysebench
segment="$work/segment.m2ts"
file="$work/00001.m2ts"

# 20 s of 1080p H.264 at 30 Mbit/s with AC-3, as a Blu-ray clip (192-byte
# packets, PIDs 0x1011 and 0x1100), then looped by copying with continuous
# timestamps until the file passes 1 GB.
ffmpeg -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=24000/1001" -f lavfi -i "sine=sample_rate=48000" \
  -t 20 -c:v libx264 -preset ultrafast -b:v 30M -maxrate 30M -bufsize 15M -x264-params force-cfr=1 \
  -c:a ac3 -b:a 640k -f mpegts -mpegts_m2ts_mode 1 -muxrate 40M -streamid 0:0x1011 -streamid 1:0x1100 "$segment"
seg_bytes=$(stat -c %s "$segment")
loops=$(( (1024 * 1024 * 1024 + seg_bytes - 1) / seg_bytes - 1 ))
ffmpeg -v error -y -stream_loop "$loops" -i "$segment" -map 0 -c copy -f mpegts -mpegts_m2ts_mode 1 \
  -muxrate 40M -streamid 0:0x1011 -streamid 1:0x1100 "$file"
rm -f -- "$segment"

# A store of its own, the titles left untouched (no search), and the
# temporary and output folders inside the work folder.
export XDG_CONFIG_HOME="$work/config" HOME="$work" TMPDIR="$work" DISCPRESS_TOOLS_DIR="$tools"
analyse=("$cli" analyse "$file" --scrape 0)
"${analyse[@]}" >"$work/analyse.txt"


cat "$file" >/dev/null
t_mediainfo=$(best_of_3 mediainfo "$file")
t_analyse=$(best_of_3 "${analyse[@]}")
t_eac3to=$(best_of_3 "$tools/eac3to/eac3to" "$file" 1: "$work/cap.txt" -log="$work/log.txt")

printf 'file: %d bytes, analyse output:\n' "$(stat -c %s "$file")"
sed 's/^/  /' "$work/analyse.txt"
printf 'times (best of 3): analyse %.3f s (its eac3to chapter run alone %.3f s), mediainfo %.3f s\n' \
  "$t_analyse" "$t_eac3to" "$t_mediainfo"
printf 'analyse / mediainfo = %.2f  (goal <= 1.5)\n' "$(echo "$t_analyse / $t_mediainfo" | bc -l)"
