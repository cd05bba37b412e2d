#include "store_access.h"

#include <atomic>
#include <string>

#include "command.h"

namespace dp::cli {
namespace {

std::atomic<bool> g_write_failed{false};

// A message for the window made one line for stderr.
std::string OneLine(std::string text) {
  for (std::size_t at; (at = text.find("\n\n")) != std::string::npos;) text.replace(at, 2, " ");
  for (char& c : text)
    if (c == '\n') c = ' ';
  return text;
}

}  // namespace

std::unique_ptr<Store> OpenUserStore(bool changes) {
  auto store = Store::Open(Store::DefaultFile());
  if (!store) {
    Fail(kFailed, "cannot open the store");
    return nullptr;
  }
  const std::string notice = store->TakeNotice();
  if (!notice.empty()) Fail(kFailed, OneLine(notice));
  // A store in memory stands in for one that could not be read: its empty
  // queue and default settings are not the user's to see.
  if (!store->on_disk() || (changes && !store->writable())) return nullptr;
  store->SetWriteFailureHandler([](const std::string& text) {
    g_write_failed = true;
    Fail(kFailed, OneLine(text));
  });
  return store;
}

bool StoreWriteFailed() { return g_write_failed; }

std::unique_ptr<InstanceLock> LockStoreForChanges() {
  auto lock = std::make_unique<InstanceLock>(InstanceLockFile(Store::DefaultFile().parent_path()));
  LockState state = lock->TryAcquire(kCliHolder);
  // Another command's change is short: wait for it a little.
  if (state == LockState::kBusy && lock->Holder() != kWindowHolder)
    state = lock->Acquire(kCliHolder, std::chrono::seconds(5));
  if (state != LockState::kBusy) return lock;
  if (lock->Holder() == kCliHolder)
    Fail(kFailed,
         "another discpress-cli command is changing the queue or the settings; try again when it ends");
  else
    Fail(kFailed, "DiscPress is running; close it to change the queue or the settings");
  return nullptr;
}

}  // namespace dp::cli
