#include "source/media_names.h"

#include <algorithm>

#include "util/text.h"

namespace dp {
namespace {

// The first " / "-separated part whose length fits; the whole text when
// there is no separator or no part fits.
std::string FirstPart(std::string_view text, bool (*fits)(std::size_t)) {
  if (text.find('/') == npos) return std::string(text);
  constexpr std::string_view kSeparator = " / ";
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find(kSeparator, at), text.size());
    const std::string_view part = Trim(text.substr(at, end - at));
    if (fits(part.size())) return std::string(part);
    at = end + kSeparator.size();
  }
  return std::string(text);
}

}  // namespace

void NormalizeAudioAnswers(AudioAnswers& a) {
  if (a.format == "MLP FBA") {
    if (a.format_string.find("AC-3") != npos) {
      a.format = "AC-3";
      a.format_profile = "TrueHD";
      a.bitrate = "Variable / " + a.bitrate;
    } else {
      a.format = "TrueHD";
    }
  } else if (a.format == "DTS") {
    if (a.features.find("XLL") != npos) {
      a.format_profile = "MA";
    } else if (a.features.find("XBR") != npos) {
      a.format_profile = "HRA";
    }
  } else if (a.format_string.starts_with("E-AC-3")) {
    a.format = "E-AC-3";
  }
  a.codec_id = NormalizedCodecId(a.codec_id);
}

std::string NormalizedCodecId(std::string_view codec_id) {
  const bool digits = !codec_id.empty() && std::all_of(codec_id.begin(), codec_id.end(),
                                                       [](char c) { return c >= '0' && c <= '9'; });
  return digits ? std::string() : std::string(codec_id);
}

std::string LanguageCodeFrom(std::string_view string3, std::string_view language) {
  return FirstPart(string3.empty() ? language : string3, [](std::size_t n) { return n == 3; });
}

std::string LanguageNameFrom(std::string_view string, std::string_view string1) {
  return FirstPart(string.empty() ? string1 : string, [](std::size_t n) { return n >= 4; });
}

}  // namespace dp
