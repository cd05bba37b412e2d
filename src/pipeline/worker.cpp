#include "pipeline/worker.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "pipeline/demux_step.h"
#include "pipeline/failure_log.h"
#include "pipeline/mux_steps.h"
#include "pipeline/output_snapshot.h"
#include "pipeline/step_plan.h"
#include "pipeline/subtitle_tasks.h"
#include "pipeline/temp_files.h"
#include "pipeline/video_steps.h"
#include "planning/env_checks.h"
#include "platform/command_line.h"
#include "util/text.h"

namespace dp {

namespace {

void RemoveFile(const std::string& path) {
  if (!path.empty()) ::unlink(path.c_str());
}

// Writes a control file the step reads; an existing one is kept when the
// step says it is a finished piece of an earlier run.
bool WriteControlFile(const ControlFile& file) {
  std::error_code ec;
  if (file.only_if_absent && std::filesystem::exists(file.path, ec)) return true;
  std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
  out << file.content;
  out.close();
  return static_cast<bool>(out);
}

// eac3to writes each stream straight under its final name, and a stream
// whose file exists is not extracted again. A run that died with the program
// (a stopped or failed one has its files removed) leaves its lock behind:
// its files may be cut short, so they are extracted again.
void DiscardInterruptedDemux(const std::string& lock, const DemuxTracks& tracks) {
  std::error_code ec;
  if (!std::filesystem::exists(lock, ec)) return;
  for (const std::string* f : {&tracks.video_file, &tracks.base_view_file, &tracks.dependent_view_file,
                               &tracks.audio_file, &tracks.subtitle_file})
    RemoveFile(*f);
  RemoveFile(lock);
}

}  // namespace

std::string RefuseJobPaths(const JobRecord& job, std::string_view temp_path) {
  if (temp_path.empty()) return "the temporary folder is not set (Options > Settings...)";
  const struct {
    const char* what;
    std::string_view path;
  } paths[] = {
      {"temporary folder", temp_path},
      {"output name", FieldText(job.output_name)},
      {"output path", FieldText(job.output_path)},
      {"source", FieldText(job.source_path)},
      {"source folder", FieldText(job.source_root)},
  };
  for (const auto& p : paths) {
    const std::string why = CheckTemplatePath(p.path);
    if (!why.empty())
      return Format("the %s '%.*s' cannot be used: %s", p.what, static_cast<int>(p.path.size()),
                    p.path.data(), why.c_str());
  }
  if (FieldText(job.output_name).find('/') != std::string_view::npos)
    return "the output name must not contain '/'";
  return {};
}

PipelineRunner::PipelineRunner(QueueControl& control, JobQueue& queue, RunState& run_state,
                               Settings& settings, QueueFrontend& frontend)
    : control_(control), queue_(queue), run_state_(run_state), settings_(settings), frontend_(frontend) {}

std::string PipelineRunner::TempPath() const { return std::string(FieldText(settings_.TempPath)); }

StepContext PipelineRunner::Context(int slot) const {
  return StepContext{settings_, slot, run_state_.is_64bit, run_state_.debug_mode.load(),
                     DetectaAvisynth() == kAvisynthPlus};
}

std::vector<std::filesystem::path> PipelineRunner::KeptFolders() const {
  return {TempPath(), std::string(FieldText(settings_.OutPath))};
}

void PipelineRunner::DeleteTemporaries(const JobRecord& job, int slot, bool force) {
  const CleanupSettings cleanup{run_state_.debug_mode.load(), settings_.SaveX264Log != 0};
  BorraTemporals(TempPath(), job, slot, force, cleanup);
}

void PipelineRunner::SwapTemporaries(const JobRecord& first, int first_slot, const JobRecord& second,
                                     int second_slot, const std::function<void()>& store_order) {
  dp::SwapTemporaries(TempPath(), first, first_slot, second, second_slot, store_order);
}

void PipelineRunner::Borra(const JobRecord& job, int slot) { DeleteTemporaries(job, slot, false); }

void PipelineRunner::FailJob(RunControl& run, std::string_view command_line, int exit_code) {
  if (!control_.SetRunStatus(run, kStatusFailed)) return;
  frontend_.ResetProgress();
  LogToolFailure(TempPath(), command_line, exit_code, std::time(nullptr));
  control_.ActivaJob(StartAll::kNo, &run);
}

void PipelineRunner::Finish(RunControl& run) {
  frontend_.StatusText("");
  frontend_.JobDone();
  if (!control_.SetRunStatus(run, kStatusFinished)) return;
  if (run_state_.sound_when_done.load()) frontend_.PlaySound(std::string(FieldText(settings_.SoundPath)));
  control_.ActivaJob(StartAll::kNo, &run);
}

PipelineRunner::StepEnd PipelineRunner::RunStep(RunControl& run, const JobRecord& job,
                                                const PreparedStep& step, StepKind kind) {
  if (step.skip) return StepEnd::kNext;
  frontend_.StepStarted(step.label);
  if (step.tool.status != 0 && !control_.SetRunStatus(run, step.tool.status)) return StepEnd::kStop;
  for (const auto& file : step.control_files) {
    if (!WriteControlFile(file)) {
      FailJob(run, "cannot write the control file " + file.path, -1);
      return StepEnd::kStop;
    }
  }
  if (!step.lock_file.empty()) WriteControlFile(ControlFile{step.lock_file, "", false});

  ToolLaunch launch;
  launch.argv = SplitCommandLine(step.command_line);
  if (!step.feeder_command.empty()) launch.feeder_argv = SplitCommandLine(step.feeder_command);
  const bool debug = run_state_.debug_mode.load();
  if (debug || step.capture == Capture::kNone) {
    launch.capture = OutputCapture::kNone;
  } else if (step.capture == Capture::kLog) {
    launch.capture = OutputCapture::kLogFile;
    launch.log_path = step.log_file;
  } else {
    launch.capture = OutputCapture::kPipe;
    launch.capture_stderr = false;  // standard output only, as the monitor reads it
  }
  launch.idle_priority = step.idle_priority;
  launch.console_title = step.console_title;
  launch.title_source = step.tool.title_source;

  auto tool = std::make_shared<ToolProcess>();
  if (!run.Publish(tool, step.tool.reader)) {
    RemoveFile(step.lock_file);
    return StepEnd::kStop;
  }
  // What the muxer finds in place is the user's; taken at the last moment.
  const OutputSnapshot output_before = SnapshotOutput(step.muxer_output);
  ToolExit exit;
  if (Status started = tool->Start(launch); !started) {
    // A tool that cannot start fails the step like one that failed.
    RemoveFile(step.lock_file);
    for (const auto& out : step.outputs_on_failure) RemoveFile(out);
    frontend_.StatusText(started.error());
    FailJob(run, step.command_line, -1);
    return StepEnd::kStop;
  }
  exit = tool->Wait();
  tool->CloseOutput();
  const int c = run.cancel_request();  // read only after the tool has ended
  const int e = exit.code;

  RemoveFile(step.lock_file);  // the tool has ended, however it ended
  const bool stopped = c != kCancelNone;
  const bool failed = e != 0 && kind != StepKind::kRescale;  // a rescale's exit code fails nothing
  const bool finished = !stopped && e == 0;
  // A finished mux makes the intermediates useless. A stopped muxer also
  // ends with 0, yet its job keeps them (the encoded video above all).
  if (kind == StepKind::kMux && finished) Borra(job, run.slot());
  if (!finished) {
    // What the step left half-written must never pass for finished work.
    for (const auto& out : step.outputs_on_failure) RemoveFile(out);
    const std::string refusal = RemoveRunOutput(step.muxer_output, output_before, KeptFolders());
    if (failed) FailJob(run, step.command_line, e);
    // Said after the failure has reset the progress display.
    if (!refusal.empty()) frontend_.StatusText("The unfinished output was not deleted: " + refusal + ".");
    if (stopped || failed) return StepEnd::kStop;
  }
  frontend_.StatusText("");
  return StepEnd::kNext;
}

void PipelineRunner::Run(RunControl& run) {
  RunJob(run);
  // Wherever a cancel landed (during a tool, between two, before one
  // started), nothing of the job stays behind: a cancelled job is never
  // stored, so nothing could find its files later. A job that had just
  // finished or failed keeps its status, and its files.
  if (run.cancel_request() != kCancelCancel) return;
  const JobRecord now = queue_.Get(run.slot());
  if (now.status == kStatusCanceled) Borra(now, run.slot());
}

void PipelineRunner::RunJob(RunControl& run) {
  const int slot = run.slot();
  JobRecord job = queue_.Get(slot);
  const StepContext ctx = Context(slot);
  frontend_.StepStarted("");

  const std::string refusal = RefuseJobPaths(job, TempPath());
  if (!refusal.empty()) {
    frontend_.StatusText("Job refused: " + refusal);
    FailJob(run, "<job refused: " + refusal + ">", -1);
    return;
  }
  std::error_code ec;
  std::filesystem::create_directories(TempPath(), ec);

  const StepPlan plan = PlanSteps(job);

  if (plan.demux) {
    const std::string lock = TempFileName(TempPath(), job, slot, kSuffixDemuxLock);
    DiscardInterruptedDemux(lock, BuildDemuxTracks(job, ctx));
    DemuxTracks tracks;
    PreparedStep demux = PrepareDemux(job, ctx, &tracks);
    if (!demux.skip) demux.lock_file = lock;
    if (RunStep(run, job, demux, StepKind::kDemux) == StepEnd::kStop) return;
    if (!demux.skip) DemuxAfterWork(job, tracks);
  }
  if (plan.forced_captions != ForcedCaptionTask::kNone) {
    if (run.cancel_request() != kCancelNone) return;
    if (RunForcedCaptions(job, ctx, [this](std::string_view text) { frontend_.StatusText(text); }) < 0) {
      const SubtitleFiles files = JobSubtitleFiles(job, ctx);
      FailJob(
          run,
          Format("<forced captions from \"%s\" into \"%s\">", files.demuxed.c_str(), files.forced.c_str()),
          -1);
      return;
    }
    if (run.cancel_request() != kCancelNone) return;
  }
  if (plan.subtitle_rescale) {
    JavaRuntime java;
    java.found = DetectaJava(java.path) == 1;
    PreparedStep rescale = PrepareSubtitleRescale(job, ctx, java);
    if (!rescale.skip) frontend_.StatusText(kRescaleStatus);
    if (RunStep(run, job, rescale, StepKind::kRescale) == StepEnd::kStop) return;
  }
  if (plan.frame_count_refresh) {
    JobRecord refreshed = job;
    if (RefreshFrameCount(refreshed, ctx)) {
      job.frame_count = refreshed.frame_count;
      control_.UpdateRunRecord(run, [&](JobRecord& r) { r.frame_count = refreshed.frame_count; });
    }
    if (run.cancel_request() != kCancelNone) return;
  }

  const int total = plan.total_steps;
  using Builder = PreparedStep (*)(const JobRecord&, const StepContext&, int, int);
  struct VideoStep {
    Builder build;
    int number;
    StepKind kind;
  };
  std::vector<VideoStep> video;
  switch (plan.video) {
    case VideoKind::kNone:
      break;
    case VideoKind::kMvcenc:
      video = {{BuildMvcencStep, plan.video_step, StepKind::kEncoder}};
      break;
    case VideoKind::kX264TwoPass:
      video = {{BuildX264Pass1Step, plan.video_step, StepKind::kX264Pass1},
               {BuildX264SecondStep, plan.pass2_step, StepKind::kEncoder}};
      break;
    case VideoKind::kX264Crf:
      video = {{BuildX264SecondStep, plan.video_step, StepKind::kEncoder}};
      break;
    case VideoKind::kX265:
      video = {{BuildX265Step, plan.video_step, StepKind::kEncoder}};
      break;
  }
  // Each step is prepared when its turn comes: what it finds on disk then
  // decides whether it runs.
  for (const VideoStep& v : video)
    if (RunStep(run, job, v.build(job, ctx, v.number, total), v.kind) == StepEnd::kStop) return;

  if (plan.mux == MuxKind::kMkvmerge) {
    if (RunStep(run, job, BuildMkvmergeStep(job, ctx, plan.mux_step, total), StepKind::kMux) ==
        StepEnd::kStop)
      return;
    if (job.limit_frames) KeepFirstSplitPart(job);
  } else {
    // The muxer's record corrections land with its status change.
    control_.UpdateRunRecord(run, [](JobRecord& r) { ApplyTsMuxerRecordCorrections(r); });
    ApplyTsMuxerRecordCorrections(job);
    if (RunStep(run, job, BuildTsMuxerStep(job, ctx, plan.mux_step, total), StepKind::kMux) == StepEnd::kStop)
      return;
  }
  Finish(run);
}

}  // namespace dp
