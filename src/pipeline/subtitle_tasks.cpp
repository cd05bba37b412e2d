#include "pipeline/subtitle_tasks.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "pipeline/pgs_forced.h"
#include "pipeline/step_support.h"
#include "pipeline/temp_files.h"
#include "planning/geometry.h"
#include "platform/paths.h"
#include "platform/tool_paths.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

void Show(const StatusDisplay& show, std::string_view text) {
  if (show) show(text);
}

void Remove(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

// An output with its lock beside it was cut short by a run that died.
void DiscardInterrupted(const std::string& output, const std::string& lock) {
  if (!Exists(lock)) return;
  Remove(output);
  Remove(lock);
}

}  // namespace

int RunForcedCaptionTask(ForcedCaptionTask task, const std::string& input, const std::string& output,
                         const std::string& lock, const StatusDisplay& show) {
  if (task == ForcedCaptionTask::kNone) return 0;
  const bool export_forced = task == ForcedCaptionTask::kExportForced;
  Show(show, export_forced ? kExportForcedStatus : kFlagAllForcedStatus);
  DiscardInterrupted(output, lock);
  int result = 0;
  if (!Exists(output)) {
    std::ofstream(lock, std::ios::trunc).close();
    const PgsCopyResult copy =
        export_forced ? SubtitleExportForced(input, output) : SubtitleFlagAllForced(input, output);
    result = copy.result;
    if (result < 0) Remove(output);
    Remove(lock);
  }
  Show(show, "");
  return result;
}

SubtitleFiles JobSubtitleFiles(const JobRecord& job, const StepContext& ctx) {
  SubtitleFiles files;
  files.demuxed = Temp(job, ctx, SubtitleSuffix(FieldText(job.subtitle_codec_id)));
  files.forced = Temp(job, ctx, kSuffixForcedSup);
  files.forced_lock = Temp(job, ctx, kSuffixForcedSupLock);
  files.resized = Temp(job, ctx, kSuffixResizedSup);
  files.resized_lock = Temp(job, ctx, kSuffixResizedSupLock);
  return files;
}

int RunForcedCaptions(const JobRecord& job, const StepContext& ctx, const StatusDisplay& show) {
  const SubtitleFiles files = JobSubtitleFiles(job, ctx);
  return RunForcedCaptionTask(PlanSteps(job).forced_captions, files.demuxed, files.forced, files.forced_lock,
                              show);
}

PreparedStep PrepareSubtitleRescale(const JobRecord& job, const StepContext& ctx, const JavaRuntime& java) {
  PreparedStep step;
  step.console_title = kRescaleConsoleTitle;
  step.capture = Capture::kNone;
  const StepPlan plan = PlanSteps(job);
  const SubtitleFiles files = JobSubtitleFiles(job, ctx);
  DiscardInterrupted(files.resized, files.resized_lock);
  if (!plan.subtitle_rescale || Exists(files.resized) || !java.found) {
    step.skip = true;
    return step;
  }

  std::string options;
  if (job.crop_height != 0) options += Format(" -c %d", CropBand(job.crop_height));
  if (job.resize_720p != kResizeNone) options += " -r 720p -f lanczos3";
  // The forced-caption stream replaces the demuxed one whenever the job
  // made it: rescaling the demuxed stream would drop what that task did.
  const std::string& input = plan.forced_captions != ForcedCaptionTask::kNone ? files.forced : files.demuxed;

  const fs::path jar = ToolsDir() / "BDSup2Sub" / "BDSup2Sub.jar";
  std::error_code ec;
  if (fs::is_regular_file(jar, ec)) {
    // The runtime's path stands unquoted in this command line; one with a
    // blank would be split, so that one is quoted.
    const bool blank = java.path.find_first_of(" \t") != std::string::npos;
    const std::string runtime = blank ? "\"" + java.path + "\"" : java.path;
    step.command_line = Format("%s -jar \"%s\" -T keep%s -o \"%s\" \"%s\"", runtime.c_str(), jar.c_str(),
                               options.c_str(), files.resized.c_str(), input.c_str());
  } else {
    const std::string program = ToolPath("BDSup2Sub\\BDSup2Sub");
    step.command_line = Format("\"%s\" -T keep%s -o \"%s\" \"%s\"", program.c_str(), options.c_str(),
                               files.resized.c_str(), input.c_str());
  }
  step.outputs_on_failure = {files.resized};
  step.lock_file = files.resized_lock;
  return step;
}

}  // namespace dp
