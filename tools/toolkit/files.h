// File names and whole-file reads and writes for the stand-ins.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dp::tools {

// A path as the program's command lines give it, made usable here: taken as
// it stands when that names an existing file, otherwise with every "\" read
// as "/" (the command-line templates glue folders and names with "\"). A
// trailing separator is dropped.
std::string LocalPath(std::string_view given);

// The last component of a path and everything before it ("" when none).
std::string BaseName(std::string_view path);
std::string DirName(std::string_view path);

// A C file closed when it goes out of scope.
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool IsFile(const std::string& path);
bool IsDirectory(const std::string& path);

bool ReadBytes(const std::string& path, std::vector<std::uint8_t>& out);
bool ReadText(const std::string& path, std::string& out);
bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& data);
bool WriteText(const std::string& path, std::string_view text);

// Big-endian fields of the Blu-ray and PGS formats.
inline unsigned Be16(const std::uint8_t* p) { return (unsigned{p[0]} << 8) | p[1]; }
inline std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
void PutBe16(std::vector<std::uint8_t>& out, unsigned v);
void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v);
void SetBe16(std::uint8_t* p, unsigned v);
void SetBe32(std::uint8_t* p, std::uint32_t v);

}  // namespace dp::tools
