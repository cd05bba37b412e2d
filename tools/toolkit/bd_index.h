// The disc's navigation files: index.bdmv (what runs on insertion and as
// title 1) and MovieObject.bdmv (the HDMV programs they run).
#pragma once

#include <cstdint>
#include <vector>

namespace dp::tools {

// First Playback and title 1 both run movie object 0; no top menu. A 3D
// disc says it holds stereoscopic content, prefers 3D output and names its
// video's format and rate (the clip information's codes).
std::vector<std::uint8_t> BuildIndex(bool stereo = false, std::uint8_t format = 0, std::uint8_t rate = 0);

// One movie object that plays playlist `playlist` (PlayPL) and ends.
std::vector<std::uint8_t> BuildMovieObject(unsigned playlist);

}  // namespace dp::tools
