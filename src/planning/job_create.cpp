#include "planning/job_create.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/prompter.h"
#include "app/settings.h"
#include "planning/job_geometry.h"
#include "planning/job_texts.h"
#include "platform/command_line.h"
#include "util/text.h"

namespace dp {

namespace {

namespace tx = job_text;

void CutAtLast(std::string& s, std::string_view needle) {
  const std::size_t at = LastIFind(s, needle);
  if (at != npos) s.resize(at);
}

// One chapter start per line become one ";"-separated text; a list longer
// than the record holds keeps its whole entries only.
std::string ChapterList(std::string_view text) {
  std::string out;
  if (text.size() <= 3) return std::string(text);
  for (const char c : text) {
    if (c != '\r') out += c == '\n' ? ';' : c;
  }
  if (!out.empty() && out.back() == ';') out.pop_back();
  constexpr std::size_t kCap = sizeof(JobRecord::chapters) - 1;
  if (out.size() > kCap) out.resize(out.rfind(';', kCap) == std::string::npos ? 0 : out.rfind(';', kCap));
  return out;
}

std::string_view AudioCodecId(std::string_view format) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kIds{
      {{"AC-3", "A_AC3"}, {"E-AC-3", "A_EAC3"}, {"DTS", "A_DTS"}, {"PCM", "A_LPCM"}}};
  for (const auto& [f, id] : kIds) {
    if (format == f) return id;
  }
  return {};
}

std::string_view SubtitleCodecId(std::string_view format) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kIds{
      {{"PGS", "S_HDMV/PGS"}, {"UTF-8", "S_TEXT/UTF8"}, {"ASS", "S_TEXT/ASS"}}};
  for (const auto& [f, id] : kIds) {
    if (format == f) return id;
  }
  return {};
}

int ClampIndex(int index, int count) { return std::clamp(index, 0, std::max(count - 1, 0)); }

// One press of Add to Queue. Each step returns false when the add stops,
// with `result` saying how.
class JobBuilder {
 public:
  JobBuilder(const Settings& settings, SourceState& source, const SourceInventory& inventory,
             TargetPanel& panel, const AdvancedOptions& advanced, Prompter& prompter, const EnvProbe& probe)
      : settings_(settings),
        source_(source),
        inv_(inventory),
        panel_(panel),
        advanced_(advanced),
        prompter_(prompter),
        probe_(probe),
        video_(inventory.video[ClampIndex(panel.source_video, inventory.video_count)]) {}

  AddResult Build(int slot) {
    result_.slot = slot;
    rec_ = EmptyJob();
    if (!ReadFields() || !ThreeD() || !ModeChecks() || !Quality() || !Geometry() || !Video() || !Audio() ||
        !Subtitles()) {
      return result_;
    }
    Encoder();
    rec_.status = kStatusPending;
    result_.outcome = AddOutcome::kAdded;
    result_.focus = AddFocus::kStartJobs;
    result_.record = rec_;
    return result_;
  }

 private:
  bool Stop(AddOutcome outcome = AddOutcome::kStopped, AddFocus focus = AddFocus::kNone) {
    result_.outcome = outcome;
    result_.focus = focus;
    return false;
  }
  bool Refuse(const char* title, const std::string& text, AddFocus focus = AddFocus::kNone) {
    prompter_.Ask(title, text, Buttons::kOk);
    return Stop(AddOutcome::kStopped, focus);
  }
  bool Confirm(std::string_view text) {
    return prompter_.Ask(tx::kWarning, text, Buttons::kYesNo) == Answer::kYes;
  }
  void Warn(std::string_view text) { prompter_.Ask(tx::kWarning, text, Buttons::kOk); }
  bool Scanned() const { return inv_.video[0].packet_count != 0; }
  bool CrfTarget() const { return rec_.target_media == kMediaAvchdCrf || rec_.target_media == kMediaMkvCrf; }
  // eac3to numbers the tracks after a chapter track unless there is none.
  int TrackBase() const { return m2ts_ || inv_.source_is_mkv || inv_.no_chapters ? 1 : 2; }
  std::string MediaLabel(int index) const {
    return index >= 0 && index < static_cast<int>(panel_.media.size()) ? panel_.media[index].label : "";
  }

