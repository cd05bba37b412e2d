// The rows of the language tables; iso639.h is the interface to them.
#pragma once

#include <cstddef>
#include <string_view>

namespace dp {

struct LanguageNameRow {
  const char* code;  // three letters, lower case
  const char* name;  // UTF-8
};

struct CodeRow {
  const char* alpha2;
  const char* alpha3;
};

namespace lang_tables {

inline constexpr std::size_t kNameRowCount = 211;
inline constexpr std::size_t kCodeRowCount = 184;
inline constexpr std::size_t kPreferredCount = 50;

// Both row tables are sorted by code.
extern const LanguageNameRow kNameRows[kNameRowCount];
extern const CodeRow kCodeRows[kCodeRowCount];
// Entries of the preference list in the order the settings rings show them.
extern const std::string_view kPreferredEntries[kPreferredCount];

}  // namespace lang_tables
}  // namespace dp
