// Stand-in for avs2yuv, the x265 feeder: reads the program's AviSynth script
// and writes the frames it describes as YUV4MPEG to standard output ("-") or
// a file, decoding with ffmpeg. Its standard error shares the encoder's pipe,
// so ffmpeg runs silent.
//
//   avs2yuv <script.avs> [-o] <output or ->

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "avs2yuv/script.h"
#include "toolkit/files.h"
#include "toolkit/pgs.h"
#include "toolkit/run.h"
#include "util/text.h"

namespace {

using namespace dp;
using namespace dp::tools;

int Fail(const std::string& message) {
  std::fprintf(stderr, "avs2yuv: %s\n", message.c_str());
  return 1;
}

// The forced captions of a PGS file in an anonymous in-memory file that the
// decoder inherits; its /proc name, or "" on failure.
std::string ForcedCaptionsFile(const std::string& sup) {
  std::vector<std::uint8_t> bytes;
  if (!ReadBytes(sup, bytes)) return "";
  const std::vector<std::uint8_t> forced = WritePgs(ForcedOnly(ReadPgs(bytes)));
  const int fd = ::memfd_create("forced-captions", 0);
  if (fd < 0) return "";
  std::size_t done = 0;
  while (done < forced.size()) {
    const ssize_t n = ::write(fd, forced.data() + done, forced.size() - done);
    if (n <= 0) return "";
    done += static_cast<std::size_t>(n);
  }
  return Format("/proc/self/fd/%d", fd);
}

}  // namespace

int main(int argc, char** argv) {
  std::string script_path, output;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-o" && i + 1 < argc)
      output = argv[++i];
    else if (script_path.empty())
      script_path = LocalPath(a);
    else if (output.empty())
      output = a;
    else
      return Fail("unexpected argument \"" + a + "\"");
  }
  if (script_path.empty() || output.empty()) return Fail("usage: avs2yuv <script.avs> [-o] <output or ->");
  std::string text, error;
  if (!ReadText(script_path, text)) return Fail("can't read the script \"" + script_path + "\"");
  ScriptRecipe recipe;
  if (!ParseScript(text, recipe, error)) return Fail(error);
  if (!IsFile(recipe.base)) return Fail("MVCsource: can't open \"" + recipe.base + "\"");
  if (!recipe.dependent.empty() && !IsFile(recipe.dependent))
    return Fail("MVCsource: can't open \"" + recipe.dependent + "\"");

  std::vector<std::string> cmd = FfmpegCommand("quiet");
  cmd.insert(cmd.end(), {"-i", recipe.base});
  if (!recipe.subtitle.empty()) {
    if (!IsFile(recipe.subtitle)) return Fail("SupTitle: can't open \"" + recipe.subtitle + "\"");
    const std::string sup = recipe.forced_only ? ForcedCaptionsFile(recipe.subtitle) : recipe.subtitle;
    if (sup.empty()) return Fail("SupTitle: can't prepare the forced captions");
    cmd.insert(cmd.end(), {"-f", "sup", "-i", sup});
  }
  cmd.insert(cmd.end(), {"-filter_complex", FilterGraph(recipe), "-map", "[out]"});
  if (recipe.frames > 0) cmd.insert(cmd.end(), {"-frames:v", std::to_string(recipe.frames)});
  const std::vector<std::string> y4m = Y4mOutput(output == "-" ? "-" : LocalPath(output));
  cmd.insert(cmd.end(), y4m.begin(), y4m.end());
  Exec(cmd);
  return Fail("can't start ffmpeg");
}
