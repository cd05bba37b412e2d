// The readers under fuzzing take paths: each input goes through files in a
// folder of this process's own, removed when the process exits.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace dp::fuzz {

class FuzzFolder {
 public:
  FuzzFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dpfuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
  }
  ~FuzzFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  FuzzFolder(const FuzzFolder&) = delete;
  FuzzFolder& operator=(const FuzzFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The folder lives until the process exits; static destruction removes it.
inline const std::filesystem::path& FuzzDir() {
  static const FuzzFolder folder;
  return folder.path();
}

inline std::string WriteFuzzFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path path = FuzzDir() / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (size > 0) out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path.string();
}

}  // namespace dp::fuzz
