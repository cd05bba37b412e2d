#include "platform/shell.h"

#include <algorithm>
#include <iterator>
#include <system_error>

#include "platform/paths.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

// Where path leads: ".." and every link of the part that exists resolved.
fs::path Resolved(const fs::path& path) {
  std::error_code ec;
  fs::path resolved = fs::weakly_canonical(path, ec);
  if (ec) resolved = fs::absolute(path, ec).lexically_normal();
  // "/a/b/" and "/a/b" are the same folder.
  if (!resolved.has_filename() && resolved.has_relative_path()) resolved = resolved.parent_path();
  return resolved;
}

// inner is folder itself or lies somewhere below it.
bool IsWithin(const fs::path& inner, const fs::path& folder) {
  const auto [f, i] = std::mismatch(folder.begin(), folder.end(), inner.begin(), inner.end());
  return f == folder.end();
}

}  // namespace

std::string RefuseToDelete(const fs::path& path, const std::vector<fs::path>& kept_folders) {
  const std::string text = path.string();
  if (text.size() < 4) return "the path '" + text + "' is too short to be deleted";
  const fs::path target = Resolved(path);
  const auto depth = std::distance(target.relative_path().begin(), target.relative_path().end());
  if (target.relative_path().empty()) return "the root folder is never deleted";
  if (depth == 1) return "the top-level folder '" + target.string() + "' is never deleted";
  if (IsWithin(Resolved(HomeDir()), target))
    return "'" + target.string() + "' is the home folder or holds it, and is never deleted";
  for (const fs::path& kept : kept_folders) {
    if (kept.empty()) continue;
    if (IsWithin(Resolved(kept), target))
      return "'" + target.string() + "' is or holds the folder '" + kept.string() + "', which is kept";
  }
  return {};
}

std::string DeleteTree(const fs::path& path, const std::vector<fs::path>& kept_folders) {
  std::string refusal = RefuseToDelete(path, kept_folders);
  if (!refusal.empty()) return refusal;
  std::error_code ec;
  fs::remove_all(path, ec);
  std::error_code gone;
  if (!ec && !fs::exists(fs::symlink_status(path, gone))) return {};
  return "'" + path.string() + "' could not be removed whole" + (ec ? ": " + ec.message() : std::string());
}

}  // namespace dp