  bool CheckPath(std::string_view path, std::size_t cap) {
    if (path.size() >= cap) {
      return Refuse(tx::kError,
                    Format(tx::kPathTooLong, std::string(path).c_str(), static_cast<int>(cap - 1)));
    }
    const std::string why = CheckTemplatePath(path);
    return why.empty() || Refuse(tx::kError, why);
  }

  // The fields as the panel holds them, the target, and the input no job
  // can be made from.
  bool ReadFields() {
    const std::string& source_path = source_.panel.source_text;
    std::string output(TrimRight(source_.panel.output_path));
    t_ = std::clamp(panel_.media_index, 0, kMediaCount - 1);
    rec_.target_media = t_ == kMediaMkvRemux ? kMediaMkvCrf : t_;
    if (source_path.empty()) return Refuse(tx::kError, tx::kNoSource);
    if (inv_.video_count <= 0) return Refuse(tx::kError, tx::kNoVideo);
    if (output.empty()) return Refuse(tx::kError, tx::kNoOutput);
    if (!CheckPath(source_path, sizeof(rec_.source_path)) || !CheckPath(output, sizeof(rec_.output_path))) {
      return false;
    }
    std::error_code ec;
    if (rec_.target_media != kMediaMkvCrf && std::filesystem::is_regular_file(output, ec)) {
      return Refuse(tx::kError, Format(tx::kOutputIsFile, output.c_str()));
    }
    CopyText(rec_.source_path, source_path);
    CopyText(rec_.output_path, output);
    rec_.video_rate = panel_.bitrate;
    const std::size_t slash = output.rfind('/');
    name_ = slash == std::string::npos ? "" : output.substr(slash + 1);
    if (t_ == kMediaMkvCrf || t_ == kMediaMkvRemux) CutAtLast(name_, ".mkv");
    CopyText(rec_.chapters, ChapterList(FieldText(inv_.chapters)));
    label_ = MediaLabel(t_);
    return true;
  }

  // The job's 3D mode (the right eye as base view counts one up), the
  // output name and the disc root of the source.
  bool ThreeD() {
    mode_ = source_.selected_mode_3d;
    m2ts_ = inv_.source_is_m2ts != 0;
    if (inv_.source_is_3d) {
      if (mode_ != 0 && AsciiLower(video_.eye[0]) == 'r') ++mode_;
      if (IsMvcMode(mode_)) CutAtLast(name_, ".iso");
      m2ts_ = false;
    }
    const std::string& source_path = source_.panel.source_text;
    if (!m2ts_) {
      const std::size_t at = LastIFind(source_path, "/BDMV");
      if (at != npos) CopyText(rec_.source_root, std::string_view(source_path).substr(0, at));
    }
    // The name is the job's title and the file or folder it writes.
    if (name_.empty())
      return Refuse(tx::kError, Format(tx::kNoOutputName, FieldText(rec_.output_path).data()));
    CopyText(rec_.output_name, name_);
    return true;
  }

  // Targets a 3D mode cannot use.
  bool ModeChecks() {
    if (IsHalf3dMode(mode_)) {
      CheckAvisynth(prompter_, probe_);
      if (t_ == kMediaBdRemux || t_ == kMediaMkvRemux)
        return Refuse(tx::kSorry, tx::kRemux3d, AddFocus::kTargetMedia);
    }
    if (IsMvcMode(mode_)) {
      constexpr std::array kRefused{kMediaBd5, kMediaUsb4, kMediaAvchdCrf, kMediaMkvCrf, kMediaMkvRemux};
      if (std::find(kRefused.begin(), kRefused.end(), t_) != kRefused.end())
        return Refuse(tx::kSorry, tx::kMvcMedia);
    }
    return true;
  }

  // The video rate or CRF: doubtful values asked about, impossible ones refused.
  bool Quality() { return CrfTarget() ? CrfChecks() : BitrateChecks(); }

