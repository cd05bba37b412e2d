// The extension data block that ends the clip information, playlist and
// index files: a table of (ID1, ID2) entries, each naming its data.
#pragma once

#include <cstdint>
#include <vector>

namespace dp::tools {

struct ExtensionEntry {
  unsigned id1 = 0, id2 = 0;
  std::vector<std::uint8_t> data;
};

// Appends the block to `file` and returns where it starts, for the header's
// extension data address.
std::uint32_t AppendExtensionData(std::vector<std::uint8_t>& file,
                                  const std::vector<ExtensionEntry>& entries);

}  // namespace dp::tools
