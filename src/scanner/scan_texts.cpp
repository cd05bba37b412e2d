#include "scanner/scan_texts.h"

#include <algorithm>

#include "scanner/scan_inventory.h"
#include "scanner/scan_result.h"
#include "util/text.h"

namespace dp {
namespace {

ScanRow Row(std::int32_t pid, std::string codec) {
  ScanRow row;
  row.pid = pid;
  row.columns[0] = Format("%d (0x%x)", pid, pid);
  row.columns[1] = std::move(codec);
  return row;
}

void Language(ScanRow& row, std::string_view code, std::string_view name) {
  row.columns[2] = std::string(code);
  row.columns[3] = "(" + std::string(name) + ")";
}

void Figures(ScanRow& row, double seconds, std::string bitrate, std::uint32_t packets) {
  row.columns[4] = Format("%.1f", seconds);
  row.columns[5] = std::move(bitrate);
  row.columns[6] = Format("%u", packets);
}

// "FORMAT TEXT", the text after the codec being empty for most streams.
std::string Codec(std::string_view format, std::string_view extra) {
  std::string text(format);
  if (!extra.empty()) text += " " + std::string(extra);
  return text;
}

}  // namespace

std::string ScanProgressLine(std::string_view file_name, std::uint64_t scanned_packets,
                             std::uint64_t total_packets, std::uint64_t previous_scanned_packets) {
  const double rate =
      static_cast<double>(scanned_packets - std::min(previous_scanned_packets, scanned_packets)) *
      kPacketMegabytes;
  return Format("Scanning %.*s %llu packets of %llu (%.2f MB/s)...", static_cast<int>(file_name.size()),
                file_name.data(), static_cast<unsigned long long>(scanned_packets),
                static_cast<unsigned long long>(total_packets), rate);
}

std::vector<ScanRow> ScanRows(const SourceInventory& inv, bool figures, double elapsed_ms) {
  std::vector<ScanRow> rows;
  const double seconds = elapsed_ms / 1000;
  for (int i = 0; i < std::min(inv.video_count, kMaxVideoStreams); ++i) {
    const VideoStream& v = inv.video[i];
    ScanRow row = Row(v.pid, std::string(FieldText(v.format)));
    if (figures)
      Figures(row, seconds, Format("%.0f kbps", LiveRateKbps(v.packet_count, elapsed_ms)), v.packet_count);
    rows.push_back(std::move(row));
  }
  for (int i = 0; i < std::min(inv.audio_count, kMaxAudioStreams); ++i) {
    const AudioStream& a = inv.audio[i];
    // A stream without a core keeps its declared rate for the whole scan.
    const double kbps = !a.has_core                ? a.bitrate_kbps
                        : a.full_bitrate_kbps != 0 ? a.full_bitrate_kbps
                                                   : LiveRateKbps(a.packet_count, elapsed_ms);
    ScanRow row = Row(a.pid, figures && a.has_core ? Codec(FieldText(a.format), FieldText(a.format_profile))
                                                   : std::string(FieldText(a.format)));
    Language(row, FieldText(a.language_code), FieldText(a.language_name));
    if (figures) Figures(row, seconds, Format("%.0f kbps", kbps), a.packet_count);
    rows.push_back(std::move(row));
  }
  for (int i = 0; i < std::min(inv.subtitle_count, kMaxSubtitleStreams); ++i) {
    const SubtitleStream& s = inv.subtitle[i];
    std::string extra;
    if (s.forced_count > 0) extra = Format("(%d forced)", s.forced_count);
    if (s.forced_count == -1) extra = "(forced track)";
    ScanRow row = Row(s.pid, figures ? Codec(FieldText(s.format), extra) : std::string(FieldText(s.format)));
    Language(row, FieldText(s.language_code), FieldText(s.language_name));
    if (figures)
      Figures(row, seconds, Format("%.2f kbps", LiveRateKbps(s.packet_count, elapsed_ms)), s.packet_count);
    rows.push_back(std::move(row));
  }
  return rows;
}

bool PrepareSourceScan(const SourceState& state, SourceInventory& inventory, PreparedScan& out) {
  ResetPackets(inventory);
  ScanSource source;
  const std::string_view clips = FieldText(SelectedTitle(state).clips);
  if (!ChooseScanFiles(state.panel.source_text, state.join_playlist, inventory.source_is_3d != 0, clips,
                       source))
    return false;
  out = PreparedScan{};
  if (!OpenScanSource(std::move(source), out)) return false;
  out.streams = ScanStreamsOf(inventory);
  out.duration_ms = ScanDurationMs(inventory);
  return true;
}

}  // namespace dp
