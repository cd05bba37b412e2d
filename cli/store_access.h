// The per-user store as the CLI opens it: the same file as the desktop
// program, and the same one-writer rule.
#pragma once

#include <memory>

#include "platform/instance_lock.h"
#include "platform/store.h"

namespace dp::cli {

// Opens the store. A notice about it (a damaged file set aside, a store that
// cannot be written) and the first write it refuses go to stderr as one line
// each. Null, with the reason printed, when the store cannot be read; for a
// command that changes it (changes = true), also when it cannot be written.
std::unique_ptr<Store> OpenUserStore(bool changes = false);

// True once a store opened here refused a write: the command has failed.
bool StoreWriteFailed();

// Commands that change the queue or the settings hold the instance lock for
// their whole run. Null, with one line on stderr, when DiscPress (or another
// command that changes the store) holds it: the command then changes nothing.
std::unique_ptr<InstanceLock> LockStoreForChanges();

}  // namespace dp::cli
