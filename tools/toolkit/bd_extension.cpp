#include "toolkit/bd_extension.h"

#include "toolkit/files.h"

namespace dp::tools {

std::uint32_t AppendExtensionData(std::vector<std::uint8_t>& file,
                                  const std::vector<ExtensionEntry>& entries) {
  const std::size_t start = file.size();
  std::vector<std::uint8_t> b;
  PutBe32(b, 0);  // length, set below
  // Entries and their data are addressed from the block's start.
  const std::size_t first_data = 12 + 12 * entries.size();
  PutBe32(b, static_cast<std::uint32_t>(first_data));
  b.insert(b.end(), {0, 0, 0, static_cast<std::uint8_t>(entries.size())});
  std::size_t at = first_data;
  for (const ExtensionEntry& e : entries) {
    PutBe16(b, e.id1);
    PutBe16(b, e.id2);
    PutBe32(b, static_cast<std::uint32_t>(at));
    PutBe32(b, static_cast<std::uint32_t>(e.data.size()));
    at += e.data.size();
  }
  for (const ExtensionEntry& e : entries) b.insert(b.end(), e.data.begin(), e.data.end());
  SetBe32(&b[0], static_cast<std::uint32_t>(b.size() - 4));
  file.insert(file.end(), b.begin(), b.end());
  return static_cast<std::uint32_t>(start);
}

}  // namespace dp::tools
