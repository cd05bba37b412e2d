#include "platform/volume_label.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "util/text.h"

namespace fs = std::filesystem;

namespace dp {

namespace {

// Mount table fields write a blank, a tab, a line end and a backslash as
// "\040", "\011", "\012" and "\134".
std::string UnescapeOctal(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
        s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// udev names the label links with "\x20" for a blank and the like.
std::string UnescapeHex(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && HexDigit(s[i + 2]) >= 0 &&
        HexDigit(s[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(s[i + 2]) * 16 + HexDigit(s[i + 3]));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string Normal(const fs::path& p) {
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// The device mounted at `folder` per the mount table, as given there.
std::string MountedDevice(const std::string& folder, const std::string& mountinfo) {
  std::error_code ec;
  const std::string wanted = Normal(folder);
  const std::string canonical = Normal(fs::weakly_canonical(folder, ec));
  std::ifstream in(mountinfo);
  std::string line, device;
  // "36 25 11:0 / /media/u/DISC ro,relatime shared:1 - udf /dev/sr0 ro"
  while (std::getline(in, line)) {
    const auto fields = Tokenize(line, " ");
    if (fields.size() < 5) continue;
    const std::string mount_point = UnescapeOctal(fields[4]);
    if (mount_point != wanted && mount_point != canonical) continue;
    for (std::size_t i = 5; i + 2 < fields.size(); ++i)
      if (fields[i] == "-") device = UnescapeOctal(fields[i + 2]);  // the last mount there wins
  }
  return device;
}

}  // namespace

std::string VolumeLabel(const std::string& folder, const MountRoots& roots) {
  std::string device = MountedDevice(folder, roots.mountinfo);
  if (!device.starts_with("/dev/")) return {};
  std::error_code ec;
  const fs::path dev_root(roots.dev);
  const fs::path device_path = fs::weakly_canonical(dev_root / device.substr(5), ec);
  if (ec) return {};
  for (fs::directory_iterator it(dev_root / "disk" / "by-label", ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code link_ec;
    if (fs::weakly_canonical(it->path(), link_ec) == device_path && !link_ec)
      return UnescapeHex(it->path().filename().string());
  }
  return {};
}

}  // namespace dp
