#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>

namespace dp {

std::filesystem::path InstanceLockFile(const std::filesystem::path& store_folder) {
  return store_folder / "DiscPress.lock";
}

InstanceLock::InstanceLock(std::filesystem::path file) : file_(std::move(file)) {}

InstanceLock::~InstanceLock() {
  Release();
  if (fd_ >= 0) ::close(fd_);
}

LockState InstanceLock::TryAcquire(std::string_view holder) {
  if (held_) return LockState::kHeld;
  if (fd_ < 0) {
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    // Close-on-exec: a tool started by the holder must not keep the lock
    // after the holder has ended.
    fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return LockState::kUnavailable;
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) return LockState::kBusy;
  held_ = true;
  const std::string text = std::string(holder) + " " + std::to_string(::getpid()) + "\n";
  // Only the refusal message of another process reads this: a failed
  // write costs nothing more.
  const bool written = ::ftruncate(fd_, 0) == 0 && ::pwrite(fd_, text.data(), text.size(), 0) > 0;
  static_cast<void>(written);
  return LockState::kHeld;
}

LockState InstanceLock::Acquire(std::string_view holder, std::chrono::milliseconds wait) {
  const auto end = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const LockState state = TryAcquire(holder);
    if (state != LockState::kBusy || std::chrono::steady_clock::now() >= end) return state;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void InstanceLock::Release() {
  if (!held_) return;
  held_ = false;
  ::flock(fd_, LOCK_UN);
}

std::string InstanceLock::Holder() const {
  const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  char buf[64];
  const ssize_t n = ::pread(fd, buf, sizeof buf, 0);
  ::close(fd);
  std::string text(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
  const auto end = text.find_first_of(" \n");
  return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace dp
