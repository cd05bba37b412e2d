#include "source/file_prefix.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/file_io.h"

namespace dp {

bool FilePrefix::Read(const std::string& path, std::size_t max_bytes, std::string* error) {
  bytes.clear();
  if (error) error->clear();
  const FileHandle file = OpenRegularFile(path, error);
  if (!file.valid()) return false;
  bytes.resize(max_bytes);
  std::size_t got = 0;
  while (got < max_bytes) {
    const ssize_t n = ::read(file.get(), bytes.data() + got, max_bytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && error) *error = path + ": " + std::strerror(errno);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  if (got == 0 && error && error->empty()) *error = path + ": the file is empty";
  return got > 0;
}

bool FilePrefix::Holds(std::uint64_t offset, std::uint64_t length) const {
  const std::uint64_t n = bytes.size();
  return offset <= n && length <= n - offset;
}

std::uint8_t FilePrefix::U8(std::uint64_t offset) const { return Holds(offset, 1) ? bytes[offset] : 0; }

std::uint16_t FilePrefix::U16(std::uint64_t offset) const {
  return static_cast<std::uint16_t>(U8(offset) << 8 | U8(offset + 1));
}

std::uint32_t FilePrefix::U32(std::uint64_t offset) const {
  return std::uint32_t{U8(offset)} << 24 | std::uint32_t{U8(offset + 1)} << 16 |
         std::uint32_t{U8(offset + 2)} << 8 | std::uint32_t{U8(offset + 3)};
}

}  // namespace dp
