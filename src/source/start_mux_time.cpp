#include "source/start_mux_time.h"

#include <cstring>

#include "source/file_prefix.h"

namespace dp {

std::int32_t GetStartMuxTime(const std::string& path, std::int8_t* plane_count) {
  FilePrefix file;
  if (!file.Read(path, kStartMuxReadSize) || file.size() < kStartMuxReadSize) return 0;

  // The block's bytes 5..10 must lie inside the bytes read.
  constexpr std::size_t kLastByte = 10;
  const std::uint8_t* b = file.bytes.data();
  for (std::size_t i = 0; i + kLastByte < kStartMuxReadSize; ++i) {
    if (std::memcmp(b + i, "OFMD", 4) != 0) continue;
    const std::uint8_t* f = b + i;
    if (plane_count) *plane_count = static_cast<std::int8_t>(f[10] & 0x7F);
    const std::uint64_t wide = std::uint64_t{f[5]} << 30 | std::uint64_t{f[6] & 0x7Fu} << 23 |
                               std::uint64_t{f[7]} << 15 | std::uint64_t{f[8] & 0x7Fu} << 8 | f[9];
    const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(wide));
    return value / 2;
  }
  return 0;
}

}  // namespace dp
