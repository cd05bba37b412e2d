// The coloured "Info:" line on the expected quality of the video.
#pragma once

#include <cstdint>
#include <string>

namespace dp {

struct Verdict {
  std::string text;
  std::uint32_t colour = 0;
};

// The source is already below the target rate: its video is copied.
Verdict UntouchedVerdict(int source_kbps);
// A constant-quality target at CRF `crf`; full_picture: 2D or MVC.
Verdict CrfVerdict(int crf, bool full_picture);
// A bitrate target at `kbps`; wide: 1440 or more pixels kept (no 720p
// resize); mvc: both views share the rate.
Verdict BitrateVerdict(int kbps, bool wide, bool mvc);

}  // namespace dp
