// The worker driven through queue control with fake outside tools: the
// fixture shared by the worker tests.
#pragma once

#include "pipeline/worker.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>

#include "pipeline/fake_tools.h"
#include "pipeline/temp_files.h"
#include "pipeline/video_steps.h"
#include "planning/env_checks.h"
#include "queue/queue_store.h"
#include "support/planted_job.h"
#include "support/run_doubles.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

struct Frontend : QueueFrontend {
  JobQueue* queue = nullptr;
  std::mutex mutex;
  Strings labels, texts;
  std::map<int, std::vector<std::int32_t>> statuses;  // each slot's status changes
  std::map<int, std::int32_t> last;
  int done = 0;
  // Called on the worker's thread with every label, status text and "queue"
  // change: lets a test act at an exact point of a run.
  std::function<void(std::string_view)> on_event;

  void QueueChanged() override {
    {
      std::lock_guard lock(mutex);
      for (int i = 0; i < kQueueSlots; ++i) {
        const std::int32_t s = queue->Status(i);
        if (s != kStatusEmpty && last[i] != s) statuses[i].push_back(s);
        last[i] = s;
      }
    }
    if (on_event) on_event("queue");
  }
  void RunStateChanged(bool) override {}
  void ResetProgress() override {}
  void StepStarted(std::string_view label) override { Note(labels, label); }
  void StatusText(std::string_view text) override { Note(texts, text); }
  void Note(Strings& list, std::string_view what) {
    if (std::lock_guard lock(mutex); !what.empty()) list.emplace_back(what);
    if (on_event) on_event(what);
  }
  void JobDone() override {
    std::lock_guard lock(mutex);
    ++done;
  }
  void Forget() {
    std::lock_guard lock(mutex);
    labels.clear(), texts.clear(), statuses.clear();
  }
};

[[maybe_unused]] bool Contains(const Strings& argv, const Strings& run) {
  return std::search(argv.begin(), argv.end(), run.begin(), run.end()) != argv.end();
}

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    saved_path_ = path ? path : "";
    // Nothing on PATH: only the fakes can be found, never the real tools.
    fs::create_directories(root_ / "bin");
    ::setenv("PATH", (root_ / "bin").c_str(), 1);
    ::setenv("DISCPRESS_TOOLS_DIR", (root_ / "tools").c_str(), 1);
    ::setenv("DP_FAKE_RECORD", (root_ / "record").c_str(), 1);
    fs::create_directories(root_ / "out");
    // The muxer names the source's tracks only when the source is there.
    fs::create_directories(root_ / "src");
    std::ofstream(root_ / "src" / "00001.m2ts") << "ts";
    SetTempPath(root_ / "temp");
    store_ = Store::Open(root_ / "store.db");
    run_.is_64bit = true;  // the "_x64" names fall back to the plain fakes
    frontend_.queue = &queue_;
    control_ = std::make_unique<QueueControl>(*store_, queue_, run_, settings_, frontend_, power_, prompts_);
    runner_ = std::make_unique<PipelineRunner>(*control_, queue_, run_, settings_, frontend_);
    control_->set_runner(runner_.get());
  }
  void TearDown() override {
    control_->Shutdown();
    ::setenv("PATH", saved_path_.c_str(), 1);
    ::unsetenv("DISCPRESS_TOOLS_DIR");
    ::unsetenv("DP_FAKE_RECORD");
  }

  void SetTempPath(const fs::path& p) {
    temp_ = p;
    CopyText(settings_.TempPath, p.string());
  }

  // A 2D BD5 two-pass job reading an M2TS clip: AC-3 audio kept, PGS
  // subtitles, chapters.
  JobRecord Job(const std::string& name = "Movie") {
    JobRecord job = test::TwoPassJob(root_ / "src" / "00001.m2ts", root_ / "out" / name);
    job.video_rate = 8000;
    job.frame_count = 1000;
    job.target_audio = 0;
    CopyText(job.extra_params, "");
    CopyText(job.output_name, name);
    CopyText(job.fps_text, "23.976");
    CopyText(job.fps_fraction, "24000/1001");
    CopyText(job.x264_preset, "slow");
    CopyText(job.subtitle_codec_id, "S_HDMV/PGS");
    CopyText(job.subtitle_language, "eng");
    CopyText(job.chapters, "00:00:00.000;00:10:00.000");
    job.subtitle_track_id = 4608;
    job.subtitle_eac3to_track = 3;
    job.subtitle_mode = 1;
    return job;
  }

  void Plant(int slot, const JobRecord& job) {
    queue_.Put(slot, job);
    control_->Persist();
    std::lock_guard lock(frontend_.mutex);
    frontend_.last[slot] = job.status;
  }
  void RunQueue() {
    control_->CallGo();
    control_->WaitIdle();
  }

  StepContext Ctx(int slot) const {
    return StepContext{settings_, slot, run_.is_64bit, false, DetectaAvisynth() == kAvisynthPlus};
  }
  std::string T(int slot, const std::string& suffix, const std::string& name = "Movie") const {
    return TempFileName(temp_.string(), name, slot, suffix);
  }

  // Every name in the temporary folder.
  std::set<std::string> TempListing() const {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(temp_, ec)) names.insert(e.path().filename().string());
    return names;
  }
  std::string ErrorLog() const { return test::ReadText(temp_ / "error_log.txt"); }
  std::int32_t StoredStatus(int slot) {
    JobQueue stored;
    LlegeixCuaRegistre(*store_, stored);
    return stored.Status(slot);
  }
  // The tool's process group is gone: nothing of it is left running.
  static bool GroupGone(int pgid) { return pgid > 0 && ::kill(-pgid, 0) == -1 && errno == ESRCH; }

  test::TempDir root_;
  std::string saved_path_;
  fs::path temp_;
  test::FakeTools fakes_{root_ / "tools", root_ / "record"};
  std::unique_ptr<Store> store_;
  JobQueue queue_;
  RunState run_;
  Settings settings_{};
  Frontend frontend_;
  test::NoPower power_;
  test::YesPrompter prompts_;
  std::unique_ptr<QueueControl> control_;
  std::unique_ptr<PipelineRunner> runner_;
};

}  // namespace
}  // namespace dp
