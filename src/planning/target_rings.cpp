#include "planning/target_rings.h"

#include <functional>

#include "queue/job_codes.h"
#include "util/text.h"

namespace dp {

namespace {

bool IsMkvTarget(int t) { return t == kMediaMkvCrf || t == kMediaMkvRemux; }

// Targets whose capacity (or quality) leaves room for HD audio.
bool RoomForHd(int t) { return t != kMediaBd5 && t != kMediaUsb4Gb; }

template <typename Stream>
int FirstPassing(const Stream* streams, int count, std::string_view lang,
                 const std::vector<std::function<bool(const Stream&)>>& tests) {
  for (const auto& test : tests)
    for (int i = 0; i < count; ++i)
      if (LanguageMatches(lang, FieldText(streams[i].language_code)) && test(streams[i])) return i;
  return -1;
}

}  // namespace

AudioRing TargetAudioRing(const AudioStream& stream, int target, bool mvc, bool use_flac) {
  AudioRing ring;
  auto& items = ring.items;
  const std::string_view codec = FieldText(stream.format);
  const bool hd = stream.has_core != 0;
  const bool mkv = IsMkvTarget(target);
  if (!hd) {
    items.push_back({"Untouched", kAudioCopy});
    if (mkv && codec == "PCM") items.push_back({"FLAC (lossless)", kAudioFlac});
  } else {
    if (RoomForHd(target) && (codec != "E-AC-3" || mvc || mkv)) items.push_back({"Untouched", 1});
    if (mkv) items.push_back({"FLAC (lossless)", kAudioFlac});
    if (codec == "DTS") items.push_back({"DTS Core", kAudioCopy});
    if (codec == "AC-3") items.push_back({"TrueHD Core", kAudioCopy});
    if (codec == "E-AC-3" && (mvc || mkv)) items.push_back({"DD+ Core", kAudioCopy});
  }
  items.push_back({"AC3 640 Kbps", 640});
  items.push_back({"AC3 448 Kbps", 448});
  items.push_back({"AC3 384 Kbps", 384});

  bool flac_offered = false;
  for (const RingItem& item : items) flac_offered |= item.value == kAudioFlac;
  switch (target) {
    case kMediaMkvCrf:
    case kMediaMkvRemux:
      if (use_flac && flac_offered)
        ring.default_value = kAudioFlac;
      else if (target == kMediaMkvRemux)
        ring.default_value = hd ? 1 : 0;
      else
        ring.default_value = hd ? (codec == "E-AC-3" ? 1 : 0) : 1;
      break;
    case kMediaBd9:
    case kMediaAvchdCrf:
      ring.default_value = hd ? 0 : 1;
      break;
    case kMediaBd5:
    case kMediaUsb4Gb:
      ring.default_value = stream.bitrate_kbps <= 768 ? 0 : 640;
      break;
    default:
      ring.default_value = hd ? 1 : 0;
      break;
  }
  return ring;
}

void AdjustSubtitleRing(std::vector<RingItem>& ring, bool has_forced) {
  if (ring.size() < 3)
    ring = {{"None", kSubtitleNone}, {"Untouched", kSubtitleKept}, {"Flagged forced", kSubtitleKeptForced}};
  if (!has_forced && ring.size() == 4) ring.pop_back();
  if (has_forced && ring.size() == 3) ring.push_back({"Extract only forced", kSubtitleForcedOnly});
}

int PreferredSubtitleMode(const SubtitleStream& stream, std::string_view lang, bool no_subtitle,
                          bool forced_only) {
  if (no_subtitle || !LanguageMatches(lang, FieldText(stream.language_code))) return kSubtitleNone;
  if (!forced_only) return kSubtitleKept;
  if (stream.forced_count > 0) return kSubtitleForcedOnly;
  if (stream.forced_count == kForcedTrack) return kSubtitleKeptForced;
  return kSubtitleNone;
}

bool LanguageMatches(std::string_view preference, std::string_view code) {
  if (code.empty()) return false;
  if (preference.substr(0, 3) == code) return true;
  return preference.size() >= 7 && preference.substr(4, 3) == code;
}

int PreferredAudioStream(const SourceInventory& inventory, int target, std::string_view lang) {
  using Test = std::function<bool(const AudioStream&)>;
  auto rate = [](int kbps) { return Test([kbps](const AudioStream& a) { return a.bitrate_kbps == kbps; }); };
  const Test pcm = [](const AudioStream& a) { return FieldText(a.format) == "PCM"; };
  std::vector<Test> tests;
  if (RoomForHd(target)) {
    tests.push_back([](const AudioStream& a) { return a.has_core != 0; });
    if (target == kMediaBd25 || target == kMediaCustom || target == kMediaBdRemux) tests.push_back(pcm);
    tests.push_back(rate(1509));
  }
  for (const Test& t :
       {rate(754), rate(640), rate(1509), pcm, rate(448), Test([](const AudioStream&) { return true; })})
    tests.push_back(t);
  const int count = inventory.audio_count < kMaxAudioStreams ? inventory.audio_count : kMaxAudioStreams;
  return FirstPassing(inventory.audio, count, lang, tests);
}

int PreferredSubtitleStream(const SourceInventory& inventory, std::string_view lang, bool forced_subtitle) {
  using Test = std::function<bool(const SubtitleStream&)>;
  // Matroska sources carry text subtitles first, discs PGS.
  const std::string_view first = inventory.source_is_mkv ? "UTF-8" : "PGS";
  const std::string_view second = inventory.source_is_mkv ? "PGS" : "UTF-8";
  auto is = [](std::string_view format) {
    return [format](const SubtitleStream& s) { return FieldText(s.format) == format; };
  };
  std::vector<Test> tests;
  if (forced_subtitle)
    tests.push_back([&](const SubtitleStream& s) { return is(first)(s) && s.forced_count == kForcedTrack; });
  tests.push_back([&](const SubtitleStream& s) { return is(first)(s) && s.forced_count > 0; });
  tests.push_back(is(first));
  tests.push_back(is(second));
  const int count =
      inventory.subtitle_count < kMaxSubtitleStreams ? inventory.subtitle_count : kMaxSubtitleStreams;
  return FirstPassing(inventory.subtitle, count, lang, tests);
}

}  // namespace dp
