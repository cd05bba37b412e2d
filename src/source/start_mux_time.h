// The 3D offset metadata at the start of a stereoscopic stream file: its start
// time and the number of 3D planes it carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dp {

inline constexpr std::size_t kStartMuxReadSize = 2048;

// Start time in 45 kHz units from the first "OFMD" block in the first 2048
// bytes; 0 when the file is shorter or has none. When found, *plane_count (if
// given) receives the number of 3D planes; otherwise it is left as it was.
std::int32_t GetStartMuxTime(const std::string& path, std::int8_t* plane_count = nullptr);

}  // namespace dp
