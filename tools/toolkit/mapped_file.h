// A whole file mapped read-only into memory, for streams too large to read
// into a buffer; unmapped when it goes out of scope.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dp::tools {

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();
  // False when the file can't be opened or mapped; an empty file maps to
  // no bytes.
  bool Open(const std::string& path);
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace dp::tools
