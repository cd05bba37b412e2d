#include "store_access.h"

#include <cstdio>

namespace dp::cli {

std::unique_ptr<Store> OpenUserStore() {
  auto store = Store::Open(Store::DefaultFile());
  if (store) {
    const std::string notice = store->TakeNotice();
    if (!notice.empty()) std::fprintf(stderr, "discpress-cli: %s\n", notice.c_str());
  }
  return store;
}

}  // namespace dp::cli
