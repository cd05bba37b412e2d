#include "app/run_state.h"

#include <sys/utsname.h>

#include <cstring>

namespace dp {

RunState& Run() {
  static RunState state;
  return state;
}

bool DetectSystem64Bit() {
  utsname u{};
  if (uname(&u) != 0) return sizeof(void*) == 8;
  return std::strstr(u.machine, "64") != nullptr || std::strcmp(u.machine, "s390x") == 0;
}

}  // namespace dp
