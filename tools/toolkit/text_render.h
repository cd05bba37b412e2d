// Text subtitles made into a PGS stream: libass (ffmpeg's `subtitles`
// filter) draws every event on a transparent canvas of the video's size, and
// each picture, cropped to its visible box and reduced to a palette, becomes
// one display set shown from the event's start to its end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/pgs.h"
#include "toolkit/srt.h"

namespace dp::tools {

struct TextStyle {
  std::string font = "Arial";
  int size = 48;                   // pixels of the video frame
  std::uint32_t color = 0xFFFFFF;  // 0xAARRGGBB, AA = 0 opaque (as in ASS)
  int bottom_offset = 24;          // pixels from the bottom edge
  int border = 2;                  // outline width, pixels
  int align = 2;                   // ASS alignment: 1 left, 2 centre, 3 right
};

// Events in any order. `scratch` is a path prefix for the files made on the way, removed before
// returning. False, with a message, when ffmpeg fails or an event's picture
// can't be made.
bool RenderTextToPgs(std::vector<SrtEvent> events, const TextStyle& style, int width, int height,
                     const std::string& scratch, std::vector<PgsSegment>& out, std::string& error);

}  // namespace dp::tools