  bool CrfChecks() {
    const int c = rec_.video_rate;
    const auto stop = [this] { return Stop(AddOutcome::kStopped, AddFocus::kVideoBitrate); };
    if (c < 0) return Refuse(tx::kError, tx::kBadCrf, AddFocus::kVideoBitrate);
    if (IsHalf3dMode(mode_)) {
      if (c <= 15 && !Confirm(tx::kCrfLow3d)) return stop();
    } else if (c == 0) {
      const std::array<std::string_view, 2> buttons{tx::kLosslessRemux, tx::kLosslessKeep};
      const int choice = prompter_.Choose(tx::kWarning, tx::kLossless, buttons);
      if (choice < 0) return stop();
      if (choice == 0) KeepVideo();
    } else {
      if (inv_.source_is_mkv && !settings_.UseX265 && rec_.target_media == kMediaMkvCrf && c >= 2) {
        const std::array<std::string_view, 2> buttons{tx::kRemuxOnly, tx::kFullRecode};
        const int choice = prompter_.Choose(tx::kTip, tx::kMkvRemuxTip, buttons);
        if (choice < 0) return stop();
        if (choice == 0) return KeepVideo(), true;
      }
      if (c >= 2 && c <= 15 && !Confirm(tx::kCrfLow)) return stop();
    }
    if (rec_.video_rate >= 26) {
      if (!Confirm(tx::kCrfHigh)) return stop();
      if (rec_.video_rate >= 52) return Refuse(tx::kSorry, tx::kCrfMax, AddFocus::kVideoBitrate);
    }
    return true;
  }

  // The remux answers: the source's video is copied. They outlast a stop.
  void KeepVideo() {
    rec_.video_rate = 1;
    source_.video_untouched_choice = 1;
  }

  bool BitrateChecks() {
    if (!panel_.has_value) return Refuse(tx::kError, tx::kNoBitrate, AddFocus::kTargetMedia);
    if (rec_.video_rate <= 0) return Refuse(tx::kError, tx::kBadBitrate, AddFocus::kVideoBitrate);
    int threshold = 2000;
    if (video_.width >= 1440 && !advanced_.resize_720p) threshold = IsMvcMode(mode_) ? 7000 : 3500;
    return rec_.video_rate >= threshold || Confirm(tx::kBitrateLow) || Stop();
  }

  // The output picture; a width no disc format has needs the user's word.
  bool Geometry() {
    const JobGeometry g = PlanGeometry(rec_.target_media == kMediaMkvCrf, video_.width, video_.height,
                                       advanced_.crop_height, advanced_.resize_720p != 0);
    if (g.odd_width && !Confirm(tx::kResolution)) return Stop();
    CopyText(rec_.video_filter, g.filter);
    rec_.output_width = g.width;
    rec_.output_height = g.height;
    return true;
  }

