#include "planning/bitrate_budget.h"

#include <cmath>
#include <string_view>

#include "planning/target_planner.h"
#include "queue/job_codes.h"
#include "util/text.h"

namespace dp {

bool FullPictureMode(int mode_3d) { return mode_3d == kMode2d || IsMvcMode(mode_3d); }

namespace {

// Nominal rate of an HD track of variable rate, by its profile; 0 unknown.
int HdProfileRate(std::string_view profile) {
  if (profile == "MA") return 3800;
  if (profile == "HRA") return 3018;
  if (profile == "TrueHD") return 3350;
  return 0;
}

}  // namespace

AudioBudget AudioOverhead(int target_audio, int rate, const AudioStream& stream) {
  if (target_audio == 1) {
    if (stream.full_bitrate_kbps != 0) return {static_cast<double>(stream.full_bitrate_kbps), 294};
    if (stream.scanned_bitrate_kbps != 0) return {static_cast<double>(stream.scanned_bitrate_kbps), 24};
    const std::string_view profile = FieldText(stream.format_profile);
    int nominal = HdProfileRate(profile);
    if (nominal == 0) nominal = profile == "DD+" ? 1500 : 1;
    return {static_cast<double>(nominal), 294};
  }
  switch (rate) {
    case 192:
      return {192, 422};
    case 224:
      return {224, 236};
    case 256:
      return {256, 280};
    case 320:
      return {320, 334};
    case 384:
      return {384, 244};
    case 448:
    case 576:
      return {static_cast<double>(rate), FieldText(stream.format) == "DTS" ? 376.0 : 172.0};
    case 512:
      return {512, 226};
    case 640:
      return {640, 216};
    case 754:
    case 768:
      return {754, 233};
    case 1235:
    case 1411:
      return {1235, 221};
    case 1509:
    case 1536:
      return {1509, 214};
    default:
      return {static_cast<double>(rate), 216};
  }
}

bool CalculaBitrateNew(double duration_ms, double audio_kbps, double audio_k, double packet_overhead_bits,
                       double frame_overhead_bytes, double frame_count, double capacity_bytes, int& kbps) {
  // A title of no length has no rate; the caller shows nothing.
  if (!(duration_ms > 0)) return false;
  const double audio_bits = duration_ms * audio_kbps;
  const double room = 8 * capacity_bytes - (audio_bits + audio_bits * audio_k / (1536 - audio_k));
  const double video_bits =
      room - room * packet_overhead_bits / 1536 - 8 * frame_overhead_bytes * frame_count;
  kbps = static_cast<int>(std::lround(video_bits / duration_ms));
  return true;
}

int SubtitleAllowance(const SourceInventory& inventory, int subtitle_index, int subtitle_mode, int mode_3d) {
  if (subtitle_mode == kSubtitleNone || inventory.subtitle_count <= 0 || !FullPictureMode(mode_3d)) return 0;
  // Before a scan the stream's size is unknown: a typical PGS track.
  if (inventory.container[0].scanned_packets == 0) return 22;
  if (subtitle_index < 0 || subtitle_index >= inventory.subtitle_count ||
      subtitle_index >= kMaxSubtitleStreams)
    return 0;
  const SubtitleStream& s = inventory.subtitle[subtitle_index];
  if (s.forced_count < 1 || subtitle_mode < kSubtitleForcedOnly)
    return s.scanned_bitrate_kbps > 2 ? s.scanned_bitrate_kbps : 0;
  if (subtitle_mode == kSubtitleForcedOnly && s.forced_count > 70) return 1;
  return 0;
}

int CalculaBitrateSource(const SourceInventory& inventory, int mode_3d) {
  int s = inventory.container[0].overall_bitrate_kbps;
  s -= s * 9 / 100;
  if (!inventory.source_is_3d && inventory.video_count > 1) s -= 600 * (inventory.video_count - 1);
  for (int i = 0; i < inventory.audio_count && i < kMaxAudioStreams; ++i) {
    const AudioStream& a = inventory.audio[i];
    if (!a.has_core)
      s -= a.bitrate_kbps;
    else if (a.full_bitrate_kbps != 0)
      s -= a.full_bitrate_kbps;
    else
      s -= HdProfileRate(FieldText(a.format_profile));
  }
  s -= 20 * inventory.subtitle_count;
  if (IsMvcMode(mode_3d)) s = static_cast<int>(std::lround(s * 1.5));
  return s;
}

}  // namespace dp
