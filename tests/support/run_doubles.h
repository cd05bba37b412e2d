// Running whole jobs in a test: stand-ins for the machine and the user (the
// machine is never kept awake or powered off, and every question is answered
// Yes, OK where there is no Yes), and a run of one job to its end.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/prompter.h"
#include "platform/power.h"
#include "queue/queue_control.h"
#include "support/files.h"

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