  // The video stream, the title, the untouched-video choice and the label.
  bool Video() {
    CopyText(rec_.fps_fraction, FieldText(video_.fps_fraction));
    CopyText(rec_.fps_text, FieldText(video_.frame_rate));
    const bool interlaced = FieldText(video_.scan_type) == "i";
    if (interlaced) CopyText(rec_.x264_interlace, " --tff");
    rec_.video_track_id = video_.pid;
    rec_.frame_count = static_cast<std::int32_t>(std::lround(video_.frame_count));
    CopyText(rec_.video_codec, FieldText(video_.format));
    const TitleEntry& title = SelectedTitle(source_);
    if (source_.join_playlist) {
      rec_.join_playlist = source_.join_playlist;
      CopyText(rec_.join_parts, FieldText(title.clips));
    } else if (source_.playlist_index) {
      rec_.playlist_index = static_cast<std::int8_t>(source_.playlist_index);
    }
    CopyText(rec_.playlist_name, FieldText(title.playlist));
    rec_.source_is_playlist = source_.source_is_playlist != 0;

    if (source_.video_untouched_choice) {
      if (rec_.target_media == kMediaMkvCrf) label_ = MediaLabel(kMediaMkvRemux);
      if (rec_.target_media == kMediaAvchdCrf) label_ = MediaLabel(kMediaBdRemux);
      const int m = rec_.target_media;
      if (m != kMediaAvchdCrf && m != kMediaBdRemux && m != kMediaMkvCrf && !inv_.source_is_mkv &&
          !Scanned() && video_.bitrate_kbps == 0 && Confirm(tx::kScanVideo)) {
        return Stop(AddOutcome::kScanRequested);
      }
      rec_.video_untouched = kVideoUntouched;
    }

    rec_.interlaced_avc = interlaced && FieldText(video_.format) == "AVC";
    rec_.video_eac3to_track =
        static_cast<std::int8_t>(ClampIndex(panel_.source_video, inv_.video_count) + TrackBase());
    rec_.source_is_mkv = inv_.source_is_mkv != 0;
    rec_.mode_3d = static_cast<std::uint8_t>(mode_);
    if (!rec_.video_untouched && rec_.target_media == kMediaMkvCrf && settings_.UseX265) {
      if (advanced_.crop_height || advanced_.resize_720p) CheckAvisynth(prompter_, probe_);
      label_ = label_.substr(0, 3) + " HEVC";
      rec_.use_x265 = true;
    }
    if (IsMvcMode(mode_)) label_ += " 2D+3D";
    if (mode_ == kModeHalfSbsLeft || mode_ == kModeHalfSbsRight) label_ += " 3DSBS";
    if (mode_ == kModeHalfTabLeft || mode_ == kModeHalfTabRight) label_ += " 3DTAB";
    CopyText(rec_.target_label, label_);
    rec_.limit_frames = inv_.limit_frames != 0;
    if (advanced_.noise_reduction > 0) rec_.noise_reduction = advanced_.noise_reduction;
    return true;
  }

  // The chosen audio stream and what becomes of it.
  bool Audio() {
    if (inv_.audio_count <= 0) return true;
    const int a = ClampIndex(panel_.source_audio, inv_.audio_count);
    const AudioStream& s = inv_.audio[a];
    const int v = RingValue(panel_.audio, panel_.audio_index);
    const bool hd = v == 1;
    rec_.target_audio = hd ? kAudioCopy : v;
    rec_.audio_untouched_hd = hd;
    if (!Scanned() && hd && !CrfTarget() && !inv_.source_is_mkv && Confirm(tx::kScanAudio)) {
      return Stop(AddOutcome::kScanRequested);
    }
    rec_.audio_eac3to_track = static_cast<std::int8_t>(inv_.video_count + a + TrackBase());
    rec_.audio_track_id = s.pid;
    rec_.audio_delay_ms = s.delay_ms;
    CopyText(rec_.audio_language, FieldText(s.language_code));
    rec_.audio_core_only = hd ? 0 : s.has_core;
    const std::string_view codec = FieldText(s.codec_id);
    CopyText(rec_.audio_codec_id, codec.empty() ? AudioCodecId(FieldText(s.format)) : codec);
    int kbps = s.bitrate_kbps;
    if (hd) kbps = s.full_bitrate_kbps ? s.full_bitrate_kbps : s.scanned_bitrate_kbps;
    CopyText(rec_.audio_bitrate_text, Format("%d", kbps));
    rec_.audio_to_16bit = FieldText(s.resolution) == "24 bits" && settings_.Down16;
    const std::string_view ch = FieldText(s.channels);
    rec_.audio_downmix_51 = (ch == "7 ch" || ch == "8 ch") && settings_.Down6;
    return true;
  }

