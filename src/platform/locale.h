// The user's language setting as the C library sees it, and the C numbers
// the programs keep whatever it is.
#pragma once

#include <string>

namespace dp {

// The locale name that decides the language of messages: the first
// non-empty of LC_ALL, LC_MESSAGES and LANG ("es_ES.UTF-8"); empty when none
// is set.
std::string SystemLocaleName();

// Sets LC_NUMERIC back to "C" and leaves the rest of the locale alone.
// Numbers in files, command lines, JSON and the tools' output are C numbers
// ("23.976", "41.71s"); a locale with a decimal comma would otherwise reach
// every printf and strtod of the process and of the libraries it uses. Call
// it once the locale has been taken from the environment (Qt does that when
// the application object is made).
void UseCNumericLocale();

}  // namespace dp
