// The interleaved file of a 3D clip (BDMV/STREAM/SSIF/<clip>.ssif): the
// dependent view's clip and the base view's clip cut into extents of about
// a second, whole aligned units of 32 source packets, each dependent
// extent ahead of the base extent that arrives at the same time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dp::tools {

// Writes `output` from the two clips and gives the source packet where each
// extent starts in its own clip (pairwise: extent k of both files). False
// when a file can't be read or written.
bool WriteInterleavedFile(const std::string& base, const std::string& dependent, const std::string& output,
                          std::vector<std::uint32_t>& base_starts,
                          std::vector<std::uint32_t>& dependent_starts);

}  // namespace dp::tools
