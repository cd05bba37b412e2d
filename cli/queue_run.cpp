#include "queue_run.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "app/settings.h"
#include "command.h"
#include "pipeline/worker.h"
#include "platform/power.h"
#include "platform/process_groups.h"
#include "platform/store.h"
#include "queue/progress.h"
#include "queue/queue_control.h"
#include "queue/queue_store.h"
#include "queue/run_progress_source.h"
#include "store_access.h"

namespace dp::cli {
namespace {

std::atomic<bool> g_stop_requested{false};
void OnStopSignal(int) { g_stop_requested = true; }

// Questions from the core on the terminal: notices go to stderr, and a
// question is answered "yes" (the command itself is the user's choice).
class CliPrompter : public Prompter {
 public:
  Answer Ask(std::string_view title, std::string_view text, Buttons buttons) override {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                 static_cast<int>(text.size()), text.data());
    return buttons == Buttons::kYesNo ? Answer::kYes : Answer::kOk;
  }
};

// Prints each step label and each new progress text.
class CliFrontend : public QueueFrontend, public ProgressDisplay {
 public:
  void QueueChanged() override {}
  void RunStateChanged(bool) override {}
  void ResetProgress() override {}
  void StepStarted(std::string_view label) override {
    if (!label.empty()) Print(label);
    std::lock_guard lock(mutex_);
    label_ = std::string(label);
  }
  void StatusText(std::string_view text) override {
    if (!text.empty()) Print(text);
  }
  void JobDone() override { Print("Done!"); }

  void SetBarValue(int) override {}
  std::string BarLabel() override {
    std::lock_guard lock(mutex_);
    return label_;
  }
  void SetBarLabel(std::string_view label) override {
    std::lock_guard lock(mutex_);
    label_ = std::string(label);
  }
  void SetStatusText(std::string_view text) override {
    const std::string t(text);
    if (t.empty() || t == last_progress_) return;
    last_progress_ = t;
    Print(t);
  }
  void Reset() override {}

 private:
  void Print(std::string_view text) {
    std::lock_guard lock(print_mutex_);
    std::printf("%.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(stdout);
  }
  std::mutex mutex_, print_mutex_;
  std::string label_;
  std::string last_progress_;
};

}  // namespace

int QueueControlCommand(const std::string& verb, int slot, bool run_all) {
  const StartAll all = run_all ? StartAll::kYes : StartAll::kNo;
  auto store = OpenUserStore();
  if (!store) return Fail(kFailed, "cannot open the store");
  CliPrompter prompter;
  Settings& settings = CurrentSettings();
  LlegeixRegistre(*store, settings, &prompter);
  JobQueue& queue = Jobs();
  LlegeixCuaRegistre(*store, queue);
  RunState& run = Run();
  run.is_64bit = DetectSystem64Bit();
  CliFrontend frontend;
  LogindPower power;
  QueueControl control(*store, queue, run, settings, frontend, power, prompter);
  PipelineRunner runner(control, queue, run, settings, frontend);
  control.set_runner(&runner);

  if (verb == "remove") {
    const auto before = queue.Status(slot);
    control.DeleteJob(slot, false);
    return queue.Status(slot) == kStatusEmpty && before != kStatusEmpty
               ? kOk
               : Fail(kFailed, "the job cannot be removed");
  }
  if (verb == "up") return control.UpJob(slot) ? kOk : Fail(kFailed, "the job cannot move up");
  if (verb == "down") return control.DownJob(slot) ? kOk : Fail(kFailed, "the job cannot move down");
  if (verb == "clear") {
    control.CallClear();
    control.Persist();
    return kOk;
  }

  std::set<int> runnable;
  const JobSlots start = queue.Snapshot();
  for (int i = 0; i < kQueueSlots; ++i) {
    const auto s = start[i].status;
    if (IsRunnableStatus(s, all)) runnable.insert(i);
  }
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);

  // What a killed run left running ends before a job starts: a second
  // encoder must not write a file that an orphan still writes.
  StartGroupRecord(Store::DefaultFile().parent_path() / kGroupRecordName);
  RunProgressSource source(control, queue, run);
  control.ActivaJob(all);
  while (!control.Idle()) {
    if (g_stop_requested.exchange(false)) control.StopJob();
    ProgressTick(source, frontend);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  control.Shutdown();
  const JobSlots end = queue.Snapshot();
  for (int i : runnable)
    if (end[i].status == kStatusFailed) return kFailed;
  return kOk;
}

}  // namespace dp::cli
