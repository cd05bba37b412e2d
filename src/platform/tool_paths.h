// Where an outside tool is on this machine. The tools are named as they lie
// below the program folder on Windows ("x264\x264_x64.exe"); here "\" is "/",
// ".exe" is dropped, and a tool absent below the program folder (or
// $DISCPRESS_TOOLS_DIR) is taken from PATH by its plain name. A "_x64"
// variant falls back to the plain name, as both are one native tool here.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace dp {

// The tool's path; when it is nowhere, the path it would have below the
// tools folder (so a launch fails naming it).
std::string ToolPath(std::string_view windows_relative);
// The same, looked up below tools_dir and in the given PATH text.
std::string ToolPathIn(std::string_view windows_relative, const std::filesystem::path& tools_dir,
                       std::string_view path_env);

}  // namespace dp
