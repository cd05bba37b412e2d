#include "platform/shell.h"

#include <system_error>

#include "platform/paths.h"

namespace dp {

std::string RefuseToDelete(const std::filesystem::path& path) {
  const std::string text = path.string();
  if (text.size() < 4) return "the path '" + text + "' is too short to be deleted";
  std::error_code ec;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
  const std::filesystem::path target = ec ? path.lexically_normal() : canonical;
  if (target == target.root_path() || target.relative_path().empty())
    return "the root folder is never deleted";
  const std::filesystem::path home = std::filesystem::weakly_canonical(HomeDir(), ec);
  if (!ec && target == home) return "the home folder is never deleted";
  return {};
}

bool DeleteTree(const std::filesystem::path& path) {
  if (!RefuseToDelete(path).empty()) return false;
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  return !ec && !std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace dp
