// A bounded prefix of a file, read in one piece, with big-endian fields taken
// at fixed offsets. The Blu-ray readers never parse beyond such a prefix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dp {

struct FilePrefix {
  std::vector<std::uint8_t> bytes;

  // Reads at most max_bytes from the start of the file. False when the file
  // cannot be opened, is not a regular file or yields no byte at all;
  // *error, when given, then says why.
  bool Read(const std::string& path, std::size_t max_bytes, std::string* error = nullptr);

  std::size_t size() const { return bytes.size(); }

  // True when [offset, offset + length) lies within the bytes read. Offsets
  // come from the file as 32-bit numbers, so the sum is taken in 64 bits.
  bool Holds(std::uint64_t offset, std::uint64_t length) const;

  // Bytes past the bytes read read as zero, as they would from a zeroed
  // fixed-size buffer; nothing outside the bytes read is touched.
  std::uint8_t U8(std::uint64_t offset) const;
  std::uint16_t U16(std::uint64_t offset) const;
  std::uint32_t U32(std::uint64_t offset) const;
};

}  // namespace dp
