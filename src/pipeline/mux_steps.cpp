#include "pipeline/mux_steps.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "lang/iso639.h"
#include "pipeline/step_support.h"
#include "pipeline/temp_files.h"
#include "pipeline/video_steps.h"
#include "platform/tool_paths.h"
#include "source/start_mux_time.h"
#include "util/text.h"
#include "util/time.h"

namespace dp {
namespace {

constexpr std::string_view kTextSubtitleCodec = "S_TEXT/UTF8";

bool HasAudio(const JobRecord& job) { return job.audio_eac3to_track != 0; }

bool RemuxFromSource(const JobRecord& job) {
  return CopiesVideo(job) && job.join_playlist == 0 && job.target_media != kMediaMkvCrf &&
         job.mode_3d == kMode2d;
}

std::string RemuxCodecId(std::string_view video_codec) {
  if (video_codec == "AVC") return "V_MPEG4/ISO/AVC";
  if (video_codec == "VC-1") return "V_MS/VFW/WVC1";
  if (video_codec == "MPEG Video") return "V_MPEG-2";
  return {};
}

std::string DemuxedSubtitleFile(const JobRecord& job, const StepContext& ctx) {
  return Temp(job, ctx, SubtitleSuffix(FieldText(job.subtitle_codec_id)));
}

// Chapter marks: the list itself when there is one, else one every 5 minutes.
std::string ChapterOption(const JobRecord& job) {
  if (HasChapterList(job)) return "--custom-chapters=" + FieldString(job.chapters);
  return "--auto-chapters=5";
}

std::string MuxOptLine(const JobRecord& job, const StepContext& ctx) {
  const std::string chapters = ChapterOption(job);
  if (IsMvc(job)) {
    const auto start = static_cast<unsigned>(GetStartMuxTime(Temp(job, ctx, kSuffixDependentView)));
    return Format(
        "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --label=\"%s\" --vbr %s --vbv-len=500%s "
        "--start-time=%u\n",
        FieldString(job.output_name).c_str(), chapters.c_str(), IsRightEyeBase(job) ? " --right-eye" : "",
        start);
  }
  std::string cut;
  const double rate = JobFrameRate(job);
  // Without a usable rate the cut point is unknown; cutting at 0 s would
  // leave nothing.
  if (job.limit_frames && rate > 0) cut = Format(" --cut-end=%.02fs", job.frame_count / rate);
  return Format("MUXOPT --no-pcr-on-video-pid --new-audio-pes --avchd --vbr %s%s --vbv-len=500\n",
                chapters.c_str(), cut.c_str());
}

std::string VideoLines(const JobRecord& job, const StepContext& ctx) {
  if (IsMvc(job)) {
    if (!CopiesVideo(job)) {
      const std::string encoded = Temp(job, ctx, kSuffix264);
      return Format(
          "V_MPEG4/ISO/MVC, \"%s\", forceSEI, contSPS, subTrack=1\nV_MPEG4/ISO/AVC, \"%s\", forceSEI, "
          "contSPS, "
          "subTrack=2\n",
          encoded.c_str(), encoded.c_str());
    }
    return Format("V_MPEG4/ISO/MVC, \"%s\"\nV_MPEG4/ISO/AVC, \"%s\"\n",
                  Temp(job, ctx, kSuffixDependentView).c_str(), Temp(job, ctx, kSuffixBaseView).c_str());
  }
  const std::string codec = !CopiesVideo(job) ? "V_MPEG4/ISO/AVC" : RemuxCodecId(FieldText(job.video_codec));
  const std::string track = RemuxFromSource(job) ? Format("track=%d, ", job.video_track_id) : std::string();
  return Format("%s, \"%s\", %sfps=%s\n", codec.c_str(), MuxVideoFile(job, ctx).c_str(), track.c_str(),
                FieldString(job.fps_text).c_str());
}

std::string AudioLine(const JobRecord& job, const StepContext& ctx) {
  const std::string file = MuxAudioFile(job, ctx);
  if (!Exists(file)) return {};
  const std::string id = FieldString(job.audio_codec_id);
  const std::string codec = (RecodesAudio(job) || id == "A_EAC3") ? "A_AC3" : id;
  std::string down;
  if (job.audio_core_only != 0 && !RecodesAudio(job)) {
    if (id == "A_AC3" || id == "A_EAC3") down = "down-to-ac3, ";
    if (id == "A_DTS") down = "down-to-dts, ";
  }
  std::string shift;
  std::string track;
  if (!AudioFromDemux(job)) {
    // eac3to applies the delay when it demuxes; read from the source, the
    // muxer must.
    if (job.audio_delay_ms != 0) shift = Format("timeshift=%dms, ", job.audio_delay_ms);
    track = Format("track=%d, ", job.audio_track_id);
  }
  return Format("%s, \"%s\", %s%s%slang=%s\n", codec.c_str(), file.c_str(), down.c_str(), shift.c_str(),
                track.c_str(), FieldString(job.audio_language).c_str());
}

std::string SubtitleLine(const JobRecord& job, const StepContext& ctx) {
  // Half side-by-side and top-and-bottom pictures carry their subtitles
  // burned in.
  if (job.subtitle_mode == kSubtitleNone || !(job.mode_3d == kMode2d || IsMvc(job))) return {};
  const std::string file = TsMuxerSubtitleFile(job, ctx);
  if (!Exists(file)) return {};
  const std::string codec = FieldString(job.subtitle_codec_id);
  const std::string track =
      TsMuxerSubtitleFromSource(job) ? Format("track=%d, ", job.subtitle_track_id) : std::string();
  const std::string fps = FieldString(job.fps_text);
  const std::string language = FieldString(job.subtitle_language);
  if (codec != kTextSubtitleCodec) {
    const std::string plane = (IsMvc(job) && job.subtitle_3d_plane != kSubtitlePlaneUndefined)
                                  ? Format("3d-plane=%d, ", job.subtitle_3d_plane)
                                  : std::string();
    return Format("%s, \"%s\", fps=%s, %s%slang=%s\n", codec.c_str(), file.c_str(), fps.c_str(),
                  plane.c_str(), track.c_str(), language.c_str());
  }
  const Settings& s = ctx.settings;
  return Format(
      "%s, \"%s\", font-name=\"%s\", font-size=%d, font-color=0x%08x, bottom-offset=%d, font-border=%d, "
      "text-align=center, video-width=%d, video-height=%d, fps=%s, %slang=%s\n",
      codec.c_str(), file.c_str(), FieldString(s.FontName).c_str(), s.FontSize, s.FontColor,
      s.FontBottomOffset, s.FontBorder, job.output_width, job.output_height, fps.c_str(), track.c_str(),
      language.c_str());
}

PreparedStep MuxStep(const StepContext& ctx, const StepTool& tool, std::string label, const char* title) {
  PreparedStep step;
  step.tool = tool;
  step.label = std::move(label);
  step.console_title = title;
  step.capture = ctx.debug_mode ? Capture::kNone : Capture::kPipe;
  return step;
}

}  // namespace

double JobFrameRate(const JobRecord& job) {
  const double fraction = fraction_to_double(FieldText(job.fps_fraction));
  if (std::isfinite(fraction) && fraction > 0) return fraction;
  const double text = LeadingDouble(FieldText(job.fps_text));
  return std::isfinite(text) && text > 0 ? text : 0.0;
}

std::string MuxVideoFile(const JobRecord& job, const StepContext& ctx) {
  if (!CopiesVideo(job)) {
    if (IsMvc(job)) return Temp(job, ctx, kSuffix264);
    return Temp(job, ctx, job.use_x265 ? kSuffix265 : kSuffix264);
  }
  if (IsMvc(job)) return Temp(job, ctx, kSuffixBaseView);
  if (job.join_playlist != 0 || job.target_media == kMediaMkvCrf) return DemuxedVideoFile(job, ctx);
  return FieldString(job.source_path);
}

bool AudioFromDemux(const JobRecord& job) {
  return HasAudio(job) && (RecodesAudio(job) || job.join_playlist != 0 || job.target_media == kMediaMkvCrf ||
                           job.source_is_mkv || IsMvc(job));
}

std::string MuxAudioFile(const JobRecord& job, const StepContext& ctx) {
  // A source without audio leaves no track to name; the source itself would
  // be muxed as if it were one.
  if (!HasAudio(job)) return {};
  if (AudioFromDemux(job)) return Temp(job, ctx, AudioSuffix(job));
  return FieldString(job.source_path);
}

bool TsMuxerSubtitleFromSource(const JobRecord& job) {
  return (job.subtitle_mode == kSubtitleNone || job.subtitle_mode == kSubtitleKept) &&
         job.join_playlist == 0 && !job.source_is_mkv && job.resize_720p != kResize720WithPgs && !IsMvc(job);
}

std::string TsMuxerSubtitleFile(const JobRecord& job, const StepContext& ctx) {
  if (TsMuxerSubtitleFromSource(job)) return FieldString(job.source_path);
  if (job.resize_720p == kResize720WithPgs && IsPgs(job)) return Temp(job, ctx, kSuffixResizedSup);
  if (HasForcedSubtitleWork(job)) return Temp(job, ctx, kSuffixForcedSup);
  return DemuxedSubtitleFile(job, ctx);
}

std::string MkvmergeSubtitleFile(const JobRecord& job, const StepContext& ctx) {
  if ((job.resize_720p != kResizeNone || job.crop_height != 0) && IsPgs(job))
    return Temp(job, ctx, kSuffixResizedSup);
  if (job.subtitle_mode == kSubtitleForcedOnly) return Temp(job, ctx, kSuffixForcedSup);
  return DemuxedSubtitleFile(job, ctx);
}

std::string TsMuxerMeta(const JobRecord& job, const StepContext& ctx) {
  std::string meta = MuxOptLine(job, ctx);
  meta += VideoLines(job, ctx);
  meta += AudioLine(job, ctx);
  meta += SubtitleLine(job, ctx);
  return meta;
}

std::string MkvmergeChapters(const JobRecord& job) {
  std::string out;
  int i = 0;
  for (const std::string_view time : Tokenize(FieldText(job.chapters), ";")) {
    ++i;
    const std::string t(time);
    out += Format("CHAPTER%02d=%s\nCHAPTER%02dNAME=Chapter %d\n", i, t.c_str(), i, i);
  }
  return out;
}

void ApplyTsMuxerRecordCorrections(JobRecord& job) {
  if (!HasChapterList(job)) CopyText(job.chapters, "5");
  if (RecodesAudio(job)) CopyText(job.audio_codec_id, "A_AC3");
}

PreparedStep BuildTsMuxerStep(const JobRecord& job, const StepContext& ctx, int step, int total) {
  const bool mvc = IsMvc(job);
  PreparedStep out = MuxStep(
      ctx, kTsMuxerTool,
      Format(mvc ? "[STEP %d/%d - TSMUXER] Muxing audio/video/subs and creating BLU-RAY .ISO file..."
                 : "[STEP %d/%d - TSMUXER] Muxing audio/video/subs and creating AVCHD folders structure...",
             step, total),
      "[TSMUXER PROCESS] Do not close this window!!!");
  const std::string meta = TsMuxerMetaName(FieldText(ctx.settings.TempPath), ctx.slot);
  const std::string output = FieldString(job.output_path);
  const std::string program = ToolPath(mvc ? "tsMuxeR\\2.x\\tsMuxeR.exe" : "tsMuxeR\\1.10.6\\tsMuxeR.exe");
  out.command_line = Format("\"%s\" \"%s\" \"%s\"", program.c_str(), meta.c_str(), output.c_str());
  out.control_files.push_back(ControlFile{meta, TsMuxerMeta(job, ctx), false});
  // A path this short is a drive or a root, never a folder of ours.
  if (output.size() >= 4) {
    out.muxer_output.path = output;
    // The muxer writes an image when the name says so, else a disc tree
    // (BDMV and CERTIFICATE); an image is built from a tree made beside it.
    if (IEndsWith(output, ".iso"))
      out.muxer_output.entries = {output + ".tree"};
    else
      out.muxer_output.entries = {JoinPath(output, "BDMV"), JoinPath(output, "CERTIFICATE")};
  }
  return out;
}

PreparedStep BuildMkvmergeStep(const JobRecord& job, const StepContext& ctx, int step, int total) {
  PreparedStep out =
      MuxStep(ctx, kMkvmergeTool,
              Format("[STEP %d/%d - MKVMERGE] Muxing audio/video/subs and creating MKV file...", step, total),
              "[MKVMERGE PROCESS] Do not close this window!!!");
  const std::string output = FieldString(job.output_path);
  const std::string program =
      ToolPath(ctx.is_64bit ? "mkvtoolnix\\mkvmerge_x64.exe" : "mkvtoolnix\\mkvmerge.exe");
  const char* stereo = "";
  if (IsHalf3d(job))
    stereo = IsHalfSbs(job) ? " --stereo-mode 0:side_by_side_left_first"
                            : " --stereo-mode 0:top_bottom_left_first";
  std::string& cmd = out.command_line;
  cmd = Format("\"%s\" --output \"%s\" --forced-track 0:no%s \"%s\"", program.c_str(), output.c_str(), stereo,
               MuxVideoFile(job, ctx).c_str());

  const std::string audio = MuxAudioFile(job, ctx);
  if (Exists(audio)) {
    const std::string language = FieldString(job.audio_language);
    const std::string id = FieldString(job.audio_codec_id);
    if (id == "A_AC3" && job.audio_untouched_hd && !RecodesAudio(job) && job.audio_core_only == 0) {
      // TrueHD with its AC3 core: one file, two tracks.
      cmd += Format(
          " --language 0:%s --language 1:%s --forced-track 0:no --forced-track 1:no --compression 0:none "
          "--compression 1:none \"%s\"",
          language.c_str(), language.c_str(), audio.c_str());
    } else {
      const std::string sync = (id == "A_EAC3" && job.audio_delay_ms != 0)
                                   ? Format(" --sync 0:%d", job.audio_delay_ms)
                                   : std::string();
      cmd += Format(" --language 0:%s --forced-track 0:no --compression 0:none%s \"%s\"", language.c_str(),
                    sync.c_str(), audio.c_str());
    }
  }

  const std::string subtitle = MkvmergeSubtitleFile(job, ctx);
  if (job.subtitle_mode != kSubtitleNone && job.mode_3d == kMode2d && Exists(subtitle)) {
    const std::string language = FieldString(job.subtitle_language);
    char name[64] = {};
    ISO639_2toIdioma(language, name);
    std::string track_name(FieldText(name));
    if (HasForcedSubtitleWork(job)) track_name += " Forced";
    cmd += Format(" --language 0:%s --track-name \"0:%s\" --forced-track 0:%s --compression 0:none \"%s\"",
                  language.c_str(), track_name.c_str(), HasForcedSubtitleWork(job) ? "yes" : "no",
                  subtitle.c_str());
  }

  const double rate = JobFrameRate(job);
  if (job.limit_frames && rate > 0) cmd += Format(" --split %lds", std::lround(job.frame_count / rate));
  cmd += Format(" --title \"%s\"", FieldString(job.output_name).c_str());

  if (HasChapterList(job)) {
    const std::string chapters = Temp(job, ctx, kSuffixChapters);
    out.control_files.push_back(ControlFile{chapters, MkvmergeChapters(job), false});
    cmd += Format(" --chapters \"%s\"", chapters.c_str());
  }

  out.outputs_on_failure.push_back(output);
  if (job.limit_frames) {
    // A failed split run leaves its parts, not the output name.
    out.outputs_on_failure.push_back(SplitPartName(output, 1));
    out.outputs_on_failure.push_back(SplitPartName(output, 2));
  }
  return out;
}

std::string SplitPartName(const std::string& output_path, int part) {
  const std::string tag = Format("-%03d", part);
  const std::size_t at = output_path.rfind(".mkv");
  if (at == std::string::npos) return output_path + tag;
  std::string name = output_path;
  name.insert(at, tag);
  return name;
}

bool KeepFirstSplitPart(const JobRecord& job) {
  const std::string output = FieldString(job.output_path);
  if (output.empty()) return false;
  std::error_code ec;
  std::filesystem::rename(SplitPartName(output, 1), output, ec);
  const bool renamed = !ec;
  std::filesystem::remove(SplitPartName(output, 2), ec);
  return renamed;
}

}  // namespace dp
