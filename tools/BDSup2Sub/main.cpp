// Stand-in for BDSup2Sub: crops and rescales a PGS subtitle stream. The
// program's Windows line runs it as "java -jar BDSup2Sub.jar <options>"; the
// Linux build runs this program with the same options, and a leading
// "-jar <file>" pair is accepted and skipped so either form works.
//
//   BDSup2Sub [-jar <file>] [-T keep] [-c <lines>] [-r 720p|1080p|576p|480p|<w>x<h>] [-f <filter>]
//             -o <output.sup> <input.sup>

#include <cstdio>
#include <string>

#include "BDSup2Sub/rescale.h"
#include "toolkit/files.h"
#include "toolkit/pgs.h"
#include "util/text.h"

namespace {

using namespace dp;
using namespace dp::tools;

int Fail(const std::string& message) {
  std::fprintf(stderr, "BDSup2Sub: %s\n", message.c_str());
  return 1;
}

bool ParseResolution(const std::string& text, int& w, int& h) {
  if (IEquals(text, "720p") || IEquals(text, "720"))
    w = 1280, h = 720;
  else if (IEquals(text, "1080p") || IEquals(text, "1080"))
    w = 1920, h = 1080;
  else if (IEquals(text, "576p") || IEquals(text, "pal"))
    w = 720, h = 576;
  else if (IEquals(text, "480p") || IEquals(text, "ntsc"))
    w = 720, h = 480;
  else if (const std::size_t x = IFind(text, "x"); x != npos) {
    w = LeadingInt(text);
    h = LeadingInt(std::string_view(text).substr(x + 1));
  } else {
    return false;
  }
  return w > 0 && h > 0;
}

}  // namespace

int main(int argc, char** argv) {
  RescaleRequest request;
  std::string input, output;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if ((a == "-jar" || a == "-T" || a == "-f") && has_value) {
      ++i;  // the jar's own name, the frame-rate mode ("keep") and the filter change nothing here
    } else if (a == "-c" && has_value) {
      request.crop_lines = LeadingInt(argv[++i]);
    } else if (a == "-r" && has_value) {
      if (!ParseResolution(argv[++i], request.width, request.height))
        return Fail(std::string("unknown resolution \"") + argv[i] + "\"");
    } else if (a == "-o" && has_value) {
      output = LocalPath(argv[++i]);
    } else if (!a.empty() && a[0] != '-' && input.empty()) {
      input = LocalPath(a);
    } else {
      return Fail("unexpected argument \"" + a + "\"");
    }
  }
  if (input.empty() || output.empty()) return Fail("usage: BDSup2Sub [options] -o <output.sup> <input.sup>");
  std::vector<std::uint8_t> bytes;
  if (!ReadBytes(input, bytes)) return Fail("can't read \"" + input + "\"");
  const std::vector<PgsSegment> segments = ReadPgs(bytes);
  if (segments.empty()) return Fail("\"" + input + "\" holds no PGS subtitles");
  if (!WriteBytes(output, WritePgs(Rescale(segments, request))))
    return Fail("can't write \"" + output + "\"");
  std::printf("Wrote %s\n", output.c_str());
  return 0;
}
