// Where the progress monitor reads from while the queue runs: the job's
// record and the tool of the run in progress. The window and the CLI share it.
#pragma once

#include "app/run_state.h"
#include "queue/job_queue.h"
#include "queue/progress.h"
#include "queue/queue_control.h"

namespace dp {

class RunProgressSource : public ProgressSource {
 public:
  RunProgressSource(QueueControl& control, JobQueue& queue, RunState& run)
      : control_(control), queue_(queue), run_(run) {}
  bool ConsoleWindowFound() override { return true; }  // titles come with the tool's output here
  void FindConsoleWindow() override {}
  int CurrentJob() override { return run_.current_job.load(); }
  ProgressReader StepReader() override;
  std::int32_t JobFrameCount(int slot) override { return queue_.Get(slot).frame_count; }
  std::string ReadPipe(std::size_t max_bytes) override;
  std::string ConsoleTitle() override;

 private:
  std::shared_ptr<ToolProcess> Tool() const;
  QueueControl& control_;
  JobQueue& queue_;
  RunState& run_;
};

}  // namespace dp
