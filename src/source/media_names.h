// What the MediaInfo library answers for an audio or subtitle stream, put in
// the shape the inventory's rules expect. The library of this platform names
// some Blu-ray formats differently from the answers the rules were written
// for, and gives transport-stream type numbers as codec ids.
#pragma once

#include <string>
#include <string_view>

namespace dp {

struct AudioAnswers {
  std::string format;          // "Format"
  std::string format_string;   // "Format/String"
  std::string features;        // "Format_AdditionalFeatures"
  std::string format_profile;  // "Format_Profile"
  std::string bitrate;         // "BitRate"
  std::string codec_id;        // "CodecID"
};

// TrueHD with an AC-3 core reads as "AC-3" with profile "TrueHD" and a
// variable full rate beside the core's; plain TrueHD as "TrueHD"; a DTS-HD
// extension as profile "MA" (lossless) or "HRA" (high resolution); a
// Blu-ray E-AC-3 track reported as "AC-3" as "E-AC-3". The codec id goes
// through NormalizedCodecId.
void NormalizeAudioAnswers(AudioAnswers& answers);

// A codec id made only of digits is a transport-stream type number, not a
// codec id: it reads empty.
std::string NormalizedCodecId(std::string_view codec_id);

// The three-letter code and the readable name of a stream's language from
// the library's answers: the first part of a " / " list with exactly three
// characters (code) or at least four (name); the whole answer when no part
// qualifies.
std::string LanguageCodeFrom(std::string_view string3, std::string_view language);
std::string LanguageNameFrom(std::string_view string, std::string_view string1);

}  // namespace dp
