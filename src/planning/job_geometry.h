// The output picture of a job: its size and the encoder's picture filter
// (pad, crop, resize) for the chosen target and Advanced options.
#pragma once

#include <string>

namespace dp {

struct JobGeometry {
  std::string filter;  // " --vf \"...\"", or empty
  int width = 0;
  int height = 0;
  // The width is none of the disc widths (720, 1280, 1440, 1920): the user
  // must agree before the size is kept as it is.
  bool odd_width = false;
};

// w, h: the chosen video's size; mkv: the MKV target (crop applies only there).
JobGeometry PlanGeometry(bool mkv, int w, int h, int crop_height, bool resize_720p);

}  // namespace dp
