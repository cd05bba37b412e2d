#include "planning/job_geometry.h"

#include "planning/geometry.h"
#include "util/text.h"

namespace dp {

namespace {

JobGeometry MkvGeometry(int w, int h, int crop, bool resize) {
  if (crop == 0) {
    if (w == 1920 && resize) return {" --vf \"resize:1280,,,fittobox=width\"", 1280, CropAndResize(h)};
    return {"", w, h};
  }
  const int band = CropBand(crop);
  if (resize) {
    return {Format(" --vf \"crop:0,%d,0,%d/resize:1280,,,fittobox=width\"", band, band), 1280,
            CropAndResize(crop)};
  }
  return {Format(" --vf \"crop:0,%d,0,%d\"", band, band), w, crop};
}

// Disc targets: a picture shorter than its format's height is padded to it.
JobGeometry DiscGeometry(int w, int h, bool resize) {
  if (w == 720) return {"", 720, h};
  if (w == 1280) return {h < 720 ? " --vf \"pad:,,,,,720\"" : "", 1280, 720};
  if (w == 1440 || w == 1920) {
    if (h < 1080) {
      if (resize) return {" --vf \"pad:,,,,,1080/resize:1280,720\"", 1280, 720};
      return {" --vf \"pad:,,,,,1080\"", w, 1080};
    }
    if (resize) return {" --vf \"resize:1280,720\"", 1280, 720};
    return {"", w, 1080};
  }
  return {"", w, h, true};
}

}  // namespace

JobGeometry PlanGeometry(bool mkv, int w, int h, int crop_height, bool resize_720p) {
  return mkv ? MkvGeometry(w, h, crop_height, resize_720p) : DiscGeometry(w, h, resize_720p);
}

}  // namespace dp
