// Opening files for reading, and whole-file reads and writes for small files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dp {

// Owns an open file descriptor.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() { Close(); }
  FileHandle(FileHandle&& other) noexcept : fd_(other.Release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool valid() const { return fd_ >= 0; }
  int get() const { return fd_; }
  int Release();
  void Close();

 private:
  int fd_ = -1;
};

// Opens a file for reading only when the path names a regular file (after
// links). A named pipe, a device, a socket or a folder is refused at once:
// opening a pipe waits for a writer and reading a device may never end, so
// a reader given one would hang. On refusal or failure the handle is not
// valid and *error, when given, says why, naming the path
// ("/x/a.mpls: is a named pipe (FIFO), not a regular file").
FileHandle OpenRegularFile(const std::string& path, std::string* error = nullptr);

// The file's bytes, or nothing when it cannot be read or is not a regular
// file (*error then says why).
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, std::string* error = nullptr);
// Writes to a sibling temporary file and renames it over the target, so a
// reader never sees half a file. False when anything failed.
bool WriteWholeFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace dp
