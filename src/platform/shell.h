// Removing a file or a whole folder tree, silently, with guards: never the
// root, never the home folder itself, never a path shorter than 4 bytes.
#pragma once

#include <filesystem>
#include <string>

namespace dp {

// Empty when path may be removed; otherwise why not.
std::string RefuseToDelete(const std::filesystem::path& path);
// Removes path (file or tree). False when refused or when something stayed.
bool DeleteTree(const std::filesystem::path& path);

}  // namespace dp
