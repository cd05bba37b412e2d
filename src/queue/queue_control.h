// Queue control: starting, stopping and cancelling the run, picking the next
// job, reordering, removing and clearing jobs. Jobs run one at a time, in
// slot order, on the control's worker thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "app/prompter.h"
#include "app/run_state.h"
#include "app/settings.h"
#include "platform/power.h"
#include "platform/store.h"
#include "queue/job_queue.h"
#include "queue/run_control.h"

namespace dp {

// What the window (or the CLI, or a test) does when the queue moves. Calls
// may come from the worker thread: a window posts them to its own thread.
class QueueFrontend {
 public:
  virtual ~QueueFrontend() = default;
  virtual void QueueChanged() = 0;                 // redraw the queue view
  virtual void RunStateChanged(bool running) = 0;  // Start/Stop label, status timer, taskbar state
  virtual void ResetProgress() = 0;                // bar 0 "Idle", empty status, no taskbar progress
  virtual void SelectSlot(int /*slot*/) {}
  virtual void StepStarted(std::string_view /*label*/) {}  // bar 0 with the step title
  virtual void StatusText(std::string_view /*text*/) {}
  virtual void JobDone() {}  // bar 1000, "Done!"
  virtual void OpenPath(const std::string& /*path*/) {}
  virtual void PlaySound(const std::string& /*path*/) {}
  // A run went through the queue to its end (not stopped by the user):
  // how many of its jobs finished and how many failed.
  virtual void QueueEnded(int /*finished*/, int /*failed*/) {}
};

// Runs one job (the pipeline worker) and removes or moves a job's
// temporary files.
class JobRunner {
 public:
  virtual ~JobRunner() = default;
  virtual void Run(RunControl& run) = 0;
  virtual void DeleteTemporaries(const JobRecord& job, int slot, bool force) = 0;
  // The records of two slots were swapped: `first` went from first_slot to
  // second_slot, `second` the other way. Their temporary files follow, and
  // `store_order` stores the new order on the way (a runner without files
  // only stores).
  virtual void SwapTemporaries(const JobRecord& /*first*/, int /*first_slot*/, const JobRecord& /*second*/,
                               int /*second_slot*/, const std::function<void()>& store_order) {
    store_order();
  }
};

inline constexpr char kConfirmTitle[] = "CONFIRM";
inline constexpr char kAreYouSure[] = "Are you sure?";
inline constexpr char kRemoveQuestion[] =
    "This will remove the selected job and TEMP files.\n\nAre you sure?";

class QueueControl {
 public:
  QueueControl(Store& store, JobQueue& queue, RunState& run, Settings& settings, QueueFrontend& frontend,
               PowerControl& power, Prompter& prompter);
  // Stops a running job (it stays STOPPED) and ends the worker thread.
  ~QueueControl();
  // The same, before the runner or the frontend go away. Idempotent.
  void Shutdown();
  QueueControl(const QueueControl&) = delete;
  QueueControl& operator=(const QueueControl&) = delete;

  void set_runner(JobRunner* runner) { runner_ = runner; }

  // Starts the next runnable job, or ends the run. From a finished run
  // (`finished` is the run that just ended) nothing starts when that run was
  // stopped meanwhile.
  void ActivaJob(StartAll start_all, const RunControl* finished = nullptr);
  void StopJob();
  void CancelJob();
  // The Start/Stop button: idle starts the queue; running asks, then stops.
  void CallGo();
  void CallCancelJob();
  void CallClear();
  void DeleteJob(int slot, bool ask);
  // Swaps the job with the one above or below; false when it may not move.
  bool UpJob(int slot);
  bool DownJob(int slot);
  // "Remove and Delete Source": asks naming what it deletes; refuses paths
  // that must never be deleted.
  void RemoveAndDeleteSource(int slot);
  void OpenSourceFolder(int slot);
  void OpenOutputFolder(int slot);
  void ViewErrorLog();

  // For the worker: writes the running job's status, redraws and stores —
  // unless the run was stopped or cancelled meanwhile (false then).
  bool SetRunStatus(const RunControl& run, std::int32_t status);
  // The worker's record corrections, under the same rule.
  bool UpdateRunRecord(const RunControl& run, const std::function<void(JobRecord&)>& change);
  // Store the queue (after any change of a slot).
  void Persist();
  // The run now in progress (for the progress monitor), or null.
  std::shared_ptr<RunControl> CurrentRun() const;
  // True once no job runs and none is waiting to start on the worker.
  bool Idle() const;
  void WaitIdle();

 private:
  void StopRun(int request, std::int32_t status);
  bool MoveJob(int slot, int other);
  bool IdleLocked() const;  // with mutex_ held
  void WorkerLoop();
  void EndRun();

  Store& store_;
  JobQueue& queue_;
  RunState& run_state_;
  Settings& settings_;
  QueueFrontend& frontend_;
  PowerControl& power_;
  Prompter& prompter_;
  JobRunner* runner_ = nullptr;

  mutable std::mutex mutex_;  // the run, the pending start, status changes of the running job
  std::condition_variable wake_;
  std::shared_ptr<RunControl> run_;      // the run in progress
  std::shared_ptr<RunControl> pending_;  // started, not yet taken by the worker
  bool working_ = false;
  int working_slot_ = -1;  // the slot the worker is in, while working_
  int run_finished_ = 0;   // outcomes of the jobs of the run in progress
  int run_failed_ = 0;
  bool quit_ = false;
  std::thread worker_;
};

}  // namespace dp
