// The few AviSynth script lines the program writes for the x265 feeder:
// MVCsource, Crop, BicubicResize, the half side-by-side / top-bottom stacks
// and SupTitle burn-in, read into one picture recipe.
#pragma once

#include <string>
#include <string_view>

namespace dp::tools {

struct ScriptRecipe {
  std::string base;       // MVCsource's first file
  std::string dependent;  // its second file ("" for 2D)
  int frames = 0;         // 0 = all
  bool crop = false;
  int crop_left = 0, crop_top = 0, crop_right = 0, crop_bottom = 0;  // AviSynth Crop arguments
  int resize_width = 0, resize_height = 0;                           // BicubicResize, 0 = none
  enum Stack { kNone, kSideBySide, kTopBottom } stack = kNone;
  std::string subtitle;  // SupTitle's file, "" = none
  bool forced_only = false;
};

// False, with a message, when the script has no MVCsource call.
bool ParseScript(std::string_view text, ScriptRecipe& out, std::string& error);

// ffmpeg's filter graph for the recipe: input 0 the video, input 1 the
// subtitle when there is one; the result is labelled [out].
std::string FilterGraph(const ScriptRecipe& recipe);

}  // namespace dp::tools
