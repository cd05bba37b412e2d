// The subtitle sub-tasks that follow a successful demux: deriving the
// forced-caption stream (".forced.sup") from the demuxed PGS stream, and
// rescaling or cropping the PGS stream with BDSup2Sub (".resized.sup") when
// the picture is resized or cropped. They have no job status of their own;
// while one runs the window's status line names it. Each output is written
// only when it is absent, so a resumed job keeps what an earlier run made.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "pipeline/step.h"
#include "pipeline/step_plan.h"
#include "queue/job_record.h"

namespace dp {

inline constexpr const char* kExportForcedStatus = "Extracting forced captions...";
inline constexpr const char* kFlagAllForcedStatus = "Flagging all subs as forced...";
// Shown by the worker while the BDSup2Sub step runs, cleared after it.
inline constexpr const char* kRescaleStatus = "Resizing/Croping subtitles using BDsup2sub...";
inline constexpr const char* kRescaleConsoleTitle =
    "[RESIZING/CROPING SUBTITLES] Do not close this window!!!";

// Sets the window's one-line status text ("" clears it).
using StatusDisplay = std::function<void(std::string_view)>;

// Shows the task's status text, writes `output` from `input` when `output`
// does not exist yet, and clears the status text. `lock` stands beside
// `output` while it is written: an output found with its lock was cut short
// by a run that died, and is written again. 1 when it wrote the output, 0
// when there was nothing to do or nothing could be written, -1 when writing
// failed part way (the partial output is removed, so that a later run does
// not take it for a finished one).
int RunForcedCaptionTask(ForcedCaptionTask task, const std::string& input, const std::string& output,
                         const std::string& lock, const StatusDisplay& show);

struct SubtitleFiles {
  std::string demuxed;       // ".sup" or ".srt" from the demux step
  std::string forced;        // ".forced.sup"
  std::string forced_lock;   // beside it while it is written
  std::string resized;       // ".resized.sup"
  std::string resized_lock;  // beside it while BDSup2Sub runs
};
SubtitleFiles JobSubtitleFiles(const JobRecord& job, const StepContext& ctx);

// The job's forced-caption sub-task as its plan asks (none for most jobs).
int RunForcedCaptions(const JobRecord& job, const StepContext& ctx, const StatusDisplay& show);

struct JavaRuntime {
  bool found = false;  // DetectaJava gave 1
  std::string path;    // the Java executable
};

// The BDSup2Sub run of the job. A ".resized.sup" found with its lock is
// the trace of a run that died and is removed first. Skipped when the plan
// has no rescale, when ".resized.sup" already exists, or when no Java
// runtime was found. When
// "BDSup2Sub/BDSup2Sub.jar" lies below the tools folder, Java runs it;
// otherwise the native BDSup2Sub program is run directly with the same
// options. Its exit code does not fail the job: a
// failed rescale leaves no ".resized.sup" and the muxer takes the unscaled
// subtitle.
PreparedStep PrepareSubtitleRescale(const JobRecord& job, const StepContext& ctx, const JavaRuntime& java);

}  // namespace dp
