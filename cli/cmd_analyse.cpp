// discpress-cli analyse: opens a source as the main window's buttons do and
// prints what the main panel then shows, or (--json) the whole opening state.
#include <cstdio>
#include <string>

#include "command.h"
#include "json_writer.h"
#include "source/stream_analysis.h"
#include "source_session.h"
#include "util/text.h"

namespace dp::cli {
namespace {

void Texts(JsonWriter& w, std::string_view key, const std::vector<std::string>& items) {
  w.Key(key).BeginArray();
  for (const std::string& item : items) w.String(item);
  w.EndArray();
}

void Video(JsonWriter& w, const VideoStream& v) {
  w.BeginObject()
      .Field("pid", v.pid)
      .Field("width", v.width)
      .Field("height", v.height)
      .Field("bitrate_kbps", v.bitrate_kbps)
      .Field("scanned_bitrate_kbps", v.scanned_bitrate_kbps)
      .Field("packet_count", std::int64_t{v.packet_count})
      .Field("duration_ms", v.duration_ms)
      .Field("frame_count", v.frame_count)
      .Field("duration_text", FieldText(v.duration_text))
      .Field("frame_rate", FieldText(v.frame_rate))
      .Field("fps_fraction", FieldText(v.fps_fraction))
      .Field("frame_rate_text", FieldText(v.frame_rate_text))
      .Field("scan_type", FieldText(v.scan_type))
      .Field("format", FieldText(v.format))
      .Field("display_aspect", FieldText(v.display_aspect))
      .Field("eye", FieldText(v.eye))
      .Field("plane_count", int{v.plane_count})
      .EndObject();
}

void Audio(JsonWriter& w, const AudioStream& a) {
  w.BeginObject()
      .Field("pid", a.pid)
      .Field("bitrate_kbps", a.bitrate_kbps)
      .Field("full_bitrate_kbps", a.full_bitrate_kbps)
      .Field("scanned_bitrate_kbps", a.scanned_bitrate_kbps)
      .Field("has_core", a.has_core)
      .Field("delay_ms", a.delay_ms)
      .Field("packet_count", std::int64_t{a.packet_count})
      .Field("language_code", FieldText(a.language_code))
      .Field("language_name", FieldText(a.language_name))
      .Field("format", FieldText(a.format))
      .Field("format_profile", FieldText(a.format_profile))
      .Field("codec_id", FieldText(a.codec_id))
      .Field("channels", FieldText(a.channels))
      .Field("sampling_rate", FieldText(a.sampling_rate))
      .Field("resolution", FieldText(a.resolution))
      .Field("dialnorm", FieldText(a.dialnorm))
      .EndObject();
}

void Subtitle(JsonWriter& w, const SubtitleStream& s) {
  w.BeginObject()
      .Field("pid", s.pid)
      .Field("scanned_bitrate_kbps", s.scanned_bitrate_kbps)
      .Field("forced_count", s.forced_count)
      .Field("packet_count", std::int64_t{s.packet_count})
      .Field("language_code", FieldText(s.language_code))
      .Field("language_name", FieldText(s.language_name))
      .Field("format", FieldText(s.format))
      .Field("codec_id", FieldText(s.codec_id))
      .Field("title", FieldText(s.title))
      .Field("plane", int{s.plane})
      .EndObject();
}

// The title table up to its last used entry, so that entry k stays title k+1.
void TitleTable(JsonWriter& w, const SourceState& state) {
  int used = 0;
  for (int k = 0; k < kTitleTableSize; ++k)
    if (state.title_table[k].playlist[0] || state.title_table[k].clips[0]) used = k + 1;
  w.Key("title_table").BeginArray();
  for (int k = 0; k < used; ++k) {
    const TitleEntry& e = state.title_table[k];
    w.BeginObject()
        .Field("clips", FieldText(e.clips))
        .Field("duration", FieldText(e.duration))
        .Field("playlist", FieldText(e.playlist))
        .EndObject();
  }
  w.EndArray();
}

std::string Json(const SourceState& state, const SourceInventory& inv) {
  JsonWriter w;
  w.BeginObject()
      .Field("title", state.panel.title)
      .Field("output_path", state.panel.output_path)
      .Field("playlist_text", state.panel.playlist_text)
      .Field("source_is_mkv", inv.source_is_mkv)
      .Field("source_is_m2ts", inv.source_is_m2ts)
      .Field("source_is_3d", inv.source_is_3d)
      .Field("source_is_playlist", state.source_is_playlist)
      .Field("no_chapters", inv.no_chapters)
      .Field("limit_frames", inv.limit_frames)
      .Field("playlist_index", state.playlist_index)
      .Field("join_playlist", state.join_playlist)
      .Field("selected_mode_3d", state.selected_mode_3d);
  TitleTable(w, state);
  w.Field("container_count", inv.container_count).Key("container").BeginArray();
  for (int i = 0; i < inv.container_count && i < kMaxContainers; ++i)
    w.BeginObject()
        .Field("overall_bitrate_kbps", inv.container[i].overall_bitrate_kbps)
        .Field("total_packets", std::int64_t{inv.container[i].total_packets})
        .Field("scanned_packets", std::int64_t{inv.container[i].scanned_packets})
        .EndObject();
  w.EndArray().Key("video").BeginArray();
  for (int i = 0; i < inv.video_count && i < kMaxVideoStreams; ++i) Video(w, inv.video[i]);
  w.EndArray().Key("audio").BeginArray();
  for (int i = 0; i < inv.audio_count && i < kMaxAudioStreams; ++i) Audio(w, inv.audio[i]);
  w.EndArray().Key("subtitle").BeginArray();
  for (int i = 0; i < inv.subtitle_count && i < kMaxSubtitleStreams; ++i) Subtitle(w, inv.subtitle[i]);
  w.EndArray().Key("chapters").BeginArray();
  for (std::string_view line : Tokenize(FieldText(inv.chapters), "\n")) w.String(line);
  w.EndArray();
  const SourceRings rings = SourceRingTexts(inv);
  w.Key("rings").BeginObject();
  Texts(w, "video", rings.video);
  Texts(w, "audio", rings.audio);
  Texts(w, "subtitle", rings.subtitle);
  w.EndObject().EndObject();
  return w.str();
}

// A whole number within [low, high] from an option's value.
bool NumberIn(const std::string& text, long long low, long long high, int& out) {
  long long v = 0;
  if (!ParseInt(text, v) || v < low || v > high) return false;
  out = static_cast<int>(v);
  return true;
}

int CmdAnalyse(const Args& in) {
  Args args = in;
  bool missing = false;
  const bool json = TakeFlag(args, "--json");
  const std::vector<std::string> titles = TakeAll(args, "--title", missing);
  const std::vector<std::string> hits = TakeAll(args, "--hit", missing);
  std::string scrape;
  const bool scrape_given = TakeOption(args, "--scrape", scrape, missing);
  if (missing || args.size() != 1 || args[0].starts_with("--")) return Usage("analyse");

  OpenRequest request{args[0], {}, {}};
  for (const std::string& t : titles) {
    int n = 0;
    if (!NumberIn(t, 1, kTitleTableSize, n)) return Fail(kUsage, "--title takes a list item number");
    request.titles.push_back(n);
  }
  for (const std::string& h : hits) {
    int n = 0;
    if (!NumberIn(h, 1, 1000000, n)) return Fail(kUsage, "--hit takes a hit number from 1");
    request.hits.push_back(n);
  }
  Settings& settings = CurrentSettings();
  ReadSettingsQuietly(settings);
  if (scrape_given && !NumberIn(scrape, 0, 5, settings.Scrape)) return Fail(kUsage, "--scrape takes 0 to 5");

  static SourceState state;  // large; one per process, as the window's
  SourceInventory& inventory = source_inventory;
  const int code = OpenHeadless(request, settings, state, inventory);
  if (code != kOk) return code;
  if (json)
    std::printf("%s\n", Json(state, inventory).c_str());
  else
    PrintSourceLines(state, inventory);
  return kOk;
}

const RegisterCommand reg("analyse",
                          "  discpress-cli analyse SOURCE [--title N] [--hit N] [--scrape FORMAT] [--json]\n",
                          CmdAnalyse);

}  // namespace
}  // namespace dp::cli
