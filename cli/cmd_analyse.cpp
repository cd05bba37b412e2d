// discpress-cli analyse: opens a source as the main window's buttons do and
// prints what the main panel then shows, or (--json) the whole opening state.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "command.h"
#include "json_text.h"
#include "source/stream_analysis.h"
#include "source_options.h"
#include "source_session.h"
#include "util/text.h"

namespace dp::cli {
namespace {

Json Video(const VideoStream& v) {
  return {{"pid", v.pid},
          {"width", v.width},
          {"height", v.height},
          {"bitrate_kbps", v.bitrate_kbps},
          {"scanned_bitrate_kbps", v.scanned_bitrate_kbps},
          {"packet_count", v.packet_count},
          {"duration_ms", v.duration_ms},
          {"frame_count", v.frame_count},
          {"duration_text", FieldText(v.duration_text)},
          {"frame_rate", FieldText(v.frame_rate)},
          {"fps_fraction", FieldText(v.fps_fraction)},
          {"frame_rate_text", FieldText(v.frame_rate_text)},
          {"scan_type", FieldText(v.scan_type)},
          {"format", FieldText(v.format)},
          {"display_aspect", FieldText(v.display_aspect)},
          {"eye", FieldText(v.eye)},
          {"plane_count", int{v.plane_count}}};
}

Json Audio(const AudioStream& a) {
  return {{"pid", a.pid},
          {"bitrate_kbps", a.bitrate_kbps},
          {"full_bitrate_kbps", a.full_bitrate_kbps},
          {"scanned_bitrate_kbps", a.scanned_bitrate_kbps},
          {"has_core", a.has_core},
          {"delay_ms", a.delay_ms},
          {"packet_count", a.packet_count},
          {"language_code", FieldText(a.language_code)},
          {"language_name", FieldText(a.language_name)},
          {"format", FieldText(a.format)},
          {"format_profile", FieldText(a.format_profile)},
          {"codec_id", FieldText(a.codec_id)},
          {"channels", FieldText(a.channels)},
          {"sampling_rate", FieldText(a.sampling_rate)},
          {"resolution", FieldText(a.resolution)},
          {"dialnorm", FieldText(a.dialnorm)}};
}

Json Subtitle(const SubtitleStream& s) {
  return {{"pid", s.pid},
          {"scanned_bitrate_kbps", s.scanned_bitrate_kbps},
          {"forced_count", s.forced_count},
          {"packet_count", s.packet_count},
          {"language_code", FieldText(s.language_code)},
          {"language_name", FieldText(s.language_name)},
          {"format", FieldText(s.format)},
          {"codec_id", FieldText(s.codec_id)},
          {"title", FieldText(s.title)},
          {"plane", int{s.plane}}};
}

// The title table up to its last used entry, so that entry k stays title k+1.
Json TitleTable(const SourceState& state) {
  int used = 0;
  for (int k = 0; k < kTitleTableSize; ++k)
    if (state.title_table[k].playlist[0] || state.title_table[k].clips[0]) used = k + 1;
  Json table = Json::array();
  for (int k = 0; k < used; ++k) {
    const TitleEntry& e = state.title_table[k];
    table.push_back({{"clips", FieldText(e.clips)},
                     {"duration", FieldText(e.duration)},
                     {"playlist", FieldText(e.playlist)}});
  }
  return table;
}

std::string OpeningJson(const SourceState& state, const SourceInventory& inv) {
  Json out = {{"title", state.panel.title},
              {"output_path", state.panel.output_path},
              {"playlist_text", state.panel.playlist_text},
              {"source_is_mkv", inv.source_is_mkv},
              {"source_is_m2ts", inv.source_is_m2ts},
              {"source_is_3d", inv.source_is_3d},
              {"source_is_playlist", state.source_is_playlist},
              {"no_chapters", inv.no_chapters},
              {"limit_frames", inv.limit_frames},
              {"playlist_index", state.playlist_index},
              {"join_playlist", state.join_playlist},
              {"selected_mode_3d", state.selected_mode_3d},
              {"title_table", TitleTable(state)},
              {"container_count", inv.container_count}};
  // Each array is built whole before it is added: adding a member may move
  // the others.
  Json container = Json::array();
  for (int i = 0; i < inv.container_count && i < kMaxContainers; ++i)
    container.push_back({{"overall_bitrate_kbps", inv.container[i].overall_bitrate_kbps},
                         {"total_packets", inv.container[i].total_packets},
                         {"scanned_packets", inv.container[i].scanned_packets}});
  out["container"] = std::move(container);
  Json video = Json::array(), audio = Json::array(), subtitle = Json::array(), chapters = Json::array();
  for (int i = 0; i < inv.video_count && i < kMaxVideoStreams; ++i) video.push_back(Video(inv.video[i]));
  for (int i = 0; i < inv.audio_count && i < kMaxAudioStreams; ++i) audio.push_back(Audio(inv.audio[i]));
  for (int i = 0; i < inv.subtitle_count && i < kMaxSubtitleStreams; ++i)
    subtitle.push_back(Subtitle(inv.subtitle[i]));
  for (std::string_view line : Tokenize(FieldText(inv.chapters), "\n")) chapters.push_back(line);
  out["video"] = std::move(video);
  out["audio"] = std::move(audio);
  out["subtitle"] = std::move(subtitle);
  out["chapters"] = std::move(chapters);
  const SourceRings rings = SourceRingTexts(inv);
  out["rings"] = {{"video", rings.video}, {"audio", rings.audio}, {"subtitle", rings.subtitle}};
  return JsonText(out);
}

struct Input {
  OpenRequest request;
  std::optional<int> scrape;
  bool json = false;
};

int Analyse(const Input& in) {
  Settings& settings = CurrentSettings();
  ReadSettingsQuietly(settings);
  if (in.scrape) settings.Scrape = *in.scrape;

  static SourceState state;  // large; one per process, as the window's
  SourceInventory& inventory = source_inventory;
  const int code = OpenHeadless(in.request, settings, state, inventory);
  if (code != kOk) return code;
  if (in.json)
    std::printf("%s\n", OpeningJson(state, inventory).c_str());
  else
    PrintSourceLines(state, inventory);
  return kOk;
}

void Setup(CLI::App& command) {
  auto in = std::make_shared<Input>();
  command.add_option("SOURCE", in->request.source, "a Blu-ray folder, .mpls, .m2ts or .mkv")->required();
  AddDialogAnswers(command, in->request);
  AddScrapeFormat(command, in->scrape);
  command.add_flag("--json", in->json, "the whole opening state as one JSON object");
  OnRun(command, [in] { return Analyse(*in); });
}

const RegisterCommand reg("analyse", "open a source and print what the main panel shows", Setup);

}  // namespace
}  // namespace dp::cli
