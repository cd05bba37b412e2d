// Picture geometry shared by job creation and the encoding steps: how much
// a crop to a given height removes, and what height the 1280-wide 720p
// resize of such a picture ends up with.
#pragma once

namespace dp {

// Height of each of the two black bands removed when a 1080-line picture is
// cropped to `crop_height` lines (integer division: an odd remainder stays).
int CropBand(int crop_height);

// Height of a picture of `crop_height` lines once resized to 1280 wide. The
// common cinema heights map to mod-4 heights; any other height scales by 2/3,
// rounded to the nearest line.
int CropAndResize(int crop_height);

}  // namespace dp
