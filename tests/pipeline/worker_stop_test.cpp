// What Stop, Cancel, leaving the program and failures leave behind, and
// what the next start makes of it.

#include "pipeline/worker_fixture.h"

namespace dp {
namespace {

using Names = std::set<std::string>;

// Names of job 0's files, and `more`.
Names Tagged(std::initializer_list<const char*> suffixes, Names more = {}) {
  for (const char* s : suffixes) more.insert(std::string("Movie.job_0") + s);
  return more;
}

// A tool interrupted while it runs, or failing: the job's status, what is
// left in the temporary folder (beside a file of job 7 and the user's notes,
// which nothing touches) and in the output folder, and what a second start
// runs. The encoder logs are kept by setting, so they show.
TEST_F(WorkerTest, InterruptedStepLeavesWhatTheNextStartNeeds) {
  enum Act { kStop, kCancel, kFail, kQuit };
  const Names logs = Tagged({".x264_pass1_log.txt", ".x264_pass2_log.txt"});
  const Names encoded = Tagged({".ac3", ".eac3to_log.txt", ".qpfile", ".stats"}, logs);
  Names muxing = Tagged({".264"}, encoded);
  muxing.insert("tsmuxer.job_0.meta");
  Names failed_encode = encoded;
  failed_encode.insert("error_log.txt");
  // clang-format off
  const struct {
    const char* what;
    std::string tool, when;  // the tool to block or fail, and a text of its arguments
    Act act;
    std::int32_t status;
    Names temp;
    Strings resumed;  // the tools a second start runs (none: no second start)
  } cases[] = {
      // What the demux was writing goes: it would pass for finished work.
      {"stop during demux", "eac3to", "", kStop, kStatusStopped, Tagged({".eac3to_log.txt"}), {"eac3to", "x264", "x264", "tsMuxeR-1"}},
      // The partial encode and its lock go; what earlier steps made stays.
      {"stop during pass 2", "x264", "--pass 2", kStop, kStatusStopped, encoded, {"x264", "tsMuxeR-1"}},
      {"stop during mux", "tsMuxeR-1", "", kStop, kStatusStopped, muxing, {"tsMuxeR-1"}},
      {"cancel during pass 2", "x264", "--pass 2", kCancel, kStatusCanceled, logs, {}},
      {"failed demux", "eac3to", "", kFail, kStatusFailed, Tagged({".eac3to_log.txt"}, {"error_log.txt"}), {}},
      {"failed pass 2", "x264", "--pass 2", kFail, kStatusFailed, failed_encode, {}},
      // Last: the program is left for good.
      {"leaving the program during mux", "tsMuxeR-1", "", kQuit, kStatusStopped, muxing, {}},
  };
  // clang-format on
  settings_.SaveX264Log = 1;
  JobRecord job = Job();
  job.target_audio = 640;
  const fs::path output = root_ / "out" / "Movie";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(temp_);
    fs::remove_all(output);
    fs::create_directories(temp_);
    std::ofstream(T(7, ".264")) << "x";
    std::ofstream(temp_ / "notes.txt") << "x";
    fakes_.Release();
    fakes_.ClearRecord();
    frontend_.Forget();
    Plant(0, job);
    if (c.act == kFail) {
      fakes_.Fail(c.tool, c.when);
      RunQueue();
      EXPECT_NE(ErrorLog().find("EXIT CODE     => 7 (0x00000007)"), std::string::npos);
    } else {
      fakes_.Block(c.tool, c.when);
      control_->CallGo();
      ASSERT_TRUE(fakes_.WaitBlocked(c.tool));
      // A running step is marked, so that a run killed with the program is
      // not taken for finished work; the muxer writes its tree.
      const fs::path mark =
          c.tool == "tsMuxeR-1" ? output : fs::path(T(0, c.tool == "eac3to" ? ".eac3to.lock" : ".264.lock"));
      ASSERT_TRUE(fs::exists(mark)) << mark;
      if (c.act == kStop) control_->StopJob();
      if (c.act == kCancel) control_->CancelJob();
      if (c.act == kQuit) control_->Shutdown();
      control_->WaitIdle();
      EXPECT_TRUE(GroupGone(fakes_.GroupOf(c.tool)));
      EXPECT_EQ(ErrorLog(), "");
    }
    EXPECT_EQ(StoredStatus(0), c.status == kStatusCanceled ? kStatusEmpty : c.status);
    EXPECT_FALSE(fs::exists(output));
    const Names others = {"Movie.job_7.264", "notes.txt"};
    Names temp = c.temp;
    temp.insert(others.begin(), others.end());
    EXPECT_EQ(TempListing(), temp);
    if (c.resumed.empty()) continue;

    // Started again: the steps before are recognised by their files.
    fakes_.Release();
    fakes_.ClearRecord();
    frontend_.Forget();
    RunQueue();
    EXPECT_EQ(queue_.Status(0), kStatusFinished);
    EXPECT_EQ(fakes_.Sequence(), c.resumed);
    // Skipped steps show no label and write no status.
    EXPECT_EQ(frontend_.labels.size(), c.resumed.size());
    EXPECT_EQ(frontend_.statuses[0].size(), c.resumed.size() + 1);
    if (c.tool == "x264") {
      EXPECT_TRUE(Contains(fakes_.Calls("x264").at(0).argv, {"--pass", "2"}));
    }
    EXPECT_EQ(TempListing(), Tagged({".x264_pass1_log.txt", ".x264_pass2_log.txt"}, others));
  }
}

// A demux lock is the trace of a run that died with the program: its files
// may be cut short and are all extracted again.
TEST_F(WorkerTest, ResumeTrustsTheDemuxOnlyWithoutItsLock) {
  JobRecord job = Job();
  job.target_audio = 640;
  fs::create_directories(temp_);
  for (const char* s : {".ac3", ".eac3to.lock", ".stats", ".264"}) std::ofstream(T(0, s)) << "x";
  Plant(0, job);
  RunQueue();
  EXPECT_EQ(queue_.Status(0), kStatusFinished);
  EXPECT_EQ(fakes_.Sequence(), (Strings{"eac3to", "tsMuxeR-1"}));
  EXPECT_EQ(TempListing(), Names{});
}

TEST_F(WorkerTest, FailedStepIsLoggedOnceAndTheQueueGoesOn) {
  const JobRecord first = Job();
  fakes_.Fail("x264", "Movie.job_0.264");  // pass 2 of the first job only
  Plant(0, first);
  Plant(1, Job("Second"));
  RunQueue();
  EXPECT_EQ(StoredStatus(0), kStatusFailed);
  EXPECT_EQ(queue_.Status(1), kStatusFinished);
  EXPECT_EQ(frontend_.statuses[0],
            (std::vector<std::int32_t>{kStatusX264Pass1, kStatusX264Pass2, kStatusFailed}));
  const std::string line = BuildX264SecondStep(first, Ctx(0), 2, 3).command_line;
  const std::string log = ErrorLog();
  EXPECT_NE(log.find("  LAST CMD LINE => " + line + "\n  EXIT CODE     => 7 (0x00000007)\n"), npos) << log;
  EXPECT_EQ(log.find("LAST CMD LINE", log.find("LAST CMD LINE") + 1), npos) << "one record only";

  // A tool that cannot start fails its step with code -1.
  fs::remove(temp_ / "error_log.txt");
  fs::remove(root_ / "tools" / "tsMuxeR/1.10.6/tsMuxeR");
  fakes_.Release();
  Plant(0, first);
  RunQueue();
  EXPECT_EQ(queue_.Status(0), kStatusFailed);
  EXPECT_NE(ErrorLog().find("EXIT CODE     => -1 (0xFFFFFFFF)"), npos) << ErrorLog();
  EXPECT_FALSE(fs::exists(root_ / "out" / "Movie"));

  // A double quote in a path refuses the job before any tool runs.
  fs::remove(temp_ / "error_log.txt");
  fakes_.ClearRecord();
  Plant(0, Job("Bad \"name\""));
  RunQueue();
  EXPECT_EQ(queue_.Status(0), kStatusFailed);
  EXPECT_TRUE(fakes_.Calls().empty());
  ASSERT_FALSE(frontend_.texts.empty());
  EXPECT_TRUE(
      frontend_.texts.back().starts_with("Job refused: the output name 'Bad \"name\"' cannot be used"));
  EXPECT_NE(ErrorLog().find("LAST CMD LINE => <job refused"), npos);
}

}  // namespace
}  // namespace dp
