// The stop channel of one job run, shared by the worker and the window.
// Stop and Cancel set the request and kill the published tool under one
// lock, so a tool is either killed or never started; the worker reads the
// request only after its tool has ended, as the run's own token (a new run
// gets a new one, so a late worker can never read a fresh run's zero).
#pragma once

#include <memory>
#include <mutex>

#include "app/run_state.h"
#include "platform/tool_process.h"
#include "queue/progress.h"

namespace dp {

class RunControl {
 public:
  explicit RunControl(int slot) : slot_(slot) {}
  int slot() const { return slot_; }

  int cancel_request() const;
  // Publishes the tool of the next step and the reader the progress monitor
  // reads it with. False when the run was stopped already: the step must
  // not start.
  bool Publish(std::shared_ptr<ToolProcess> tool, ProgressReader reader);
  void Unpublish();
  std::shared_ptr<ToolProcess> tool() const;
  ProgressReader reader() const;
  // Records the request (kCancelStop or kCancelCancel) and kills the
  // running tool's whole process group.
  void Stop(int request);

 private:
  const int slot_;
  mutable std::mutex mutex_;
  int cancel_request_ = kCancelNone;
  std::shared_ptr<ToolProcess> tool_;
  ProgressReader reader_ = ProgressReader::kNone;
};

}  // namespace dp
