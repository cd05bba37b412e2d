// Fake outside tools for the worker tests: one /bin/sh script that appends
// "@@ <name>", $0 and each argument to <record>/argv.log, writes its process
// group to <record>/pgid_<name>, creates the files its arguments name and
// exits 0. Control files in the record folder, each holding a text the joined
// arguments must contain (empty: always), change that:
//   FAIL_<name>   write the output, then exit with 7;
//   BLOCK_<name>  write the output, touch blocked_<name>, then sleep until
//                 killed (exec, so the tool's own pid is the one that waits).
// <name> is the script's file name, except "tsMuxeR-1" and "tsMuxeR-2" for
// the two muxer versions.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"

namespace dp::test {

inline constexpr const char* kFakeToolScript = R"SH(#!/bin/sh
export PATH=/usr/bin:/bin
rec="$DP_FAKE_RECORD"
me=$(basename "$0")
case "$0" in
  */1.10.6/*) me=tsMuxeR-1 ;;
  */2.x/*) me=tsMuxeR-2 ;;
esac
{
  echo "@@ $me"
  printf '%s\n' "$0"
  for a in "$@"; do printf '%s\n' "$a"; done
} >> "$rec/argv.log"
cut -d' ' -f5 /proc/$$/stat > "$rec/pgid_$me"

wants() { [ -e "$rec/$1_$me" ] && case "$all" in *"$(cat "$rec/$1_$me")"*) true ;; *) false ;; esac; }
all="$*"
pass="" stats="" prev="" n=0
for a in "$@"; do
  n=$((n + 1))
  case "$me:$prev" in
    eac3to:[0-9]*:|x264:-o|x265:--output|mkvmerge:--output|BDSup2Sub:-o) [ "$a" != /dev/null ] && printf 'data' > "$a" ;;
    x264:--stats) stats="$a" ;;
    x264:--pass) pass="$a" ;;
  esac
  [ "$me$n" = MVCenc4 ] && printf 'data' > "$a"
  case "$a" in -log=*) echo "Video track 1 contains 1234 frames." > "${a#-log=}" ;; esac
  prev="$a"
done

case "$me" in
  MVCdec|avs2yuv) echo "YUV4MPEG2 W1280 H720"; exit 0 ;;
  x265) cat > /dev/null ;;
  tsMuxeR-*)
    cp "$1" "$rec/meta_$me"
    case "$2" in
      *.iso) printf 'iso' > "$2" ;;
      *) mkdir -p "$2/BDMV/STREAM" && printf 'ts' > "$2/BDMV/STREAM/00000.m2ts" ;;
    esac ;;
esac
if wants BLOCK; then : > "$rec/blocked_$me"; exec sleep 600; fi
wants FAIL && exit 7
[ "$pass" = 1 ] && [ -n "$stats" ] && printf 'stats' > "$stats"
exit 0
)SH";

// One run of a fake tool: its name and its argv (argv[0] first).
struct FakeCall {
  std::string name;
  std::vector<std::string> argv;
};

// The feeders run beside x265, so their order is not the run's.
inline bool IsFeeder(const std::string& name) { return name == "MVCdec" || name == "avs2yuv"; }

class FakeTools {
 public:
  FakeTools(const std::filesystem::path& tools_dir, const std::filesystem::path& record_dir)
      : tools_(tools_dir), record_(record_dir) {
    std::filesystem::create_directories(record_);
    for (const char* rel :
         {"eac3to/eac3to", "x264/x264", "x265/x265", "x265/avs2yuv", "MVCenc", "MVCdec",
          "tsMuxeR/1.10.6/tsMuxeR", "tsMuxeR/2.x/tsMuxeR", "mkvtoolnix/mkvmerge", "BDSup2Sub/BDSup2Sub"}) {
      const std::filesystem::path p = tools_ / rel;
      std::filesystem::create_directories(p.parent_path());
      std::ofstream(p) << kFakeToolScript;
      ::chmod(p.c_str(), 0755);
    }
  }

  // The recorded runs (of the named tool, or all), in order.
  std::vector<FakeCall> Calls(const std::string& name = "") const {
    std::vector<FakeCall> calls;
    std::ifstream in(record_ / "argv.log");
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("@@ "))
        calls.push_back(FakeCall{line.substr(3), {}});
      else if (!calls.empty())
        calls.back().argv.push_back(line);
    }
    std::erase_if(calls, [&](const FakeCall& c) { return !name.empty() && c.name != name; });
    return calls;
  }
  // The tool names in run order, feeders left out.
  std::vector<std::string> Sequence() const {
    std::vector<std::string> out;
    for (auto& c : Calls())
      if (!IsFeeder(c.name)) out.push_back(c.name);
    return out;
  }
  void ClearRecord() const { std::filesystem::remove(record_ / "argv.log"); }

  void Fail(const std::string& name, const std::string& when = "") const {
    std::ofstream(record_ / ("FAIL_" + name)) << when;
  }
  void Block(const std::string& name, const std::string& when = "") const {
    std::ofstream(record_ / ("BLOCK_" + name)) << when;
  }
  void Release() const {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(record_, ec)) {
      const std::string n = e.path().filename().string();
      if (n.starts_with("FAIL_") || n.starts_with("BLOCK_") || n.starts_with("blocked_"))
        std::filesystem::remove(e.path(), ec);
    }
  }
  // Waits (up to 20 s) until the named tool sits in its blocking sleep.
  bool WaitBlocked(const std::string& name) const {
    for (int i = 0; i < 2000; ++i) {
      if (std::filesystem::exists(record_ / ("blocked_" + name))) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  // The process group the tool last ran in; 0 when it never ran.
  int GroupOf(const std::string& name) const {
    std::ifstream in(record_ / ("pgid_" + name));
    int pgid = 0;
    in >> pgid;
    return pgid;
  }

 private:
  std::filesystem::path tools_;
  std::filesystem::path record_;
};

}  // namespace dp::test
