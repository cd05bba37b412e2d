// The item texts of the three stream rings of the main panel.
#include <algorithm>
#include <cmath>
#include <string>

#include "source/stream_analysis.h"
#include "util/text.h"

namespace dp {
namespace {

// Payload bits of one transport packet (184 bytes): bits per ms are kbit/s.
constexpr double kSubtitlePacketBits = 1472;

// A record's text field as a string, never read past its buffer.
template <std::size_t N>
std::string Str(const char (&field)[N]) {
  return std::string(FieldText(field));
}

std::string KbpsText(int first, int second) {
  if (first != 0) return Format("%d Kbps  ", first);
  if (second != 0) return Format("%d Kbps  ", second);
  return {};
}

std::string SlashText(std::string_view field) {
  return field.empty() ? std::string() : "/ " + std::string(field);
}

std::string_view LanguageOf(const char (&name)[32], const char (&code)[8]) {
  const std::string_view n = FieldText(name);
  return n.empty() ? FieldText(code) : n;
}

std::string VideoText(const SourceInventory& inv, int i) {
  const VideoStream& v = inv.video[i];
  const std::string planes = inv.source_is_3d && i == 1 ? Format("/ %d 3D-planes", v.plane_count) : "";
  const std::string rate = KbpsText(v.scanned_bitrate_kbps, v.bitrate_kbps);
  return Format("%d :  %s  %s  %s%s(%dx%d%s / %s / %s%s)", v.pid, Str(v.duration_text).c_str(),
                Str(v.format).c_str(), Str(v.eye).c_str(), rate.c_str(), v.width, v.height,
                Str(v.scan_type).c_str(), Str(v.frame_rate_text).c_str(), Str(v.display_aspect).c_str(),
                planes.c_str());
}

std::string AudioText(const AudioStream& a) {
  const std::string language(LanguageOf(a.language_name, a.language_code));
  const std::string resolution = SlashText(FieldText(a.resolution));
  const std::string dialnorm = SlashText(FieldText(a.dialnorm));
  const std::string delay = a.delay_ms != 0 ? Format("/ delay %d ms", a.delay_ms) : "";
  if (!a.has_core) {
    return Format("%d :  %s  %s  %d Kbps  (%s / %s%s%s%s)", a.pid, language.c_str(), Str(a.format).c_str(),
                  a.bitrate_kbps, Str(a.channels).c_str(), Str(a.sampling_rate).c_str(), resolution.c_str(),
                  dialnorm.c_str(), delay.c_str());
  }
  const std::string rate = KbpsText(a.full_bitrate_kbps, a.scanned_bitrate_kbps);
  return Format("%d :  %s  %s %s  %s(%s / Core %d Kbps / %s%s%s%s)", a.pid, language.c_str(),
                Str(a.format).c_str(), Str(a.format_profile).c_str(), rate.c_str(), Str(a.channels).c_str(),
                a.bitrate_kbps, Str(a.sampling_rate).c_str(), resolution.c_str(), dialnorm.c_str(),
                delay.c_str());
}

std::string SubtitleText(const SourceInventory& inv, const SubtitleStream& s, double elapsed_ms) {
  const std::string language(LanguageOf(s.language_name, s.language_code));
  std::string plane;
  if (inv.source_is_3d) plane = s.plane == -1 ? "3D-plane undefined" : Format("3D-plane %d", s.plane);
  std::string title(FieldText(s.title));
  if (!title.empty()) title += "  ";
  if (inv.container[0].total_packets == 0) {
    return Format("%d :  %s  %s  %s%s", s.pid, language.c_str(), Str(s.format).c_str(), plane.c_str(),
                  title.c_str());
  }
  std::string forced;
  if (s.forced_count > 0) forced = Format("/ %d forced captions", s.forced_count);
  if (s.forced_count == kForcedTrack) forced = "/ forced subs track?";
  double rate = elapsed_ms > 0 ? s.packet_count * kSubtitlePacketBits / elapsed_ms : 0;
  if (!std::isfinite(rate)) rate = 0;
  return Format("%d :  %s  %s  %s%s(%.2f Kbps%s)", s.pid, language.c_str(), Str(s.format).c_str(),
                plane.c_str(), title.c_str(), rate, forced.c_str());
}

}  // namespace

SourceRings SourceRingTexts(const SourceInventory& inventory, double elapsed_ms) {
  SourceRings rings;
  for (int i = 0; i < std::min(inventory.video_count, kMaxVideoStreams); ++i) {
    rings.video.push_back(VideoText(inventory, i));
  }
  for (int i = 0; i < std::min(inventory.audio_count, kMaxAudioStreams); ++i) {
    rings.audio.push_back(AudioText(inventory.audio[i]));
  }
  for (int i = 0; i < std::min(inventory.subtitle_count, kMaxSubtitleStreams); ++i) {
    rings.subtitle.push_back(SubtitleText(inventory, inventory.subtitle[i], elapsed_ms));
  }
  return rings;
}

}  // namespace dp
