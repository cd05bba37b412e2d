// The pipeline worker (`ProcesaJobsProc`): turns one job record into its
// output by running the planned steps one after another, writing the job's
// status as it goes, and handing the queue on when the job ends.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_state.h"
#include "app/settings.h"
#include "pipeline/step.h"
#include "queue/job_queue.h"
#include "queue/queue_control.h"

namespace dp {

// How a step's end is handled: which files go when it did not finish, and
// whether its exit code counts.
enum class StepKind {
  kDemux,    // eac3to
  kRescale,  // BDSup2Sub: its exit code is not examined
  kX264Pass1,
  kEncoder,  // MVCenc, x264 pass 2 or CRF, x265: lock file and output
  kMux,      // tsMuxeR, mkvmerge
};

class PipelineRunner : public JobRunner {
 public:
  PipelineRunner(QueueControl& control, JobQueue& queue, RunState& run_state, Settings& settings,
                 QueueFrontend& frontend);

  void Run(RunControl& run) override;  // ProcesaJobsProc
  void DeleteTemporaries(const JobRecord& job, int slot, bool force) override;
  void SwapTemporaries(const JobRecord& first, int first_slot, const JobRecord& second, int second_slot,
                       const std::function<void()>& store_order) override;

 private:
  enum class StepEnd { kNext, kStop };
  void RunJob(RunControl& run);
  // Launches one prepared step and applies the rules for how it ended.
  StepEnd RunStep(RunControl& run, const JobRecord& job, const PreparedStep& step, StepKind kind);
  // Marks the job failed, records the failure, hands the queue on.
  void FailJob(RunControl& run, std::string_view command_line, int exit_code);
  void Finish(RunControl& run);
  void Borra(const JobRecord& job, int slot);
  StepContext Context(int slot) const;
  std::string TempPath() const;
  // What a delete of the output must never take besides the fixed guards.
  std::vector<std::filesystem::path> KeptFolders() const;

  QueueControl& control_;
  JobQueue& queue_;
  RunState& run_state_;
  Settings& settings_;
  QueueFrontend& frontend_;
};

// Why a job cannot run: a path its command lines cannot carry safely, or an
// empty temporary folder. Empty when it can.
std::string RefuseJobPaths(const JobRecord& job, std::string_view temp_path);

}  // namespace dp