  // The chosen subtitle stream: unsupported formats refused, scans offered.
  bool Subtitles() {
    if (inv_.subtitle_count <= 0) return true;
    const int i = ClampIndex(panel_.source_subtitle, inv_.subtitle_count);
    const SubtitleStream& s = inv_.subtitle[i];
    rec_.subtitle_mode = RingValue(panel_.subtitle, panel_.subtitle_index);
    const bool kept = rec_.subtitle_mode != kSubtitleNone;
    const std::string_view format = FieldText(s.format);
    const bool pgs = format == "PGS";
    if (IsHalf3dMode(mode_) && kept && !DetectaDotNet4(probe_)) Warn(tx::kNoDotNet);
    if (kept && rec_.target_media != kMediaMkvCrf && !pgs && format != "UTF-8") {
      return Refuse(tx::kWarning, Format(tx::kSubtitleFormat, std::string(format).c_str()));
    }
    if (pgs && settings_.ForcedSubtitle && !settings_.NoSubtitle && !inv_.source_is_mkv && !Scanned() &&
        Confirm(tx::kScanForced)) {
      return Stop(AddOutcome::kScanRequested);
    }
    if (kept && pgs && !CrfTarget() && !inv_.source_is_mkv && !Scanned() && !IsHalf3dMode(mode_) &&
        Confirm(tx::kScanSubtitle)) {
      return Stop(AddOutcome::kScanRequested);
    }
    rec_.subtitle_eac3to_track =
        static_cast<std::int8_t>(inv_.video_count + inv_.audio_count + i + TrackBase());
    rec_.subtitle_track_id = s.pid;
    CopyText(rec_.subtitle_language, FieldText(s.language_code));
    const std::string_view codec = FieldText(s.codec_id);
    CopyText(rec_.subtitle_codec_id, codec.empty() ? SubtitleCodecId(format) : codec);
    if (IsMvcMode(mode_)) rec_.subtitle_3d_plane = s.plane;
    return true;
  }

  // Encoder options; a 720p resize rescales kept PGS subtitles too.
  void Encoder() {
    CopyText(rec_.x264_preset, panel_.preset);
    CopyText(rec_.x264_tune, advanced_.tune);
    CopyText(rec_.extra_params, advanced_.params);
    rec_.resize_720p = advanced_.resize_720p;
    rec_.crop_height = advanced_.crop_height;
    if (rec_.resize_720p && rec_.subtitle_mode != kSubtitleNone &&
        FieldText(rec_.subtitle_codec_id) == "S_HDMV/PGS") {
      rec_.resize_720p = kResize720WithPgs;
      std::string java;
      if (!DetectaJava(java, probe_)) Warn(tx::kNoJava);
    }
  }

  const Settings& settings_;
  SourceState& source_;
  const SourceInventory& inv_;
  TargetPanel& panel_;
  const AdvancedOptions& advanced_;
  Prompter& prompter_;
  const EnvProbe& probe_;
  const VideoStream& video_;
  AddResult result_;
  JobRecord rec_{};
  int t_ = 0;
  int mode_ = 0;
  bool m2ts_ = false;
  std::string name_;
  std::string label_;
};

}  // namespace

int AddJob(const JobSlots& jobs) {
  int last = 0;
  for (int i = 0; i < kQueueSlots; ++i) {
    if (jobs[i].status != kStatusEmpty) last = i;
  }
  for (int i = last; i < kQueueSlots; ++i) {
    if (jobs[i].status == kStatusEmpty) return i;
  }
  return -1;
}

void CheckAvisynth(Prompter& prompter, const EnvProbe& probe) {
  const int kind = DetectaAvisynth(probe);
  if (kind == kAvisynthNone) {
    // Nothing installed: the version check could only add a "damaged" line.
    prompter.Ask(tx::kWarning, tx::kNoAvisynth, Buttons::kOk);
    return;
  }
  std::string version;
  const int check = CheckAvisynthVersion(kind, &version, probe);
  if (check == 0) prompter.Ask(tx::kWarning, Format(tx::kOldAvisynth, version.c_str()), Buttons::kOk);
  if (check == -1) prompter.Ask(tx::kWarning, tx::kDamagedAvisynth, Buttons::kOk);
}

AddResult CallAddJob(const Settings& settings, SourceState& source, const SourceInventory& inventory,
                     TargetPanel& panel, const AdvancedOptions& advanced, JobQueue& queue, Prompter& prompter,
                     const EnvProbe& probe) {
  const int slot = AddJob(queue.Snapshot());
  if (slot < 0) {
    prompter.Ask(tx::kCannotAdd, tx::kQueueFull, Buttons::kOk);
    return {};
  }
  AddResult result = JobBuilder(settings, source, inventory, panel, advanced, prompter, probe).Build(slot);
  if (result.outcome == AddOutcome::kAdded) queue.Put(slot, result.record);
  return result;
}

}  // namespace dp
