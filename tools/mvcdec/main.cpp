// Stand-in for the MVCdec decoder that feeds x265: decodes the base view
// into YUV4MPEG frames on standard output ("-") or into a file. A dependent
// view, when named, must exist; only the base view is decoded. Its standard
// error shares the encoder's pipe, so ffmpeg runs silent.
//
//   MVCdec <base view> <dependent view or ""> <frames, 0 = all> <mode> <output or ->

#include <cstdio>
#include <string>

#include "toolkit/files.h"
#include "toolkit/run.h"
#include "util/text.h"

int main(int argc, char** argv) {
  using namespace dp;
  using namespace dp::tools;
  if (argc != 6) {
    std::fprintf(stderr, "usage: MVCdec <base> <dependent or \"\"> <frames> <mode> <output or ->\n");
    return 1;
  }
  const std::string base = LocalPath(argv[1]);
  const std::string dependent = argv[2][0] ? LocalPath(argv[2]) : "";
  const int frames = LeadingInt(argv[3]);
  if (!IsFile(base) || (!dependent.empty() && !IsFile(dependent))) {
    std::fprintf(stderr, "MVCdec: can't open \"%s\"\n", IsFile(base) ? dependent.c_str() : base.c_str());
    return 1;
  }
  std::vector<std::string> cmd = FfmpegCommand("quiet");
  cmd.insert(cmd.end(), {"-i", base, "-an", "-sn"});
  if (frames > 0) cmd.insert(cmd.end(), {"-frames:v", std::to_string(frames)});
  const std::vector<std::string> y4m = Y4mOutput(std::string(argv[5]) == "-" ? "-" : LocalPath(argv[5]));
  cmd.insert(cmd.end(), y4m.begin(), y4m.end());
  Exec(cmd);
  std::fprintf(stderr, "MVCdec: can't start ffmpeg\n");
  return 1;
}
