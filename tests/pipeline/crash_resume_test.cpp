// Reliability of a real queue run: `discpress-cli queue run` with the real
// x264 on a short generated clip, killed hard in the middle of the second
// pass and started again, or stopped with SIGINT. The test makes itself the
// subreaper of what it starts, so a tool that outlived the killed program
// would become the test's own child: it can be seen, and reaped or killed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "fake_tools.h"
#include "platform/process_groups.h"
#include "platform/spawn.h"
#include "platform/store.h"
#include "queue/job_queue.h"
#include "queue/queue_store.h"
#include "support/files.h"
#include "support/planted_job.h"
#include "support/temp_dir.h"
#include "util/text.h"

extern char** environ;

namespace dp {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool OnPath(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A finished child's wait status, or nothing after `limit`.
std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return status;
    if (r < 0) return std::nullopt;
    if (Clock::now() > end) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

struct Child {
  pid_t pid;
  std::string comm;
};

// The processes whose parent is `parent`, zombies included.
std::vector<Child> ChildrenOf(pid_t parent) {
  std::vector<Child> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc", ec)) {
    const std::string name = e.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(e.path() / "stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    const std::size_t open = line.find('(');
    if (close == std::string::npos || open == std::string::npos || close + 2 > line.size()) continue;
    std::istringstream rest(line.substr(close + 2));
    char state = 0;
    int ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent) out.push_back({std::stoi(name), line.substr(open + 1, close - open - 1)});
  }
  return out;
}

pid_t ChildNamed(pid_t parent, const std::string& comm) {
  for (const Child& c : ChildrenOf(parent))
    if (c.comm == comm) return c.pid;
  return 0;
}

bool GroupGone(pid_t pgid) { return pgid > 0 && ::kill(-pgid, 0) == -1 && errno == ESRCH; }

// Reaps this test's children as they end, until none is left (true) or
// `limit` has passed; `ended` gets each one's pid and wait status.
bool ReapAll(std::chrono::milliseconds limit, std::vector<std::pair<pid_t, int>>& ended) {
  const auto end = Clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(-1, &status, WNOHANG);
    if (r > 0) {
      ended.emplace_back(r, status);
      continue;
    }
    if (r < 0 && errno == ECHILD) return true;
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

class CrashResumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!OnPath("ffmpeg") || !OnPath("x264")) GTEST_SKIP() << "needs ffmpeg and x264";
    // Orphans of the programs this test starts become its children.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    fs::create_directories(root_ / "config");
    fs::create_directories(root_ / "tmp");
    clip_ = root_ / "clip.m2ts";
    // Small, but enough frames that x264's slowest preset spends a second
    // or more on the second pass.
    const std::string make =
        "ffmpeg -v error -y -f lavfi -i testsrc=size=640x360:rate=24 -f lavfi -i "
        "sine=frequency=440:sample_rate=48000 -t 5 -c:v libx264 -preset ultrafast "
        "-x264-params force-cfr=1 -c:a ac3 -b:a 192k -f mpegts -mpegts_m2ts_mode 1 "
        "-muxrate 8000000 '" +
        clip_.string() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    PlantJob();
  }
  void TearDown() override {
    // Whatever this test started and is still there is its child, or
    // becomes one once its parent is gone: an unreaped child's pid cannot
    // have passed to another process.
    for (int round = 0; round < 50; ++round) {
      const std::vector<Child> children = ChildrenOf(::getpid());
      if (children.empty()) break;
      for (const Child& c : children) {
        if (::getpgid(c.pid) == c.pid) ::kill(-c.pid, SIGKILL);
        ::kill(c.pid, SIGKILL);
      }
      while (::waitpid(-1, nullptr, WNOHANG) > 0) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  fs::path StoreFile() const { return root_ / "config" / "DiscPress" / "store.db"; }
  fs::path Temp() const { return root_ / "temp"; }
  std::string TempFile(const std::string& suffix) const {
    return (Temp() / ("Movie.job_0" + suffix)).string();
  }

  // A 2D BD5 two-pass job that recodes the audio, so the demux step runs.
  void PlantJob() {
    ASSERT_TRUE(test::PlantStore(StoreFile(), Temp(), root_ / "out",
                                 test::TwoPassJob(clip_, root_ / "out" / "Movie")));
  }

  // The job's status as the running program last stored it.
  std::int32_t StoredStatus() {
    if (!store_) store_ = Store::Open(StoreFile());
    const auto value = store_ ? store_->Get("Job_0") : std::nullopt;
    if (!value || value->data.size() < 4) return kStatusEmpty;
    std::int32_t status = 0;
    std::memcpy(&status, value->data.data(), 4);
    return status;
  }

  // Starts discpress-cli with the test's folders; its output goes to `out`.
  pid_t StartCli(const std::vector<std::string>& args, const fs::path& out) {
    return StartCli(args, out, DP_TOOLS_BUILD_DIR);
  }
  pid_t StartCli(const std::vector<std::string>& args, const fs::path& out, const std::string& tools) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string v(*e);
      if (v.rfind("XDG_CONFIG_HOME=", 0) == 0 || v.rfind("DISCPRESS_TOOLS_DIR=", 0) == 0 ||
          v.rfind("TMPDIR=", 0) == 0)
        continue;
      env.push_back(v);
    }
    env.push_back("XDG_CONFIG_HOME=" + (root_ / "config").string());
    env.push_back("DISCPRESS_TOOLS_DIR=" + tools);
    env.push_back("DP_FAKE_RECORD=" + (root_ / "record").string());
    env.push_back("TMPDIR=" + (root_ / "tmp").string());
    std::vector<std::string> argv{DP_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv, cenv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    for (auto& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, DP_CLI_PATH, &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return 0;
    return pid;
  }

  // Runs discpress-cli to its end and returns its output.
  std::string RunCli(const std::vector<std::string>& args, int* exit_code = nullptr,
                     const std::string& tools = DP_TOOLS_BUILD_DIR) {
    const fs::path out = root_ / "cli_out.txt";
    const pid_t pid = StartCli(args, out, tools);
    EXPECT_GT(pid, 0);
    const auto status = WaitFor(pid, std::chrono::seconds(120));
    EXPECT_TRUE(status) << "discpress-cli " << args.at(0) << " did not end";
    if (exit_code) *exit_code = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    return test::ReadText(out);
  }

  // Waits until the running program stored `status` for the job, and
  // returns the pid of its x264 child (the leader of the tool's group).
  pid_t WaitForX264(pid_t cli, std::int32_t status) {
    const auto end = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < end) {
      if (StoredStatus() == status) {
        if (const pid_t x264 = ChildNamed(cli, "x264")) {
          return x264;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
  }

  // Kills the running program with SIGKILL and expects nothing it had
  // started to outlive it. Returns how the processes that ended did.
  std::map<pid_t, int> KillExpectingNoOrphan(pid_t cli) {
    EXPECT_EQ(::kill(cli, SIGKILL), 0);
    std::vector<std::pair<pid_t, int>> ended;
    EXPECT_TRUE(ReapAll(std::chrono::seconds(3), ended)) << "a tool outlived the killed program";
    return {ended.begin(), ended.end()};
  }

  static bool Killed(const std::map<pid_t, int>& ended, pid_t pid) {
    const auto it = ended.find(pid);
    return it != ended.end() && WIFSIGNALED(it->second) && WTERMSIG(it->second) == SIGKILL;
  }

  // A process group that a run before the last one recorded and left
  // running, as a build without the parent-death signal could: the next
  // start must end it.
  pid_t PlantLeftoverGroup() {
    SpawnRequest sleeper;
    sleeper.argv = {"sleep", "600"};
    const Result<pid_t> spawned = Spawn(sleeper);
    EXPECT_TRUE(spawned) << spawned.error();
    const pid_t left = spawned ? *spawned : 0;
    const pid_t run = ::fork();
    if (run == 0) {
      StartGroupRecord(StoreFile().parent_path() / kGroupRecordName);
      RecordGroup(left);
      ::_exit(0);
    }
    EXPECT_EQ(::waitpid(run, nullptr, 0), run);
    return left;
  }

  test::TempDir root_;
  fs::path clip_;
  std::unique_ptr<Store> store_;  // read beside the running program
};

TEST_F(CrashResumeTest, KilledDuringPassTwoLeavesNoToolAndEncodesAgain) {
  const pid_t cli = StartCli({"queue", "run"}, root_ / "run1.txt");
  ASSERT_GT(cli, 0);
  const pid_t x264 = WaitForX264(cli, kStatusX264Pass2);
  ASSERT_GT(x264, 0) << test::ReadText(root_ / "run1.txt");
  EXPECT_EQ(::getpgid(x264), x264) << "the tool leads a process group of its own";
  EXPECT_TRUE(Killed(KillExpectingNoOrphan(cli), x264)) << "x264 dies with the program";
  EXPECT_TRUE(GroupGone(x264));
  EXPECT_TRUE(fs::exists(TempFile(".264.lock")));
  const pid_t leftover = PlantLeftoverGroup();

  // A running status in the store is read back as stopped.
  const std::string list = RunCli({"queue", "list"});
  EXPECT_NE(list.find("0\t2\t[STOPPED]"), std::string::npos) << list;

  // The lock left by the killed run makes the second pass run again;
  // demux and pass 1 are recognised by their files.
  int code = -1;
  const std::string run = RunCli({"queue", "run"}, &code);
  EXPECT_EQ(code, 0) << run << test::ReadText(Temp() / "error_log.txt");
  EXPECT_EQ(run.find("[STEP 1/4"), std::string::npos) << run;
  EXPECT_EQ(run.find("[STEP 2/4"), std::string::npos) << run;
  EXPECT_NE(run.find("[STEP 3/4 - X264 PASS 2]"), std::string::npos) << run;
  EXPECT_NE(run.find("[STEP 4/4 - TSMUXER]"), std::string::npos) << run;
  EXPECT_NE(run.find("Done!"), std::string::npos) << run;
  int left_status = 0;
  EXPECT_EQ(::waitpid(leftover, &left_status, WNOHANG), leftover) << "the leftover group was ended at start";
  EXPECT_TRUE(WIFSIGNALED(left_status) && WTERMSIG(left_status) == SIGKILL);
  // The stream was encoded by one encoder alone: every frame is there and
  // decodes.
  const fs::path stream = root_ / "out" / "Movie" / "BDMV" / "STREAM" / "00000.m2ts";
  const std::string probe =
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=nb_read_frames -of csv=p=0 '" +
      stream.string() + "' > '" + (root_ / "frames.txt").string() + "' 2>&1";
  EXPECT_EQ(std::system(probe.c_str()), 0);
  const std::string frames = test::ReadText(root_ / "frames.txt");
  EXPECT_EQ(frames.substr(0, frames.find('\n')), "120") << frames;
  EXPECT_FALSE(fs::exists(TempFile(".264.lock")));
  EXPECT_FALSE(fs::exists(TempFile(".stats")));
  // A finished job is not stored: the list is empty.
  EXPECT_EQ(RunCli({"queue", "list"}), "");
}

TEST_F(CrashResumeTest, KilledDuringDemuxExtractsAgain) {
  // Fake tools: eac3to writes part of the audio and hangs.
  const test::FakeTools fakes(root_ / "fakes", root_ / "record");
  fakes.Block("eac3to");
  const pid_t cli = StartCli({"queue", "run"}, root_ / "run1.txt", (root_ / "fakes").string());
  ASSERT_GT(cli, 0);
  ASSERT_TRUE(fakes.WaitBlocked("eac3to")) << test::ReadText(root_ / "run1.txt");
  const pid_t eac3to = fakes.GroupOf("eac3to");
  EXPECT_TRUE(Killed(KillExpectingNoOrphan(cli), eac3to)) << "eac3to dies with the program";
  ASSERT_TRUE(fs::exists(TempFile(".ac3")));

  // The half-written audio must not pass for a finished one.
  fakes.Release();
  fakes.ClearRecord();
  int code = -1;
  const std::string run = RunCli({"queue", "run"}, &code, (root_ / "fakes").string());
  EXPECT_EQ(code, 0) << run;
  const auto calls = fakes.CallsOf("eac3to");
  ASSERT_EQ(calls.size(), 1u) << run;
  EXPECT_NE(std::find(calls[0].argv.begin(), calls[0].argv.end(), TempFile(".ac3")), calls[0].argv.end());
  EXPECT_NE(run.find("[STEP 1/4 - EAC3TO] Recode audio to AC3 640..."), std::string::npos) << run;
  EXPECT_EQ(fakes.Sequence(), (std::vector<std::string>{"eac3to", "x264", "x264", "tsMuxeR-1"}));
}

TEST_F(CrashResumeTest, KilledWhileAStandInRunsFfmpegLeavesNothing) {
  // The ffmpeg that the eac3to stand-in runs to demux: tells its pid, hangs.
  const fs::path ffmpeg = root_ / "ffmpeg-hangs";
  const fs::path pid_file = root_ / "ffmpeg.pid";
  std::ofstream(ffmpeg) << "#!/bin/sh\necho $$ > '" << pid_file.string() << ".part'\nmv '"
                        << pid_file.string() << ".part' '" << pid_file.string() << "'\nexec sleep 600\n";
  ASSERT_EQ(::chmod(ffmpeg.c_str(), 0755), 0);
  ::setenv("DP_FFMPEG", ffmpeg.c_str(), 1);
  const pid_t cli = StartCli({"queue", "run"}, root_ / "run1.txt");
  ::unsetenv("DP_FFMPEG");
  ASSERT_GT(cli, 0);
  const auto end = Clock::now() + std::chrono::seconds(30);
  while (!fs::exists(pid_file) && Clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(fs::exists(pid_file)) << test::ReadText(root_ / "run1.txt");
  const pid_t helper = std::stoi(test::ReadText(pid_file));
  EXPECT_TRUE(Killed(KillExpectingNoOrphan(cli), helper)) << "the stand-in's ffmpeg dies too";
}

TEST_F(CrashResumeTest, SigintStopsTheJobAndLeavesNoTool) {
  const fs::path out = root_ / "run.txt";
  const pid_t cli = StartCli({"queue", "run"}, out);
  ASSERT_GT(cli, 0);
  const pid_t x264 = WaitForX264(cli, kStatusX264Pass1);
  ASSERT_GT(x264, 0) << test::ReadText(out);
  ASSERT_EQ(::kill(cli, SIGINT), 0);
  const auto status = WaitFor(cli, std::chrono::seconds(30));
  ASSERT_TRUE(status) << test::ReadText(out);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << test::ReadText(out);
  EXPECT_TRUE(GroupGone(x264));
  // Nothing was orphaned to this test either.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  const std::string list = RunCli({"queue", "list"});
  EXPECT_NE(list.find("0\t2\t[STOPPED]"), std::string::npos) << list;
  // Stopped, not failed: no error record, and the demuxed audio is kept.
  EXPECT_FALSE(fs::exists(Temp() / "error_log.txt"));
  EXPECT_TRUE(fs::exists(TempFile(".ac3")));
}

}  // namespace
}  // namespace dp
