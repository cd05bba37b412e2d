// The per-user instance lock: one writer of the store at a time. The desktop
// program holds it while it runs; discpress-cli holds it for each command
// that changes the queue or the settings. It is an flock on a file beside the
// store, so the kernel drops it when its holder ends, however it ends.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace dp {

// "<store folder>/DiscPress.lock".
std::filesystem::path InstanceLockFile(const std::filesystem::path& store_folder);

// What a holder writes into the lock file, so that a refused process can
// say who holds it.
inline constexpr std::string_view kWindowHolder = "discpress";
inline constexpr std::string_view kCliHolder = "discpress-cli";

enum class LockState {
  kHeld,        // this object holds the lock
  kBusy,        // another holder has it
  kUnavailable  // the lock file cannot be opened: nobody can be kept out
};

class InstanceLock {
 public:
  explicit InstanceLock(std::filesystem::path file);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Takes the lock without waiting and records holder in the file.
  LockState TryAcquire(std::string_view holder);
  // Tries again until wait has passed.
  LockState Acquire(std::string_view holder, std::chrono::milliseconds wait);
  void Release();
  bool held() const { return held_; }
  // The first word the current holder wrote ("discpress", "discpress-cli"),
  // empty when unknown.
  std::string Holder() const;

 private:
  std::filesystem::path file_;
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace dp
