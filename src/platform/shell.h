// Removing a file or a whole folder tree, silently, with guards: never the
// root, a top-level folder, the home folder or a folder above it, a folder
// the caller must keep (the temporary and output folder settings) or a
// folder above one, never a path shorter than 4 bytes. The guards look at
// where the path leads once ".." and links are resolved.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace dp {

// Empty when path may be removed; otherwise why not. Empty entries of
// kept_folders are ignored.
std::string RefuseToDelete(const std::filesystem::path& path,
                           const std::vector<std::filesystem::path>& kept_folders = {});
// Removes path (file or tree; a link goes, not what it points to). Empty
// when nothing of it is left; otherwise why not (refused, or what stayed).
std::string DeleteTree(const std::filesystem::path& path,
                       const std::vector<std::filesystem::path>& kept_folders = {});

}  // namespace dp
