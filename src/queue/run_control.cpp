#include "queue/run_control.h"

namespace dp {

int RunControl::cancel_request() const {
  std::lock_guard lock(mutex_);
  return cancel_request_;
}

bool RunControl::Publish(std::shared_ptr<ToolProcess> tool, ProgressReader reader) {
  std::lock_guard lock(mutex_);
  if (cancel_request_ != kCancelNone) return false;
  tool_ = std::move(tool);
  reader_ = reader;
  return true;
}

void RunControl::Unpublish() {
  std::lock_guard lock(mutex_);
  tool_.reset();
  reader_ = ProgressReader::kNone;
}

std::shared_ptr<ToolProcess> RunControl::tool() const {
  std::lock_guard lock(mutex_);
  return tool_;
}

ProgressReader RunControl::reader() const {
  std::lock_guard lock(mutex_);
  return reader_;
}

void RunControl::Stop(int request) {
  std::lock_guard lock(mutex_);
  if (cancel_request_ == kCancelNone) cancel_request_ = request;
  if (tool_) tool_->KillGroup();
}

}  // namespace dp
