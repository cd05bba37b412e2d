// Rescaling and cropping of a PGS subtitle stream: the composition and
// window geometry and every object picture move to the new frame.
#pragma once

#include <vector>

#include "toolkit/pgs.h"

namespace dp::tools {

struct RescaleRequest {
  int crop_lines = 0;  // lines taken from the top and from the bottom of the frame
  int width = 0;       // target frame; 0 keeps the (cropped) source size
  int height = 0;
};

std::vector<PgsSegment> Rescale(const std::vector<PgsSegment>& in, const RescaleRequest& request);

}  // namespace dp::tools
