#include "planning/geometry.h"

#include <cmath>

namespace dp {

int CropBand(int crop_height) { return (1080 - crop_height) / 2; }

int CropAndResize(int crop_height) {
  switch (crop_height) {
    case 800:
      return 532;
    case 804:
      return 536;
    case 808:
      return 540;
    case 816:
      return 544;
    case 868:
      return 580;
    case 1040:
      return 692;
    case 1080:
      return 720;
    default:
      return static_cast<int>(std::lround(crop_height * 2.0 / 3.0));
  }
}

}  // namespace dp
