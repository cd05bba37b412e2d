#include "lang/iso639.h"

#include <array>
#include <string_view>

namespace dp {

namespace {

// Rows are grouped by their first letter; a code starting with anything
// outside 'a'..'z' has no group and so no row.
template <typename Row, typename KeyOf>
const Row* FindRow(std::span<const Row> rows, std::string_view code, KeyOf key_of) {
  if (code.empty() || code[0] < 'a' || code[0] > 'z') return nullptr;
  for (const Row& row : rows) {
    const std::string_view key = key_of(row);
    if (key[0] != code[0]) continue;
    if (key == code) return &row;
  }
  return nullptr;
}

// "chi/zho (Chinese)" holds two codes; "eng (English)" one.
std::string_view PreferredValue(std::string_view entry) {
  if (entry.size() >= 7 && entry[3] == '/') return entry.substr(0, 7);
  return entry.substr(0, entry.size() < 3 ? entry.size() : 3);
}

}  // namespace

std::span<const LanguageNameRow> LanguageNameTable() { return lang_tables::kNameRows; }
std::span<const CodeRow> LanguageCodeTable() { return lang_tables::kCodeRows; }

std::string_view LanguageNameOf(std::string_view code) {
  const LanguageNameRow* row =
      FindRow(LanguageNameTable(), code, [](const LanguageNameRow& r) { return std::string_view(r.code); });
  return row ? row->name : std::string_view();
}

std::string_view Alpha3Of(std::string_view alpha2) {
  const CodeRow* row =
      FindRow(LanguageCodeTable(), alpha2, [](const CodeRow& r) { return std::string_view(r.alpha2); });
  return row ? row->alpha3 : std::string_view();
}

void ISO639_2toIdioma(std::string_view code, char* name, std::size_t cap) {
  const std::string_view found = LanguageNameOf(code);
  if (!found.empty()) CopyText(name, cap, found);
}

void ISO639_2Alpha2toAlpha3(std::string_view alpha2, char* code, std::size_t cap) {
  const std::string_view found = Alpha3Of(alpha2);
  if (!found.empty()) CopyText(code, cap, found);
}

std::span<const PreferredLanguage> PreferredLanguages() {
  static const auto list = [] {
    std::array<PreferredLanguage, lang_tables::kPreferredCount> out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
      const std::string_view entry = lang_tables::kPreferredEntries[i];
      out[i] = {entry, PreferredValue(entry)};
    }
    return out;
  }();
  return list;
}

}  // namespace dp
