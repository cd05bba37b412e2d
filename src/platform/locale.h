// The user's language setting as the C library sees it.
#pragma once

#include <string>

namespace dp {

// The locale name that decides the language of messages: the first
// non-empty of LC_ALL, LC_MESSAGES and LANG ("es_ES.UTF-8"); empty when none
// is set.
std::string SystemLocaleName();

}  // namespace dp
