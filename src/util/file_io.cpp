#include "util/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dp {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

int FileHandle::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void FileHandle::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

namespace {

const char* NotRegularReason(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder";
  if (S_ISFIFO(mode)) return "is a named pipe (FIFO), not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
  if (S_ISSOCK(mode)) return "is a socket, not a regular file";
  return "is not a regular file";
}

}  // namespace

FileHandle OpenRegularFile(const std::string& path, std::string* error) {
  // Non-blocking, so that a pipe without a writer (or a device) does not
  // hold the open; the type is checked on what was actually opened.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return FileHandle();
  }
  FileHandle file(fd);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return FileHandle();
  }
  if (!S_ISREG(st.st_mode)) {
    if (error) *error = path + ": " + NotRegularReason(st.st_mode);
    return FileHandle();
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return FileHandle();
  }
  return file;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file, std::string* error) {
  const FileHandle in = OpenRegularFile(file.string(), error);
  if (!in.valid()) return std::nullopt;
  std::string out;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(in.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (error) *error = file.string() + ": " + std::strerror(errno);
      return std::nullopt;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

bool WriteWholeFile(const std::filesystem::path& file, std::string_view bytes) {
  const std::filesystem::path tmp = file.string() + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool ok = done == bytes.size() && ::close(fd) == 0;
  if (!ok || ::rename(tmp.c_str(), file.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace dp
