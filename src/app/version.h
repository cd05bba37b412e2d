// The program's name and version, as it shows them and stores them.
#pragma once

namespace dp {

inline constexpr char program_name[] = "DiscPress";
inline constexpr char program_version[] = "3.3.0";

}  // namespace dp
