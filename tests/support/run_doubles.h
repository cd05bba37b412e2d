// Running jobs in a test: stand-ins for the machine, the user and the
// pipeline, and a run of one job to its end.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <thread>

#include "app/prompter.h"
#include "platform/power.h"
#include "queue/queue_control.h"
#include "support/files.h"
#include "util/text.h"

namespace dp::test {

struct NoPower : PowerControl {
  void KeepAwake(bool) override {}
  bool PowerOff() override { return false; }
};

struct YesPrompter : Prompter {
  Answer Ask(std::string_view, std::string_view, Buttons b) override {
    return b == Buttons::kYesNo ? Answer::kYes : Answer::kOk;
  }
};

// Counts what the machine is asked; a power-off "succeeds" without one.
struct CountingPower : PowerControl {
  std::atomic<int> awake{0}, power_offs{0};
  void KeepAwake(bool on) override { awake = on ? 1 : 0; }
  bool PowerOff() override { return ++power_offs, true; }
};

// Records each question as "title|text" and gives the scripted answers in
// turn, OK once they run out; a pop-up of its own buttons takes the next of
// `choices`, -1 (dismissed) once they run out.
struct ScriptedPrompter : Prompter {
  std::vector<std::string> asked;
  std::deque<Answer> answers;
  std::deque<int> choices;
  int Choose(std::string_view title, std::string_view text, std::span<const std::string_view>) override {
    asked.push_back(std::string(title) + "|" + std::string(text));
    if (choices.empty()) return -1;
    const int c = choices.front();
    choices.pop_front();
    return c;
  }
  Answer Ask(std::string_view title, std::string_view text, Buttons) override {
    asked.push_back(std::string(title) + "|" + std::string(text));
    if (answers.empty()) return Answer::kOk;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
  }
};

// Stands for the pipeline: a job goes through one step, then finishes, fails
// or runs until it is stopped, as `outcome` says for its slot.
enum class Outcome { kFinish, kFail, kBlock };
struct ScriptedRunner : JobRunner {
  QueueControl* control = nullptr;
  std::map<int, Outcome> outcome;  // default: finish
  std::vector<int> ran, deleted, unforced;
  std::vector<std::string> swaps;  // "<first's output> <from>><to>, <second's output>"
  std::atomic<bool> blocking{false};
  void Run(RunControl& run) override {
    ran.push_back(run.slot());
    const Outcome o = outcome.count(run.slot()) ? outcome[run.slot()] : Outcome::kFinish;
    if (!control->SetRunStatus(run, kStatusX264Crf)) return;
    if (o == Outcome::kBlock) {
      blocking = true;
      while (run.cancel_request() == kCancelNone) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      blocking = false;
      return;  // stopped: no status of its own, nothing handed on
    }
    control->SetRunStatus(run, o == Outcome::kFail ? kStatusFailed : kStatusFinished);
    control->ActivaJob(StartAll::kNo, &run);
  }
  void DeleteTemporaries(const JobRecord&, int slot, bool force) override {
    (force ? deleted : unforced).push_back(slot);
  }
  void SwapTemporaries(const JobRecord& first, int first_slot, const JobRecord& second, int second_slot,
                       const std::function<void()>& store_order) override {
    swaps.push_back(std::string(FieldText(first.output_path)) + " " + std::to_string(first_slot) + ">" +
                    std::to_string(second_slot) + ", " + std::string(FieldText(second.output_path)));
    store_order();
  }
};

// Puts `job` into `slot`, starts the queue and waits (two minutes at most)
// for it to be idle; the job's status then, with the error log added to the
// failure when it did not finish.
inline std::int32_t RunJobToEnd(QueueControl& control, JobQueue& queue, int slot, const JobRecord& job,
                                const std::filesystem::path& error_log) {
  queue.Put(slot, job);
  control.ActivaJob(StartAll::kNo);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (!control.Idle() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (!control.Idle()) {
    ADD_FAILURE() << "the job did not end in time";
    control.StopJob();
    control.WaitIdle();
  }
  const std::int32_t status = queue.Status(slot);
  if (status != kStatusFinished) ADD_FAILURE() << "error_log.txt:\n" << ReadText(error_log);
  return status;
}

}  // namespace dp::test
