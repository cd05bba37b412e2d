// ISO 639 language codes: two-letter to three-letter codes, three-letter
// codes to the English names the program shows and writes, and the list of
// preferred languages offered in the settings.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "lang/iso639_tables.h"
#include "util/text.h"

namespace dp {

std::span<const LanguageNameRow> LanguageNameTable();
std::span<const CodeRow> LanguageCodeTable();

// Exact, case-sensitive lookups: an upper-case code or one with a blank
// matches nothing. Empty when no row matches.
std::string_view LanguageNameOf(std::string_view code);
std::string_view Alpha3Of(std::string_view alpha2);

// Copy the row's name (or three-letter code) into the buffer when a row
// matches; otherwise the buffer is left as it is. The result is looked up
// before anything is written, so code may view the out buffer itself.
void ISO639_2toIdioma(std::string_view code, char* name, std::size_t cap);
void ISO639_2Alpha2toAlpha3(std::string_view alpha2, char* code, std::size_t cap);
template <std::size_t N>
void ISO639_2toIdioma(std::string_view code, char (&name)[N]) {
  ISO639_2toIdioma(code, name, N);
}
template <std::size_t N>
void ISO639_2Alpha2toAlpha3(std::string_view alpha2, char (&code)[N]) {
  ISO639_2Alpha2toAlpha3(alpha2, code, N);
}

struct PreferredLanguage {
  std::string_view label;  // "ger/deu (Deutsch)"
  std::string_view value;  // "ger/deu", or one code: "eng"
};
std::span<const PreferredLanguage> PreferredLanguages();

// Normalises the language fields of stream records that have fixed
// language_code and language_name buffers: a two-letter code becomes its
// three-letter code, a missing one "und"; then every empty name is filled
// from the code. All codes are settled before any name is looked up.
template <typename Stream>
void NormaliseStreamLanguages(std::span<Stream> streams) {
  for (Stream& s : streams) {
    const std::string_view code = FieldText(s.language_code);
    if (code.size() == 2) {
      ISO639_2Alpha2toAlpha3(code, s.language_code);
    } else if (code.empty()) {
      CopyText(s.language_code, "und");
    }
  }
  for (Stream& s : streams) {
    if (FieldText(s.language_name).empty()) ISO639_2toIdioma(FieldText(s.language_code), s.language_name);
  }
}

// Subtitle streams first, then audio streams. The source analysis passes the
// used part of its arrays, e.g.
//   RevisaCodisIdioma(std::span(inv.subtitle, n_subtitles), std::span(inv.audio, n_audio));
template <typename Subtitle, typename Audio>
void RevisaCodisIdioma(std::span<Subtitle> subtitles, std::span<Audio> audio) {
  NormaliseStreamLanguages(subtitles);
  NormaliseStreamLanguages(audio);
}

}  // namespace dp
