// The per-user store as the CLI opens it: the same file as the desktop program.
#pragma once

#include <memory>

#include "platform/store.h"

namespace dp::cli {

// Opens the store; a notice about it (a damaged file set aside) goes to
// stderr. Null only when no store at all can be had.
std::unique_ptr<Store> OpenUserStore();

}  // namespace dp::cli
