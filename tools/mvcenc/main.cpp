// Stand-in for the MVCenc 3D encoder. It encodes the base view to H.264 at
// the given bitrate and peak limits and writes a stereo stream whose
// dependent view repeats the base view picture for picture (the dependent
// view file must exist but is not coded), printing "MVCenc [N.N%] n/N
// frames" lines whose shape the progress reader takes from the encoder's
// console title.
//
//   MVCenc <base view> <dependent view> <frames> <output> <kbps> <quality 1-7> <max kbps> <buffer kbit>

#include <cmath>
#include <cstdio>
#include <string>

#include "toolkit/files.h"
#include "toolkit/h264_views.h"
#include "toolkit/mapped_file.h"
#include "toolkit/run.h"
#include "util/text.h"

namespace {

using namespace dp;
using namespace dp::tools;

const char* PresetFor(int quality) {
  static const char* const kPresets[] = {"veryslow", "veryslow", "slower", "slow",
                                         "medium",   "fast",     "faster", "ultrafast"};
  return kPresets[quality >= 1 && quality <= 7 ? quality : 4];
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "MVCenc: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 9)
    return Fail(
        "usage: MVCenc <base> <dependent> <frames> <output> <kbps> <quality> <max kbps> <buffer kbit>");
  const std::string base = LocalPath(argv[1]);
  const std::string dependent = LocalPath(argv[2]);
  const int frames = LeadingInt(argv[3]);
  const std::string output = LocalPath(argv[4]);
  const int kbps = LeadingInt(argv[5]);
  const int quality = LeadingInt(argv[6]);
  const int max_kbps = LeadingInt(argv[7]);
  const int buffer = LeadingInt(argv[8]);
  if (!IsFile(base)) return Fail("can't open the base view \"" + base + "\"");
  if (!IsFile(dependent)) return Fail("can't open the dependent view \"" + dependent + "\"");
  if (frames <= 0 || kbps <= 0) return Fail("the frame count and the bitrate must be positive");

  std::vector<std::string> cmd = FfmpegCommand();
  cmd.insert(cmd.end(), {"-progress", "pipe:1", "-stats_period", "0.2", "-f", "h264", "-i", base, "-frames:v",
                         std::to_string(frames), "-an", "-c:v", "libx264", "-preset", PresetFor(quality),
                         "-b:v", Format("%dk", kbps)});
  if (max_kbps > 0 && buffer > 0)
    cmd.insert(cmd.end(), {"-maxrate", Format("%dk", max_kbps), "-bufsize", Format("%dk", buffer)});
  cmd.insert(cmd.end(), {"-f", "h264", output});
  int last = -1;
  const int rc = RunLines(cmd, [&](std::string_view line) {
    if (!line.starts_with("frame=")) return;
    const int done = LeadingInt(line.substr(6));
    if (done == last) return;
    last = done;
    std::printf("MVCenc [%.1f%%] %d/%d frames\n", std::fmin(100.0, done * 100.0 / frames), done, frames);
    std::fflush(stdout);
  });
  if (rc != 0) {
    std::remove(output.c_str());
    return Fail(Format("encoding failed (ffmpeg exit code %d)", rc));
  }
  // The base view stream gets its dependent view beside it.
  const std::string stereo = output + ".views";
  bool ok = false;
  {
    MappedFile base_view;
    FilePtr out(std::fopen(stereo.c_str(), "wb"));
    if (base_view.Open(output) && out) {
      bool written = true;
      ok = RepeatBaseAsDependentView(base_view.data(), base_view.size(),
                                     [&](const std::uint8_t* p, std::size_t n) {
                                       written = written && std::fwrite(p, 1, n, out.get()) == n;
                                     }) &&
           written;
      ok = std::fclose(out.release()) == 0 && ok;
    }
  }
  if (!ok || std::rename(stereo.c_str(), output.c_str()) != 0) {
    std::remove(stereo.c_str());
    std::remove(output.c_str());
    return Fail("can't write the dependent view into \"" + output + "\"");
  }
  return 0;
}
