#include "app/machine_id.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>

#include "platform/paths.h"
#include "util/text.h"

namespace dp {

namespace {

constexpr std::size_t kIdOffset = 4;
constexpr std::size_t kIdBytes = 16;
constexpr std::size_t kSerialOffset = 16;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The file holds exactly 32 hexadecimal digits, optionally followed by a
// line end; anything else is not an identifier we can trust.
std::optional<std::array<std::uint8_t, kIdBytes>> ParseIdFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(64, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  const std::string_view digits = Trim(text);
  if (digits.size() != 2 * kIdBytes) return std::nullopt;
  std::array<std::uint8_t, kIdBytes> bytes{};
  for (std::size_t i = 0; i < kIdBytes; ++i) {
    const int hi = HexDigit(digits[2 * i]);
    const int lo = HexDigit(digits[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  return bytes;
}

}  // namespace

MachineId ReadMachineId(const std::filesystem::path& machine_id_file,
                        const std::filesystem::path& volume_of) {
  MachineId id{};
  if (const auto bytes = ParseIdFile(machine_id_file)) {
    std::copy(bytes->begin(), bytes->end(), id.begin() + kIdOffset);
    return id;
  }
  struct stat st {};
  if (stat(volume_of.c_str(), &st) == 0) {
    const auto serial = static_cast<std::uint32_t>(st.st_dev);
    for (std::size_t i = 0; i < 4; ++i) id[kSerialOffset + i] = static_cast<std::uint8_t>(serial >> (8 * i));
  }
  return id;
}

MachineId ReadMachineId() { return ReadMachineId("/etc/machine-id", ProgramDir()); }

}  // namespace dp
