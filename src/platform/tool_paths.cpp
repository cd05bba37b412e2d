#include "platform/tool_paths.h"

#include <cstdlib>
#include <vector>

#include "platform/paths.h"
#include "util/text.h"

namespace dp {

namespace {

// "x264\x264_x64.exe" → {"x264/x264_x64", "x264/x264"}.
std::vector<std::string> Candidates(std::string_view windows_relative) {
  std::string rel(windows_relative);
  for (char& c : rel)
    if (c == '\\') c = '/';
  if (IEndsWith(rel, ".exe")) rel.resize(rel.size() - 4);
  std::vector<std::string> out{rel};
  if (IEndsWith(rel, "_x64")) out.push_back(rel.substr(0, rel.size() - 4));
  return out;
}

}  // namespace

std::string ToolPathIn(std::string_view windows_relative, const std::filesystem::path& tools_dir,
                       std::string_view path_env) {
  const auto names = Candidates(windows_relative);
  for (const auto& rel : names)
    if (IsExecutableFile(tools_dir / rel)) return (tools_dir / rel).string();
  for (const auto& rel : names) {
    const Result<std::string> found = FindProgram(std::filesystem::path(rel).filename().string(), path_env);
    if (found) return *found;
  }
  return (tools_dir / names.front()).string();
}

std::string ToolPath(std::string_view windows_relative) {
  const char* path = std::getenv("PATH");
  return ToolPathIn(windows_relative, ToolsDir(), path ? path : "/usr/local/bin:/usr/bin:/bin");
}

}  // namespace dp
