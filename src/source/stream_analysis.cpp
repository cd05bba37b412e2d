#include "source/stream_analysis.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "source/file_prefix.h"
#include "source/media_names.h"
#include "source/mediainfo.h"
#include "source/mpls.h"
#include "source/start_mux_time.h"
#include "util/text.h"
#include "util/time.h"

namespace dp {
namespace {

using Kind = MediaStreamKind;

// A title's clips may be shorter than the stream file; beyond this the
// frame count is taken from the title too.
constexpr double kFrameCountSlackMs = 5000;
// Widest subtitle title kept, in bytes.
constexpr std::size_t kTitleBytes = kSubtitleTitleMax + 1;
// The playlist's flag for a base view that is the right eye.
constexpr std::size_t kEyeFlagOffset = 56;
constexpr std::uint8_t kRightEyeBase = 0x10;
constexpr std::size_t kEyeReadSize = 64;

std::string_view FpsFraction(std::string_view frame_rate) {
  static constexpr std::pair<std::string_view, std::string_view> kRates[] = {
      {"23.976", "24000/1001"}, {"24.000", "24/1"}, {"25.000", "25/1"},       {"29.970", "30000/1001"},
      {"30.000", "30/1"},       {"50.000", "50/1"}, {"59.940", "60000/1001"}, {"60.000", "60/1"}};
  for (const auto& [rate, fraction] : kRates) {
    if (rate == frame_rate) return fraction;
  }
  return "";  // not {}: a null view must not reach CopyText's memcpy
}

// An empty fraction (a rate outside the table) counts no frames at all.
double FractionValue(std::string_view fraction) {
  const double value = fraction_to_double(fraction);
  return std::isfinite(value) ? value : 0;
}

std::string_view CutAt(std::string_view text, char separator) { return text.substr(0, text.find(separator)); }

// "23.976 (24000/1001) FPS" does not fit the ring's field: the rate and unit
// say the same without the fraction.
std::string FrameRateText(std::string_view text) {
  constexpr std::size_t kWidth = sizeof(VideoStream::frame_rate_text) - 1;
  const std::size_t open = text.find(" (");
  const std::size_t close = open == npos ? npos : text.find(')', open);
  if (text.size() > kWidth && close != npos) {
    return std::string(text.substr(0, open)) + std::string(text.substr(close + 1));
  }
  return std::string(text);
}

bool IsInterlaced(std::string_view scan_type) {
  return IStartsWith(scan_type, "i") || scan_type == "MBAFF" || scan_type == "PAFF";
}

int Kbps(std::string_view bits) { return static_cast<int>(LeadingInt64(bits) / 1000); }

void ReadVideo(const MediaInfoFile& mi, std::size_t i, VideoStream& v) {
  auto get = [&](std::string_view parameter) { return mi.Get(Kind::kVideo, i, parameter); };
  v.pid = LeadingInt(get("ID/String"));
  v.width = LeadingInt(get("Width"));
  v.height = LeadingInt(get("Height"));
  v.bitrate_kbps = Kbps(get("BitRate_Nominal"));
  if (v.bitrate_kbps == 0) v.bitrate_kbps = Kbps(get("BitRate"));
  v.duration_ms = LeadingInt(get("Duration"));
  v.frame_count = LeadingInt(get("FrameCount"));
  CopyText(v.duration_text, CutAt(get("Duration/String3"), '.'));
  const std::string frame_rate = get("FrameRate");
  CopyText(v.frame_rate, frame_rate);
  CopyText(v.fps_fraction, FpsFraction(frame_rate));
  CopyText(v.frame_rate_text, FrameRateText(get("FrameRate/String")));
  CopyText(v.scan_type, IsInterlaced(get("ScanType/String")) ? "i" : "p");
  const std::string format = get("Format");
  CopyText(v.format, format == "V_MPEGH/ISO/HEVC" ? "HEVC" : format);
  CopyText(v.display_aspect, get("DisplayAspectRatio/String"));
}

// The title's duration wins over a longer stream file; the frame count
// follows it only when the difference is more than the slack.
void CheckDuration(const SourceState& state, VideoStream& v, SourceInventory& inventory) {
  const TitleEntry& title = SelectedTitle(state);
  const std::string_view title_text = FieldText(title.duration);
  const double t = hms_to_ms(title_text);
  const double fraction = FractionValue(FieldText(v.fps_fraction));
  if (state.join_playlist) {
    CopyText(v.duration_text, title_text);
    v.duration_ms = t;
    v.frame_count = t / 1000 * fraction;
    return;
  }
  if (title_text.empty() || t <= 0 || v.duration_ms <= t) return;
  const double measured = v.duration_ms;
  v.duration_ms = t;
  if (measured - t > kFrameCountSlackMs) {
    v.frame_count = t / 1000 * fraction;
    inventory.limit_frames = 1;
  }
}

void ReadAudio(const MediaInfoFile& mi, std::size_t i, AudioStream& a) {
  auto get = [&](std::string_view parameter) { return mi.Get(Kind::kAudio, i, parameter); };
  a.pid = LeadingInt(get("ID/String"));
  a.delay_ms = LeadingInt(get("Video_Delay"));
  CopyText(a.language_code, LanguageCodeFrom(get("Language/String3"), get("Language")));
  CopyText(a.language_name, LanguageNameFrom(get("Language/String"), get("Language/String1")));
  AudioAnswers answers{get("Format"),
                       get("Format/String"),
                       get("Format_AdditionalFeatures"),
                       std::string(CutAt(get("Format_Profile"), '/')),
                       get("BitRate"),
                       get("CodecID")};
  NormalizeAudioAnswers(answers);
  CopyText(a.format, answers.format);
  CopyText(a.format_profile, Trim(answers.format_profile));
  CopyText(a.codec_id, answers.codec_id);
  CopyText(a.channels, CutAt(get("Channel(s)/String"), 'a'));
  CopyText(a.sampling_rate, get("SamplingRate/String"));
  CopyText(a.resolution, get("Resolution/String"));
  CopyText(a.dialnorm, get("dialnorm/String"));

  // The rate a kept core (or the plain track) costs, and the whole track's.
  const std::string_view b = answers.bitrate;
  const std::string_view profile = FieldText(a.format_profile);
  if (const std::size_t slash = b.find('/'); slash != npos) {
    const std::string_view full = Trim(b.substr(0, slash));
    a.has_core = 1;
    a.full_bitrate_kbps = full.starts_with('V') ? 0 : Kbps(full);
    a.bitrate_kbps = Kbps(b.substr(slash + 1));
  } else if (profile == "MA" || profile == "HRA") {
    a.has_core = 1;
    a.full_bitrate_kbps = Kbps(b);
    a.bitrate_kbps = 1509;
  } else if (FieldText(a.format) == "E-AC-3") {
    a.has_core = 1;
    a.bitrate_kbps = Kbps(b);
    a.full_bitrate_kbps = 0;
    CopyText(a.format_profile, "DD+");
  } else {
    a.bitrate_kbps = Kbps(b);
    a.has_core = 0;
  }
}

void ReadSubtitle(const MediaInfoFile& mi, std::size_t i, SubtitleStream& s) {
  auto get = [&](std::string_view parameter) { return mi.Get(Kind::kText, i, parameter); };
  s.pid = LeadingInt(get("ID/String"));
  CopyText(s.language_code, LanguageCodeFrom(get("Language/String3"), get("Language")));
  CopyText(s.language_name, LanguageNameFrom(get("Language/String"), get("Language/String1")));
  CopyText(s.format, get("Format"));
  CopyText(s.codec_id, NormalizedCodecId(get("CodecID")));
  const std::string title = get("Title");
  CopyText(s.title, kTitleBytes, title);
  if (IFind(title, "forced") != npos || IFind(title, "forzado") != npos) s.forced_count = kForcedTrack;
}

// Matroska chapter marks are the menu's parameters between the two
// positions; each one's name is its start time.
void ReadMkvChapters(const MediaInfoFile& mi, SourceInventory& inventory) {
  const int begin = std::max(0, LeadingInt(mi.Get(Kind::kMenu, 0, "Chapters_Pos_Begin")));
  const int end = LeadingInt(mi.Get(Kind::kMenu, 0, "Chapters_Pos_End"));
  std::string chapters;
  for (int i = begin; i < end && chapters.size() < kChapterTextSize; ++i) {
    if (i > begin) chapters.push_back('\n');
    chapters += mi.GetI(Kind::kMenu, 0, static_cast<std::size_t>(i), MediaInfoKind::kName);
  }
  CopyText(inventory.chapters, chapters);
  if (chapters.empty()) inventory.no_chapters = 1;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == npos ? std::string(".") : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == npos ? path : path.substr(slash + 1);
}

// The selected title's playlist beside the disc's STREAM folder; empty when
// the stream file is not in one.
std::string PlaylistPathFor(const std::string& stream_path, const SourceState& state) {
  const std::size_t last = LastIFind(stream_path, "/STREAM");
  if (last == npos) return {};
  return stream_path.substr(0, last) + "/PLAYLIST/" + std::string(FieldText(SelectedTitle(state).playlist));
}

// A 3D source gets the dependent view as record 1, moving a second video
// stream to record 2; its planes come from the SSIF file, the subtitles'
// from the playlist.
void Make3DRecords(const std::string& stream_path, const SourceState& state, SourceInventory& inventory) {
  if (inventory.video_count >= kMaxVideoStreams) return;
  if (inventory.video_count == 2) inventory.video[2] = inventory.video[1];
  inventory.video[1] = inventory.video[0];
  VideoStream& mvc = inventory.video[1];
  mvc.pid = kMvcViewPid;
  CopyText(mvc.format, "MVC");
  if (inventory.video[0].bitrate_kbps != 0) {
    mvc.bitrate_kbps = static_cast<std::int32_t>(inventory.video[0].bitrate_kbps / 1.5);
  }
  ++inventory.video_count;

  const std::string ssif = FolderOf(stream_path) + "/SSIF/" + NameOf(stream_path).substr(0, 5) + ".ssif";
  GetStartMuxTime(ssif, &mvc.plane_count);
  const std::string playlist = PlaylistPathFor(stream_path, state);
  if (!playlist.empty()) {
    const int count = std::clamp(inventory.subtitle_count, 0, kMaxSubtitleStreams);
    GetMpls3DPlanes(playlist, std::span<SubtitleStream>(inventory.subtitle, static_cast<std::size_t>(count)));
  }
}

}  // namespace

void AnalyseStreams(const MediaInfoFile* file, const std::string& stream_path, const SourceState& state,
                    SourceInventory& inventory) {
  if (file) {
    const MediaInfoFile& mi = *file;
    inventory.container_count = std::clamp(mi.StreamCount(Kind::kGeneral), 0, kMaxContainers);
    for (int i = 0; i < inventory.container_count; ++i) {
      inventory.container[i].overall_bitrate_kbps = Kbps(mi.Get(Kind::kGeneral, 0, "OverallBitRate"));
    }

    std::fill(std::begin(inventory.video), std::end(inventory.video), VideoStream{});
    inventory.video_count = std::clamp(mi.StreamCount(Kind::kVideo), 0, kMaxVideoStreams);
    for (int i = 0; i < inventory.video_count; ++i) {
      ReadVideo(mi, i, inventory.video[i]);
      CheckDuration(state, inventory.video[i], inventory);
    }

    std::fill(std::begin(inventory.audio), std::end(inventory.audio), AudioStream{});
    inventory.audio_count = std::clamp(mi.StreamCount(Kind::kAudio), 0, kMaxAudioStreams);
    for (int i = 0; i < inventory.audio_count; ++i) ReadAudio(mi, i, inventory.audio[i]);

    std::fill(std::begin(inventory.subtitle), std::end(inventory.subtitle), SubtitleStream{});
    inventory.subtitle_count = std::clamp(mi.StreamCount(Kind::kText), 0, kMaxSubtitleStreams);
    for (int i = 0; i < inventory.subtitle_count; ++i) ReadSubtitle(mi, i, inventory.subtitle[i]);

    if (inventory.source_is_mkv) ReadMkvChapters(mi, inventory);
  }
  if (inventory.source_is_3d) Make3DRecords(stream_path, state, inventory);
}

void MediaInfoAnalysis(const std::string& stream_path, const SourceState& state, SourceInventory& inventory) {
  std::string error;
  const std::unique_ptr<MediaInfoFile> file = MediaInfoFile::Open(stream_path, &error);
  AnalyseStreams(file.get(), stream_path, state, inventory);
}

void GetEyeAsignation(const std::string& stream_path, const SourceState& state, SourceInventory& inventory) {
  FilePrefix head;
  const std::string playlist = PlaylistPathFor(stream_path, state);
  const bool right_base = !playlist.empty() && head.Read(playlist, kEyeReadSize) &&
                          head.size() == kEyeReadSize && (head.U8(kEyeFlagOffset) & kRightEyeBase) != 0;
  CopyText(inventory.video[0].eye, right_base ? "right" : "left");
  CopyText(inventory.video[1].eye, right_base ? "left" : "right");
}

}  // namespace dp
