#include "queue/queue_control.h"

#include <filesystem>

#include "platform/shell.h"
#include "queue/error_log_name.h"
#include "queue/queue_buttons.h"
#include "queue/queue_store.h"
#include "util/text.h"

namespace dp {

QueueControl::QueueControl(Store& store, JobQueue& queue, RunState& run, Settings& settings,
                           QueueFrontend& frontend, PowerControl& power, Prompter& prompter)
    : store_(store),
      queue_(queue),
      run_state_(run),
      settings_(settings),
      frontend_(frontend),
      power_(power),
      prompter_(prompter),
      worker_([this] { WorkerLoop(); }) {}

QueueControl::~QueueControl() { Shutdown(); }

void QueueControl::Shutdown() {
  StopJob();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void QueueControl::Persist() { EscriuCuaRegistre(store_, queue_); }

void QueueControl::ActivaJob(StartAll start_all, const RunControl* finished) {
  std::shared_ptr<RunControl> started;
  int ended_finished = 0;
  int ended_failed = 0;
  {
    std::lock_guard lock(mutex_);
    // A run that was stopped or cancelled hands nothing on.
    if (finished && (run_.get() != finished || finished->cancel_request() != kCancelNone)) return;
    run_state_.cancel_request = kCancelNone;
    if (!finished) {
      run_finished_ = run_failed_ = 0;
    } else if (const std::int32_t outcome = queue_.Status(finished->slot()); outcome == kStatusFailed) {
      ++run_failed_;
    } else if (outcome == kStatusFinished) {
      ++run_finished_;
    }
    const int slot = NextRunnableSlot(queue_.Snapshot(), start_all);
    if (slot >= 0 && runner_) {
      started = std::make_shared<RunControl>(slot);
      run_ = started;
      pending_ = started;
      run_state_.current_job = slot;
    } else {
      run_.reset();
      run_state_.current_job = -1;
      if (finished) {
        ended_finished = run_finished_;
        ended_failed = run_failed_;
      }
    }
  }
  if (started) {
    wake_.notify_all();
    frontend_.ResetProgress();
    frontend_.RunStateChanged(true);
    power_.KeepAwake(true);
    return;
  }
  wake_.notify_all();
  EndRun();
  if (finished) frontend_.QueueEnded(ended_finished, ended_failed);
}

void QueueControl::EndRun() {
  frontend_.RunStateChanged(false);
  frontend_.ResetProgress();
  power_.KeepAwake(false);
  if (run_state_.shutdown_when_done.load()) power_.PowerOff();
}

void QueueControl::StopRun(int request, std::int32_t status) {
  {
    std::lock_guard lock(mutex_);
    if (!run_) return;
    run_state_.cancel_request = request;
    run_->Stop(request);
    const int slot = run_->slot();
    // A job that has just finished or failed keeps that outcome.
    const std::int32_t now = queue_.Status(slot);
    if (now != kStatusFinished && now != kStatusFailed) queue_.SetStatus(slot, status);
    if (pending_ == run_) pending_.reset();
    run_.reset();
    run_state_.current_job = -1;
  }
  wake_.notify_all();
  frontend_.QueueChanged();
  Persist();
  frontend_.RunStateChanged(false);
  frontend_.ResetProgress();
  power_.KeepAwake(false);
}

void QueueControl::StopJob() { StopRun(kCancelStop, kStatusStopped); }
void QueueControl::CancelJob() { StopRun(kCancelCancel, kStatusCanceled); }

void QueueControl::CallGo() {
  if (!CurrentRun()) {
    ActivaJob(StartAll::kYes);
    return;
  }
  if (prompter_.Ask(kConfirmTitle, kAreYouSure, Buttons::kYesNo) == Answer::kYes) StopJob();
}

void QueueControl::CallCancelJob() {
  if (!CurrentRun()) return;
  if (prompter_.Ask(kConfirmTitle, kAreYouSure, Buttons::kYesNo) == Answer::kYes) CancelJob();
}

void QueueControl::CallClear() {
  {
    std::lock_guard lock(mutex_);
    auto q = queue_.Lock();
    for (auto& job : queue_.records())
      if (IsDoneStatus(job.status)) job = EmptyJob();
  }
  frontend_.QueueChanged();
}

void QueueControl::DeleteJob(int slot, bool ask) {
  if (!ValidSlot(slot)) return;
  const JobRecord job = queue_.Get(slot);
  const std::int32_t s = job.status;
  if (!IsDeletableStatus(s)) return;
  const bool waiting = IsWaitingStatus(s);
  if (waiting && ask && prompter_.Ask(kConfirmTitle, kRemoveQuestion, Buttons::kYesNo) != Answer::kYes)
    return;
  {
    std::lock_guard lock(mutex_);
    // The job about to run, or running, is never removed.
    if (run_ && run_->slot() == slot) return;
    if (queue_.Status(slot) != s) return;
    queue_.Put(slot, EmptyJob());
  }
  if (waiting && runner_) runner_->DeleteTemporaries(job, slot, true);
  Persist();
  frontend_.QueueChanged();
}

bool QueueControl::UpJob(int slot) { return MoveJob(slot, slot - 1); }
bool QueueControl::DownJob(int slot) { return MoveJob(slot, slot + 1); }

bool QueueControl::MoveJob(int slot, int other) {
  {
    std::unique_lock lock(mutex_);
    const auto running = [&] { return run_ && (run_->slot() == slot || run_->slot() == other); };
    // A worker still ending a stopped job in one of the two slots may be
    // removing its files: the files move once it has left.
    wake_.wait(lock,
               [&] { return running() || !working_ || (working_slot_ != slot && working_slot_ != other); });
    if (running()) return false;
    JobRecord moved, displaced;
    {
      auto q = queue_.Lock();
      auto& jobs = queue_.records();
      if (!(other < slot ? CanMoveUp(jobs, slot) : CanMoveDown(jobs, slot))) return false;
      moved = jobs[slot];
      displaced = jobs[other];
      std::swap(jobs[slot], jobs[other]);
    }
    // Every temporary name carries the slot: the files go with their jobs,
    // under the run's lock so that no run can start on either slot before
    // its files are in place.
    if (runner_)
      runner_->SwapTemporaries(moved, slot, displaced, other, [this] { Persist(); });
    else
      Persist();
  }
  frontend_.QueueChanged();
  frontend_.SelectSlot(other);
  return true;
}

void QueueControl::RemoveAndDeleteSource(int slot) {
  if (!ValidSlot(slot) || queue_.Status(slot) != kStatusFinished) return;
  const JobRecord job = queue_.Get(slot);
  const std::string target(job.source_is_mkv ? FieldText(job.source_path) : FieldText(job.source_root));
  // A disc job without a disc folder deletes nothing, and is still removed.
  if (job.source_is_mkv || target.size() >= 4) {
    const std::string question =
        Format("This will permanently delete the source %s:\n\n%s\n\nAre you sure?",
               job.source_is_mkv ? "file" : "folder and everything in it", target.c_str());
    if (prompter_.Ask(kConfirmTitle, question, Buttons::kYesNo) != Answer::kYes) return;
    const std::vector<std::filesystem::path> kept = {std::string(FieldText(settings_.TempPath)),
                                                     std::string(FieldText(settings_.OutPath))};
    const std::string refusal = RefuseToDelete(target, kept);
    if (!refusal.empty())
      prompter_.Ask("SORRY", "The source was not deleted: " + refusal + ".", Buttons::kOk);
    else
      DeleteTree(target, kept);
  }
  DeleteJob(slot, false);
}

void QueueControl::OpenSourceFolder(int slot) {
  const JobRecord job = queue_.Get(slot);
  const std::string path =
      job.source_is_mkv
          ? std::filesystem::path(std::string(FieldText(job.source_path))).parent_path().string()
          : std::string(FieldText(job.source_root));
  frontend_.OpenPath(path);
}

void QueueControl::OpenOutputFolder(int slot) {
  const JobRecord job = queue_.Get(slot);
  frontend_.OpenPath(std::filesystem::path(std::string(FieldText(job.output_path))).parent_path().string());
}

void QueueControl::ViewErrorLog() {
  frontend_.OpenPath(
      (std::filesystem::path(std::string(FieldText(settings_.TempPath))) / kErrorLogName).string());
}

bool QueueControl::SetRunStatus(const RunControl& run, std::int32_t status) {
  {
    std::lock_guard lock(mutex_);
    if (run_.get() != &run || run.cancel_request() != kCancelNone) return false;
    queue_.SetStatus(run.slot(), status);
  }
  frontend_.QueueChanged();
  Persist();
  return true;
}

bool QueueControl::UpdateRunRecord(const RunControl& run, const std::function<void(JobRecord&)>& change) {
  std::lock_guard lock(mutex_);
  if (run_.get() != &run || run.cancel_request() != kCancelNone) return false;
  auto q = queue_.Lock();
  change(queue_.records()[run.slot()]);
  return true;
}

std::shared_ptr<RunControl> QueueControl::CurrentRun() const {
  std::lock_guard lock(mutex_);
  return run_;
}

bool QueueControl::IdleLocked() const { return !run_ && !pending_ && !working_; }

bool QueueControl::Idle() const {
  std::lock_guard lock(mutex_);
  return IdleLocked();
}

void QueueControl::WaitIdle() {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return IdleLocked(); });
}

void QueueControl::WorkerLoop() {
  for (;;) {
    std::shared_ptr<RunControl> run;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || pending_; });
      if (quit_) return;
      run = std::move(pending_);
      pending_.reset();
      working_ = true;
      working_slot_ = run->slot();
    }
    runner_->Run(*run);
    bool orphaned = false;
    {
      std::lock_guard lock(mutex_);
      working_ = false;
      // A run that ended without handing on must not leave the queue
      // looking busy.
      if (run_ == run && !pending_) {
        run_.reset();
        run_state_.current_job = -1;
        orphaned = true;
      }
    }
    wake_.notify_all();
    if (orphaned) EndRun();
  }
}

}  // namespace dp
