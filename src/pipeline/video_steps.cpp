#include "pipeline/video_steps.h"

#include <cmath>

#include "pipeline/step_plan.h"
#include "pipeline/step_support.h"
#include "pipeline/temp_files.h"
#include "planning/geometry.h"
#include "platform/tool_paths.h"
#include "util/file_io.h"
#include "util/text.h"

namespace dp {
namespace {

constexpr const char* kTitleMvcenc = "[MVC ENCODER PROCESS] Do not close this window!!!";
constexpr const char* kTitleX264Pass1 = "[X264 PASS 1 PROCESS] Do not close this window!!!";
constexpr const char* kTitleX264 = "[X264 PROCESS] Do not close this window!!!";
constexpr const char* kTitleX265 = "[X265 PROCESS] Do not close this window!!!";

// x264's frame packing: 3 side by side, 4 top and bottom.
int FramePacking(const JobRecord& job) { return IsHalfSbs(job) ? 3 : 4; }

// An empty tune is no tune: x264 refuses `--tune ""`.
std::string TuneOption(const JobRecord& job, bool for_x265) {
  const std::string tune = FieldString(job.x264_tune);
  if (tune.empty() || tune == "none" || (for_x265 && tune == "film")) return {};
  return Format(" --tune \"%s\"", tune.c_str());
}

// The option naming the keyframes file when the file is there at launch:
// left by an earlier run or written by this step before its tool starts.
std::string QpfileOption(const JobRecord& job, const StepContext& ctx) {
  const std::string path = Temp(job, ctx, kSuffixQpfile);
  if (!Exists(path) && !ChapterKeyframesFile(job, ctx)) return {};
  return Format(" --qpfile \"%s\"", path.c_str());
}

std::string FramesOption(const JobRecord& job) {
  return job.limit_frames ? Format(" --frames %d", job.frame_count) : std::string();
}

std::string DemuxerOption(const JobRecord& job) {
  return InterlacedAvc(job) ? Format(" --demuxer \"lavf\" --frames %d", job.frame_count) : std::string();
}

std::string NoiseReductionOption(const JobRecord& job) {
  if (job.noise_reduction <= 0) return {};
  return Format(" --nr-intra %d --nr-inter %d", job.noise_reduction, job.noise_reduction);
}

// What x264 reads for a 2D job: the demuxed file when the demux had to
// extract the video, else the source itself.
std::string X264Input2D(const JobRecord& job, const StepContext& ctx) {
  if (job.join_playlist != 0 || InterlacedAvc(job)) return DemuxedVideoFile(job, ctx);
  return FieldString(job.source_path);
}

void AddInputFiles(PreparedStep& step, const JobRecord& job, const StepContext& ctx) {
  if (auto qpfile = ChapterKeyframesFile(job, ctx)) step.control_files.push_back(std::move(*qpfile));
  if (auto avs = AvisynthScriptFile(job, ctx)) step.control_files.push_back(std::move(*avs));
}

// Fills what every encoder run shares: tool, label, title, log, priority.
PreparedStep EncoderStep(const StepContext& ctx, const StepTool& tool, std::string label, const char* title,
                         std::string log_file) {
  PreparedStep step;
  step.tool = tool;
  step.label = std::move(label);
  step.console_title = title;
  step.idle_priority = true;
  if (ctx.debug_mode) {
    step.capture = Capture::kNone;
  } else {
    step.capture = Capture::kLog;
    step.log_file = std::move(log_file);
  }
  return step;
}

// An output with no lock beside it is the work of a finished run.
void GuardOutput(PreparedStep& step, const std::string& output, const std::string& lock) {
  step.lock_file = lock;
  step.outputs_on_failure.push_back(output);
  step.skip = Exists(output) && !Exists(lock);
}

}  // namespace

std::string X264Program(const JobRecord& job, const StepContext& ctx) {
  const bool x64 = ctx.is_64bit && (job.mode_3d == kMode2d || ctx.avisynth_plus);
  return ToolPath(x64 ? "x264\\x264_x64.exe" : "x264\\x264.exe");
}

std::string X265Program(const StepContext& ctx) {
  return ToolPath(ctx.is_64bit ? "x265\\x265_x64.exe" : "x265\\x265.exe");
}

std::string Avs2yuvProgram(const StepContext& ctx) {
  return ToolPath(ctx.is_64bit && ctx.avisynth_plus ? "x265\\avs2yuv_x64.exe" : "x265\\avs2yuv.exe");
}

std::string MvcdecProgram(const StepContext& ctx) {
  return ToolPath(ctx.is_64bit ? "MVCdec_x64.exe" : "MVCdec.exe");
}

std::string MvcencProgram(const StepContext& ctx) {
  return ToolPath(ctx.is_64bit ? "MVCenc_x64.exe" : "MVCenc.exe");
}

std::string MvcsourcePlugin(const StepContext& ctx) {
  return ToolPath(ctx.is_64bit && ctx.avisynth_plus ? "MVCsource_x64.dll" : "MVCsource.dll");
}

std::string SupTitlePlugin(const StepContext& ctx) {
  return ToolPath(ctx.is_64bit && ctx.avisynth_plus ? "SupTitle\\x64\\SupTitle.dll"
                                                    : "SupTitle\\SupTitle.dll");
}

int KeyintBase(std::string_view fps_text) {
  const double f = LeadingDouble(fps_text);
  if (f <= 24) return 24;
  if (f <= 25) return 25;
  if (f <= 30) return 30;
  if (f <= 50) return 50;
  return 60;
}

namespace {

bool SmallMedium(const JobRecord& job) {
  return job.target_media == kMediaBd5 || job.target_media == kMediaBd9 || job.target_media == kMediaUsb4;
}

}  // namespace

VbvPair BlurayVbv(const JobRecord& job) {
  if (SmallMedium(job) || (job.target_media == kMediaCustom && job.video_rate < 10000)) return {24000, 24000};
  return {30000, 40000};
}

VbvPair MvcencLimits(const JobRecord& job) {
  if (SmallMedium(job) || (job.target_media == kMediaCustom && job.video_rate <= 11999))
    return {25000, 25000};
  return {60000, 30000};
}

int MvcencQuality(std::string_view preset) {
  if (preset == "placebo") return 1;
  if (preset == "veryslow" || preset == "slower") return 2;
  if (preset == "slow") return 3;
  if (preset == "fast") return 5;
  if (preset == "faster" || preset == "veryfast") return 6;
  if (preset == "superfast" || preset == "ultrafast") return 7;
  return 4;
}

std::string DemuxedVideoFile(const JobRecord& job, const StepContext& ctx) {
  return Temp(job, ctx, VideoSuffix(FieldText(job.video_codec)));
}

std::string ChapterKeyframes(const JobRecord& job) {
  const double fps = LeadingDouble(FieldText(job.fps_text));
  const char* form = job.use_x265 ? "%ld K\n" : "%ld K -1\n";
  std::string out;
  for (const std::string_view piece : Tokenize(FieldText(job.chapters), ";")) {
    // HH:MM:SS.mmm at fixed places; a short piece reads its missing parts as 0.
    const int hours = LeadingInt(piece.substr(0, 2));
    const int minutes = piece.size() > 3 ? LeadingInt(piece.substr(3, 2)) : 0;
    const double seconds = piece.size() > 6 ? LeadingDouble(piece.substr(6)) : 0.0;
    const double frame = (hours * 3600.0 + minutes * 60.0 + seconds) * fps;
    out += Format(form, std::isfinite(frame) ? std::lround(frame) : 0L);
  }
  return out;
}

std::optional<ControlFile> ChapterKeyframesFile(const JobRecord& job, const StepContext& ctx) {
  if (!PlanSteps(job).chapter_keyframes) return std::nullopt;
  return ControlFile{Temp(job, ctx, kSuffixQpfile), ChapterKeyframes(job), true};
}

std::optional<std::int32_t> ReadEac3toFrameCount(const std::string& log_path) {
  const std::optional<std::string> log = ReadWholeFile(log_path);
  if (!log) return std::nullopt;
  constexpr std::string_view kContains = "contains ";
  // The log is read in lines of at most 511 characters; the rest of a
  // longer line is read as a line of its own.
  std::string_view rest = *log;
  while (!rest.empty()) {
    std::size_t len = std::min<std::size_t>(rest.find('\n'), 510) + 1;
    len = std::min(len, rest.size());
    const std::string_view line = rest.substr(0, len);
    rest.remove_prefix(len);
    if (!line.starts_with("Video track")) continue;
    const std::size_t at = line.find(kContains);
    if (at == npos) continue;
    const std::int32_t count = LeadingInt(line.substr(at + kContains.size()));
    return line.find("fields") != npos ? count / 2 : count;
  }
  return std::nullopt;
}

bool FrameCountRefreshDue(const JobRecord& job) { return PlanSteps(job).frame_count_refresh; }

bool RefreshFrameCount(JobRecord& job, const StepContext& ctx) {
  if (!FrameCountRefreshDue(job)) return false;
  const std::optional<std::int32_t> count = ReadEac3toFrameCount(Temp(job, ctx, kSuffixEac3toLog));
  if (!count) return false;
  job.frame_count = *count;
  return true;
}

bool AvisynthScriptDue(const JobRecord& job) { return PlanSteps(job).avisynth_script; }

std::string AvisynthScript(const JobRecord& job, const StepContext& ctx) {
  if (!AvisynthScriptDue(job)) return {};
  std::string out = Format("LoadPlugin(\"%s\")\n", MvcsourcePlugin(ctx).c_str());
  if (IsHalf3d(job)) {
    std::string subtitle;
    if (job.subtitle_mode != kSubtitleNone) {
      out += Format("LoadPlugin(\"%s\")\n\n", SupTitlePlugin(ctx).c_str());
      subtitle = Format(".SupTitle(\"%s\", forcedOnly=%s, swapCbCr=false, relocate=false)",
                        Temp(job, ctx, kSuffixSup).c_str(),
                        job.subtitle_mode == kSubtitleForcedOnly ? "true" : "false");
    } else {
      out += "\n";
    }
    // MVCsource's last argument names the base view's eye.
    const int base = IsLeftEyeBase(job) ? 2 : -2;
    out +=
        Format("Interleaved = MVCsource(\"%s\", \"%s\", %d, %d)\n\n", Temp(job, ctx, kSuffixBaseView).c_str(),
               Temp(job, ctx, kSuffixDependentView).c_str(), job.frame_count, base);
    out += "Right = SelectOdd(Interleaved)" + subtitle + "\n";
    out += "Left = SelectEven(Interleaved)" + subtitle + "\n\n";
    out += IsHalfSbs(job) ? "return StackHorizontal(HorizontalReduceBy2(Left), HorizontalReduceBy2(Right))\n"
                          : "return StackVertical(VerticalReduceBy2(Left), VerticalReduceBy2(Right))\n";
    return out;
  }
  out += Format("\nMVCsource(\"%s\", \"\", %d, 0)\n", DemuxedVideoFile(job, ctx).c_str(), job.frame_count);
  if (job.crop_height != 0) {
    const int band = CropBand(job.crop_height);
    out += Format("Crop(0,%d,0,-%d)\n", band, band);
  }
  if (job.resize_720p != kResizeNone) {
    out += job.crop_height != 0 ? Format("BicubicResize(1280,%d)\n", CropAndResize(job.crop_height))
                                : std::string("BicubicResize(1280,720)\n");
  }
  return out;
}

std::optional<ControlFile> AvisynthScriptFile(const JobRecord& job, const StepContext& ctx) {
  if (!AvisynthScriptDue(job)) return std::nullopt;
  return ControlFile{Temp(job, ctx, kSuffixAvs), AvisynthScript(job, ctx), true};
}

PreparedStep BuildMvcencStep(const JobRecord& job, const StepContext& ctx, int step, int total) {
  PreparedStep out = EncoderStep(
      ctx, kMvcencTool, Format("[STEP %d/%d - MVC ENCODER] Recode MVC 3D video using MVCenc...", step, total),
      kTitleMvcenc, Temp(job, ctx, kSuffixMvcencLog));
  const std::string output = Temp(job, ctx, kSuffix264);
  const VbvPair limits = MvcencLimits(job);
  out.command_line =
      Format("\"%s\" \"%s\" \"%s\" %d \"%s\" %d %d %d %d", MvcencProgram(ctx).c_str(),
             Temp(job, ctx, kSuffixBaseView).c_str(), Temp(job, ctx, kSuffixDependentView).c_str(),
             job.frame_count, output.c_str(), job.video_rate, MvcencQuality(FieldText(job.x264_preset)),
             limits.bufsize, limits.maxrate);
  GuardOutput(out, output, Temp(job, ctx, kSuffix264Lock));
  return out;
}

namespace {

// Every x264 line has one shape: level and buffer options by target, the
// rate, then the 2D or half-3D body with the GOP options. pass: 0 for a
// single CRF pass, else 1 or 2 of a two-pass encode.
std::string X264CommandLine(const JobRecord& job, const StepContext& ctx, int pass) {
  const bool crf = pass == 0;
  const VbvPair vbv = BlurayVbv(job);
  const int base = KeyintBase(FieldText(job.fps_text));
  std::string head, gop;
  if (!crf || job.target_media == kMediaAvchdCrf) {
    head =
        Format("--bluray-compat --level \"4.1\" --vbv-bufsize %d --vbv-maxrate %d", vbv.bufsize, vbv.maxrate);
    gop = Format("--keyint %d --open-gop --slices 4", base);
  } else if (ctx.settings.DivXPlusHD != 0) {
    head = "--level \"4.0\" --vbv-bufsize 25000 --vbv-maxrate 20000";
    gop = Format("--bframes 3 --keyint %d", base * 4);
  } else {
    head = "--level \"4.1\"";
    gop = Format("--keyint %d --open-gop", base * 10);
  }
  const int rate = job.video_rate;
  const std::string rate_option =
      crf ? Format("--crf %d", rate)
          : Format("--bitrate %d --stats \"%s\"", rate, Temp(job, ctx, kSuffixStats).c_str());
  const std::string interlace = FieldString(job.x264_interlace);
  const std::string qpfile = QpfileOption(job, ctx);
  const std::string extra = FieldString(job.extra_params);
  constexpr char kColour[] = "--colorprim \"bt709\" --transfer \"bt709\" --colormatrix \"bt709\" --sar 1:1";
  const bool half3d = IsHalf3d(job);
  const std::string body = half3d ? Format("%s %s --frame-packing %d%s %s %s", interlace.c_str(), gop.c_str(),
                                           FramePacking(job), qpfile.c_str(), extra.c_str(), kColour)
                                  : Format(" --index \"%s\"%s --fps \"%s\" --force-cfr%s %s %s%s %s%s%s",
                                           Temp(job, ctx, kSuffixIndex).c_str(), qpfile.c_str(),
                                           FieldString(job.fps_fraction).c_str(), interlace.c_str(),
                                           gop.c_str(), FramesOption(job).c_str(), extra.c_str(), kColour,
                                           FieldString(job.video_filter).c_str(), DemuxerOption(job).c_str());
  // The first pass writes only its statistics: its picture goes nowhere.
  const std::string output = pass == 1 ? std::string(kNullDevice) : "\"" + Temp(job, ctx, kSuffix264) + "\"";
  const std::string input = half3d ? Temp(job, ctx, kSuffixAvs) : X264Input2D(job, ctx);
  const std::string pass_option = crf ? std::string() : Format(" --pass %d", pass);
  return Format("\"%s\" --preset \"%s\"%s %s %s%s%s -o %s \"%s\"", X264Program(job, ctx).c_str(),
                FieldString(job.x264_preset).c_str(), TuneOption(job, false).c_str(), head.c_str(),
                rate_option.c_str(), body.c_str(), pass_option.c_str(), output.c_str(), input.c_str());
}

}  // namespace

PreparedStep BuildX264Pass1Step(const JobRecord& job, const StepContext& ctx, int step, int total) {
  PreparedStep out =
      EncoderStep(ctx, kX264Pass1Tool,
                  Format("[STEP %d/%d - X264 PASS 1] Recode video using x264, 1st pass...", step, total),
                  kTitleX264Pass1, Temp(job, ctx, kSuffixX264Pass1Log));
  AddInputFiles(out, job, ctx);
  out.command_line = X264CommandLine(job, ctx, 1);
  const std::string stats = Temp(job, ctx, kSuffixStats);
  // x264 writes ".stats" only when the pass completes.
  out.skip = Exists(stats);
  return out;
}

PreparedStep BuildX264SecondStep(const JobRecord& job, const StepContext& ctx, int step, int total) {
  const bool crf = IsCrfTarget(job);
  PreparedStep out =
      crf ? EncoderStep(
                ctx, kX264CrfTool,
                Format("[STEP %d/%d - X264 CRF] Recode video using x264, single pass CRF...", step, total),
                kTitleX264, Temp(job, ctx, kSuffixX264Log))
          : EncoderStep(
                ctx, kX264Pass2Tool,
                Format("[STEP %d/%d - X264 PASS 2] Recode video using x264, 2nd pass...", step, total),
                kTitleX264, Temp(job, ctx, kSuffixX264Pass2Log));
  AddInputFiles(out, job, ctx);
  out.command_line = X264CommandLine(job, ctx, crf ? 0 : 2);
  GuardOutput(out, Temp(job, ctx, kSuffix264), Temp(job, ctx, kSuffix264Lock));
  return out;
}

PreparedStep BuildX265Step(const JobRecord& job, const StepContext& ctx, int step, int total) {
  PreparedStep out =
      EncoderStep(ctx, kX265Tool,
                  Format("[STEP %d/%d - X265 CRF] Recode video using x265, single pass CRF...", step, total),
                  kTitleX265, Temp(job, ctx, kSuffixX265Log));
  AddInputFiles(out, job, ctx);
  const std::string output = Temp(job, ctx, kSuffix265);
  if (job.crop_height != 0 || job.resize_720p != kResizeNone || IsHalf3d(job)) {
    out.feeder_command =
        Format("\"%s\" \"%s\" -", Avs2yuvProgram(ctx).c_str(), Temp(job, ctx, kSuffixAvs).c_str());
  } else {
    out.feeder_command = Format("\"%s\" \"%s\" \"\" %d 0 -", MvcdecProgram(ctx).c_str(),
                                DemuxedVideoFile(job, ctx).c_str(), job.frame_count);
  }
  out.command_line = Format(
      "\"%s\" --y4m --frames %d --crf %d --preset \"%s\" --aq-mode 3%s --keyint %d %s%s %s --colorprim "
      "\"bt709\" "
      "--transfer \"bt709\" --colormatrix \"bt709\" --sar 1:1 --input \"-\" --output \"%s\"",
      X265Program(ctx).c_str(), job.frame_count, job.video_rate, FieldString(job.x264_preset).c_str(),
      TuneOption(job, true).c_str(), KeyintBase(FieldText(job.fps_text)) * 10, QpfileOption(job, ctx).c_str(),
      NoiseReductionOption(job).c_str(), FieldString(job.extra_params).c_str(), output.c_str());
  GuardOutput(out, output, Temp(job, ctx, kSuffix265Lock));
  return out;
}

}  // namespace dp
