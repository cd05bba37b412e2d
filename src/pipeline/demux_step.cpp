#include "pipeline/demux_step.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "pipeline/step_plan.h"
#include "pipeline/step_support.h"
#include "pipeline/temp_files.h"
#include "platform/tool_paths.h"
#include "util/text.h"

namespace dp {
namespace {

// ` %d: "%s"`: the track and the file eac3to writes it to.
std::string TrackArg(int track, const std::string& file) {
  return Format(" %d: \"%s\"", track, file.c_str());
}

std::string RecodeOptions(const JobRecord& job) {
  std::string options;
  if (job.audio_to_16bit) options += " -down16";
  if (job.audio_downmix_51) options += " -down6";
  return options;
}

std::string AudioArg(const JobRecord& job, const std::string& file) {
  std::string arg = TrackArg(job.audio_eac3to_track, file);
  if (job.target_audio == kAudioFlac) return arg + RecodeOptions(job);
  if (RecodesAudio(job)) return arg + Format(" -%d", job.target_audio) + RecodeOptions(job);
  // MKV output can take the DTS core alone.
  if (job.target_media == kMediaMkvCrf && job.audio_core_only != 0 &&
      FieldText(job.audio_codec_id) == "A_DTS")
    arg += " -core";
  return arg;
}

// The last ".eac3" of path, ignoring case; npos when there is none past the
// first character.
std::size_t LastEac3(std::string_view path) {
  std::size_t last = npos;
  for (std::size_t at = IFind(path, ".eac3"); at != npos; at = IFind(path, ".eac3", at + 1)) last = at;
  return last == 0 ? npos : last;
}

}  // namespace

bool DemuxExtractsVideo(const JobRecord& job) {
  const bool untouched = CopiesVideo(job);
  return job.join_playlist != 0 || (untouched && job.target_media == kMediaMkvCrf) ||
         job.mode_3d != kMode2d || job.use_x265 || (InterlacedAvc(job) && !untouched);
}

bool DemuxExtractsAudio(const JobRecord& job) {
  if (job.audio_eac3to_track == 0) return false;
  // Otherwise the muxer reads the audio straight from the source.
  const bool from_source = !RecodesAudio(job) && job.join_playlist == 0 && job.target_media != kMediaMkvCrf &&
                           !job.source_is_mkv && !IsMvc(job);
  return !from_source;
}

bool DemuxExtractsSubtitle(const JobRecord& job) {
  if (HasForcedSubtitleWork(job)) return true;
  return job.subtitle_mode != kSubtitleNone &&
         (job.join_playlist != 0 || job.target_media == kMediaMkvCrf || job.source_is_mkv ||
          job.resize_720p == kResize720WithPgs || job.mode_3d != kMode2d);
}

int DemuxTitleNumber(const JobRecord& job) {
  if (job.join_playlist != 0) return job.join_playlist;
  if (job.playlist_index != 0) return job.playlist_index;
  return 1;
}

DemuxTracks BuildDemuxTracks(const JobRecord& job, const StepContext& ctx) {
  const std::string_view temp = TempFolder(ctx);
  const int slot = ctx.slot;
  DemuxTracks t;
  t.log_file = TempFileName(temp, job, slot, kSuffixEac3toLog);

  if (DemuxExtractsVideo(job)) {
    if (job.mode_3d != kMode2d) {
      t.base_view_file = TempFileName(temp, job, slot, kSuffixBaseView);
      t.dependent_view_file = TempFileName(temp, job, slot, kSuffixDependentView);
      if (!Exists(t.base_view_file)) {
        t.video_arg += TrackArg(job.video_eac3to_track, t.base_view_file);
        t.created.push_back(t.base_view_file);
      }
      if (!Exists(t.dependent_view_file)) {
        t.video_arg += TrackArg(job.video_eac3to_track + 1, t.dependent_view_file);
        t.created.push_back(t.dependent_view_file);
      }
    } else {
      t.video_file = TempFileName(temp, job, slot, VideoSuffix(FieldText(job.video_codec)));
      if (!Exists(t.video_file)) {
        t.video_arg = TrackArg(job.video_eac3to_track, t.video_file);
        t.created.push_back(t.video_file);
      }
    }
  }

  if (DemuxExtractsAudio(job)) {
    t.audio_file = TempFileName(temp, job, slot, AudioSuffix(job));
    if (!Exists(t.audio_file)) {
      t.audio_arg = AudioArg(job, t.audio_file);
      t.created.push_back(t.audio_file);
    }
  }

  if (DemuxExtractsSubtitle(job)) {
    t.subtitle_file = TempFileName(temp, job, slot, SubtitleSuffix(FieldText(job.subtitle_codec_id)));
    if (!Exists(t.subtitle_file)) {
      t.subtitle_arg = TrackArg(job.subtitle_eac3to_track, t.subtitle_file);
      t.created.push_back(t.subtitle_file);
    }
  }
  return t;
}

PreparedStep PrepareDemux(const JobRecord& job, const StepContext& ctx, DemuxTracks* tracks) {
  DemuxTracks t = BuildDemuxTracks(job, ctx);
  PreparedStep step;
  step.tool = kEac3toTool;
  step.console_title = kEac3toConsoleTitle;
  step.capture = ctx.debug_mode ? Capture::kNone : Capture::kPipe;

  if (t.video_arg.empty() && t.audio_arg.empty() && t.subtitle_arg.empty()) {
    step.skip = true;
  } else {
    step.label = CalculaStepEac3to(job, t.video_arg, t.audio_arg, t.subtitle_arg);
    const std::string program = ToolPath("eac3to\\eac3to.exe");
    const char* progress = ctx.debug_mode ? "" : " -progressnumbers";
    const std::string_view root = FieldText(job.source_root);
    std::string input;
    std::string tail = t.video_arg + t.audio_arg + t.subtitle_arg + progress;
    if (!root.empty()) {
      input = job.source_is_playlist
                  ? JoinPath(root, std::string("BDMV/PLAYLIST/") + std::string(FieldText(job.playlist_name)))
                  : std::string(root);
      step.command_line = Format("\"%s\" \"%s\" %d)%s -log=\"%s\"", program.c_str(), input.c_str(),
                                 DemuxTitleNumber(job), tail.c_str(), t.log_file.c_str());
    } else {
      input = std::string(FieldText(job.source_path));
      step.command_line = Format("\"%s\" \"%s\"%s -log=\"%s\"", program.c_str(), input.c_str(), tail.c_str(),
                                 t.log_file.c_str());
    }
    step.outputs_on_failure = t.created;
  }
  if (tracks) *tracks = std::move(t);
  return step;
}

bool DemuxAfterWork(const JobRecord& job, const DemuxTracks& tracks) {
  if (tracks.audio_arg.empty() || job.target_media != kMediaMkvCrf ||
      FieldText(job.audio_codec_id) != "A_EAC3" || job.audio_delay_ms == 0)
    return false;
  // Only a kept E-AC-3 track is written under a ".eac3" name.
  const std::string& expected = tracks.audio_file;
  if (!IEndsWith(expected, kSuffixEac3) || Exists(expected)) return false;
  const std::size_t cut = LastEac3(expected);
  if (cut == npos) return false;
  const std::string delayed = expected.substr(0, cut) + Format(" DELAY %dms.eac3", job.audio_delay_ms);
  std::error_code ec;
  std::filesystem::rename(delayed, expected, ec);
  return !ec;
}

}  // namespace dp
