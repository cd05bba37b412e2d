#!/usr/bin/env bash
# How much CPU DiscPress itself spends while it drives an encoder: one x264
# job of a generated 1080p clip through `discpress-cli queue run`, then the
# CPU time of the discpress-cli process alone divided by the CPU time of the
# tools it ran. The goal is a ratio below 0.01.
#
#   bench/overhead_bench.sh [BUILD_DIR]
#
# BUILD_DIR (default build-e2e-release) holds discpress-cli and the tool
# stand-ins; configure it with -DCMAKE_BUILD_TYPE=Release. Environment:
# DP_BENCH_SECONDS (clip length, default 60), DP_BENCH_PRESET (x264 preset,
# default faster: a quick encoder makes DiscPress's share look larger, not
# smaller), DP_BENCH_KEEP=1 keeps the work folder.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build-e2e-release}" && pwd)
cli="$build/discpress-cli"
seconds=${DP_BENCH_SECONDS:-60}
preset=${DP_BENCH_PRESET:-faster}
[[ -x $cli ]] || { echo "no discpress-cli in $build" >&2; exit 2; }
source "$(dirname "$0")/common.sh"
need ffmpeg x264 mkvmerge python3

scratch overhead
mkdir -p "$work/config" "$work/temp" "$work/out"
# The store of this run only: never the user's.
export XDG_CONFIG_HOME="$work/config"
export DISCPRESS_TOOLS_DIR="$build"

echo "making a ${seconds} s 1080p clip..." >&2
ffmpeg -hide_banner -nostdin -loglevel error -y \
  -f lavfi -i "testsrc2=size=1920x1080:rate=24000/1001" -f lavfi -i "sine=sample_rate=48000" \
  -t "$seconds" -c:v libx264 -preset ultrafast -x264-params force-cfr=1 -c:a ac3 -b:a 192k \
  "$work/source.mkv"
frames=$(( seconds * 24000 / 1001 ))

"$cli" settings set TempPath "$work/temp" >/dev/null
"$cli" settings set OutPath "$work/out" >/dev/null
cat >"$work/job.json" <<JSON
{
  "status": 1, "target_media": 7, "video_rate": 20, "frame_count": $frames,
  "video_track_id": 1, "audio_track_id": 2, "video_eac3to_track": 1, "audio_eac3to_track": 2,
  "source_is_mkv": 1, "video_codec": "AVC", "output_name": "Overhead",
  "source_path": "$work/source.mkv", "output_path": "$work/out/Overhead.mkv",
  "fps_fraction": "24000/1001", "fps_text": "23.976", "audio_codec_id": "A_AC3",
  "audio_language": "eng", "x264_preset": "$preset", "output_width": 1920, "output_height": 1080
}
JSON
"$cli" job put 0 --json "$work/job.json" >/dev/null

echo "running the queue (x264 preset $preset)..." >&2
# The process is left a zombie after it exits (WNOWAIT), so its final
# accounting is still readable: utime+stime are its own, cutime+cstime those
# of the tools it waited for.
python3 - "$cli" "$work/run.log" <<'PY'
import os, subprocess, sys, time
cli, log = sys.argv[1], sys.argv[2]
tick = os.sysconf("SC_CLK_TCK")
start = time.monotonic()
with open(log, "w") as out:
    proc = subprocess.Popen([cli, "queue", "run"], stdout=out, stderr=subprocess.STDOUT)
    os.waitid(os.P_PID, proc.pid, os.WEXITED | os.WNOWAIT)
    with open(f"/proc/{proc.pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    code = proc.wait()
wall = time.monotonic() - start
# Fields 14-17 of stat; the split above starts at field 3.
utime, stime, cutime, cstime = (int(v) / tick for v in fields[11:15])
own, tools = utime + stime, cutime + cstime
if code != 0:
    sys.stderr.write(open(log).read())
    sys.exit(f"discpress-cli queue run failed with exit code {code}")
if wall < 60:
    sys.stderr.write(f"warning: the run took only {wall:.1f} s; raise DP_BENCH_SECONDS\n")
sys.stderr.write(f"wall {wall:.1f} s, discpress-cli {own:.2f} s (user {utime:.2f}, system {stime:.2f}), "
                 f"tools {tools:.1f} s\n")
print(f"overhead ratio {own / tools:.5f} (discpress-cli CPU {own:.2f} s / tools CPU {tools:.1f} s; goal < 0.01)")
PY
[[ -s $work/out/Overhead.mkv ]] || { echo "no output was made" >&2; exit 1; }
