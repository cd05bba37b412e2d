// Whole-file reads and writes for small files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dp {

// The file's bytes, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);
// Writes to a sibling temporary file and renames it over the target, so a
// reader never sees half a file. False when anything failed.
bool WriteWholeFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace dp
