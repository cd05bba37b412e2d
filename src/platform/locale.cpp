#include "platform/locale.h"

#include <clocale>
#include <cstdlib>

namespace dp {

std::string SystemLocaleName() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return {};
}

void UseCNumericLocale() { std::setlocale(LC_NUMERIC, "C"); }

}  // namespace dp
