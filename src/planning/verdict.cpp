#include "planning/verdict.h"

#include "planning/target_panel.h"
#include "util/text.h"

namespace dp {

Verdict UntouchedVerdict(int source_kbps) {
  return {
      Format("Info: source bitrate (~%d Kbps) < target bitrate. Not need to recode video :)", source_kbps),
      kVerdictBlue};
}

Verdict CrfVerdict(int crf, bool full_picture) {
  if (crf == 1 && full_picture)
    return {"Info: Not recode the video. Only remux the untouched video :)", kVerdictBlue};
  if (crf == 0) return {"Info: The video is recoded using lossless compression (CRF 0)", kVerdictBlue};
  const char* quality = "very good :))";
  std::uint32_t colour = kVerdictGreen;
  if (crf >= 26) {
    quality = "low :((";
    colour = kVerdictDarkRed;
  } else if (crf >= 23) {
    quality = "regular-low :(";
    colour = kVerdictDarkRed;
  } else if (crf >= 21) {
    quality = "regular :|";
    colour = kVerdictOrange;
  } else if (crf == 20) {
    quality = "good :)";
  }
  return {Format("Info: The video is recoded using a CRF %d. The quality is %s", crf, quality), colour};
}

Verdict BitrateVerdict(int kbps, bool wide, bool mvc) {
  // Full-HD pictures need more for the same look; two views need twice that.
  const int f = mvc ? 2 : 1;
  const int t1 = wide ? f * 3500 : 2000;
  const int t2 = wide ? f * 4000 : 2500;
  const int t3 = wide ? f * 4500 : 3000;
  const int t4 = wide ? f * 5000 : 3500;
  const char* quality = "low :((";
  std::uint32_t colour = kVerdictDarkRed;
  if (kbps > t4) {
    quality = "very good :))";
    colour = kVerdictGreen;
  } else if (kbps > t3) {
    quality = "good :)";
    colour = kVerdictGreen;
  } else if (kbps > t2) {
    quality = "regular :|";
    colour = kVerdictOrange;
  } else if (kbps >= t1) {
    quality = "regular-low :(";
  }
  return {Format("Info: It's necessary to recode the video at %d Kbps. The quality is %s", kbps, quality),
          colour};
}

}  // namespace dp
