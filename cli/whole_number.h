// Whole-number arguments, read as decimal only: "010" is ten, not eight.
#pragma once

#include <string_view>

namespace dp::cli {

// An optional sign, then decimal digits only; false on anything else and on
// overflow.
bool ParseInt(std::string_view text, long long& value);

}  // namespace dp::cli
