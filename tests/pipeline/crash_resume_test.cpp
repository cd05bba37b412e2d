// `discpress-cli queue run` with the real x264, killed hard mid-step and run
// again, or stopped with SIGINT. The test is the subreaper of what it starts:
// a tool that outlived the program becomes its child, to be seen and reaped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/spawn.h"
#include "platform/store.h"
#include "queue/job_queue.h"
#include "support/cli.h"
#include "support/files.h"
#include "support/media_gen.h"
#include "support/planted_job.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::seconds;

// Polls `done` every 20 ms until it holds (true) or `limit` has passed.
template <typename Done>
bool Within(Clock::duration limit, Done done) {
  for (const auto end = Clock::now() + limit;; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
    if (done()) return true;
    if (Clock::now() > end) return false;
  }
}

// The processes whose parent is `parent`, zombies included, with their names.
std::vector<std::pair<pid_t, std::string>> ChildrenOf(pid_t parent) {
  std::vector<std::pair<pid_t, std::string>> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc", ec)) {
    if (e.path().filename().string().find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string line = test::ReadText(e.path() / "stat");  // pid (name) state ppid ...
    const std::size_t open = line.find('('), close = line.rfind(')');
    int ppid = 0;
    if (close != std::string::npos && std::sscanf(line.c_str() + close + 1, " %*c %d", &ppid) == 1 &&
        ppid == parent)
      out.emplace_back(std::stoi(line), line.substr(open + 1, close - open - 1));
  }
  return out;
}

bool GroupGone(pid_t pgid) { return pgid > 0 && ::kill(-pgid, 0) == -1 && errno == ESRCH; }

class CrashResumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v ffmpeg >/dev/null && command -v x264 >/dev/null") != 0)
      GTEST_SKIP() << "needs ffmpeg and x264";
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    fs::create_directories(root_ / "tmp");
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    ::setenv("DISCPRESS_TOOLS_DIR", DP_TOOLS_BUILD_DIR, 1);
    ::setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
    // Enough frames that x264's slowest preset spends a second on pass 2.
    const fs::path clip = root_ / "clip.m2ts";
    ASSERT_TRUE(test::Ffmpeg(
        "-f lavfi -i testsrc=size=640x360:rate=24 -f lavfi -i sine=frequency=440:sample_rate=48000 "
        "-t 5 -c:v libx264 -preset ultrafast -x264-params force-cfr=1 -c:a ac3 -b:a 192k -f mpegts "
        "-mpegts_m2ts_mode 1 -muxrate 8000000",
        {clip.string()}));
    // A 2D BD5 two-pass job that recodes the audio, so the demux step runs.
    ASSERT_TRUE(test::PlantStore(StoreFile(), Temp(), root_ / "out",
                                 test::TwoPassJob(clip, root_ / "out" / "Movie")));
  }
  void TearDown() override {
    // Whatever is left is this test's child: an unreaped pid cannot be reused.
    for (int round = 0; round < 50 && !ChildrenOf(::getpid()).empty(); ++round) {
      for (const auto& [pid, name] : ChildrenOf(::getpid())) {
        if (::getpgid(pid) == pid) ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
      }
      while (::waitpid(-1, nullptr, WNOHANG) > 0) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (const char* name : {"XDG_CONFIG_HOME", "DISCPRESS_TOOLS_DIR", "TMPDIR"}) ::unsetenv(name);
  }

  fs::path StoreFile() const { return root_ / "config" / "DiscPress" / "store.db"; }
  fs::path Temp() const { return root_ / "temp"; }
  std::string TempFile(const std::string& suffix) const {
    return (Temp() / ("Movie.job_0" + suffix)).string();
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

  // Starts `discpress-cli queue run`; its output goes to `out`.
  static pid_t StartRun(const fs::path& out) {
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    SpawnRequest run;
    run.argv = {DP_CLI_PATH, "queue", "run"};
    run.out = run.err = fd;
    const Result<pid_t> pid = Spawn(run);
    ::close(fd);
    return pid ? *pid : 0;
  }

  // Waits for the stored `status`; returns the pid of the x264 child.
  pid_t WaitForX264(pid_t cli, std::int32_t status) {
    pid_t x264 = 0;
    Within(seconds(60), [&] {
      if (StoredStatus() != status) return false;
      for (const auto& [pid, name] : ChildrenOf(cli))
        if (name == "x264") x264 = pid;
      return x264 != 0;
    });
    return x264;
  }

  test::TempDir root_;
  std::unique_ptr<Store> store_;  // read beside the running program
};

TEST_F(CrashResumeTest, KilledDuringPassTwoLeavesNoToolAndEncodesAgain) {
  const pid_t cli = StartRun(root_ / "run1.txt");
  ASSERT_GT(cli, 0);
  const pid_t x264 = WaitForX264(cli, kStatusX264Pass2);
  ASSERT_GT(x264, 0) << test::ReadText(root_ / "run1.txt");
  EXPECT_EQ(::getpgid(x264), x264) << "the tool leads a process group of its own";
  // Nothing it had started outlives the program, and x264 is killed with it.
  ASSERT_EQ(::kill(cli, SIGKILL), 0);
  bool killed = false;
  EXPECT_TRUE(Within(seconds(3), [&] {
    int status = 0;
    pid_t r;
    while ((r = ::waitpid(-1, &status, WNOHANG)) > 0)
      killed = killed || (r == x264 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    return r < 0 && errno == ECHILD;
  })) << "a tool outlived the killed program";
  EXPECT_TRUE(killed);
  EXPECT_TRUE(GroupGone(x264));
  EXPECT_TRUE(fs::exists(TempFile(".264.lock")));

  // A running status in the store is read back as stopped.
  const std::string list = test::Cli({"queue", "list"}).out;
  EXPECT_NE(list.find("0\t2\t[STOPPED]"), std::string::npos) << list;

  // The killed run's lock makes pass 2 run again; demux and pass 1 are done.
  const test::CliResult second = test::Cli({"queue", "run"});
  const std::string run = second.out + second.err;
  EXPECT_EQ(second.code, 0) << run << test::ReadText(Temp() / "error_log.txt");
  EXPECT_EQ(run.find("[STEP 1/4"), std::string::npos) << run;
  EXPECT_EQ(run.find("[STEP 2/4"), std::string::npos) << run;
  EXPECT_NE(run.find("[STEP 3/4 - X264 PASS 2]"), std::string::npos) << run;
  EXPECT_NE(run.find("[STEP 4/4 - TSMUXER]"), std::string::npos) << run;
  EXPECT_NE(run.find("Done!"), std::string::npos) << run;
  // One encoder alone wrote the stream: every frame is there and decodes.
  const fs::path stream = root_ / "out" / "Movie" / "BDMV" / "STREAM" / "00000.m2ts";
  const std::string frames =
      test::RunProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                        "stream=nb_read_frames", "-of", "csv=p=0", stream.string()})
          .out;
  EXPECT_EQ(frames.substr(0, frames.find('\n')), "120") << frames;
  // Every file the encoders and the muxer left is gone.
  EXPECT_TRUE(fs::is_empty(Temp()));
  // A finished job is not stored: the list is empty.
  EXPECT_EQ(test::Cli({"queue", "list"}).out, "");
}

TEST_F(CrashResumeTest, SigintStopsTheJobAndLeavesNoTool) {
  const fs::path out = root_ / "run.txt";
  const pid_t cli = StartRun(out);
  ASSERT_GT(cli, 0);
  const pid_t x264 = WaitForX264(cli, kStatusX264Pass1);
  ASSERT_GT(x264, 0) << test::ReadText(out);
  ASSERT_EQ(::kill(cli, SIGINT), 0);
  int status = 0;
  ASSERT_TRUE(Within(seconds(30), [&] { return ::waitpid(cli, &status, WNOHANG) == cli; }))
      << test::ReadText(out);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << test::ReadText(out);
  EXPECT_TRUE(GroupGone(x264));
  // Nothing was orphaned to this test either.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  const std::string list = test::Cli({"queue", "list"}).out;
  EXPECT_NE(list.find("0\t2\t[STOPPED]"), std::string::npos) << list;
  // Stopped, not failed: no error record, and the demuxed audio is kept.
  EXPECT_FALSE(fs::exists(Temp() / "error_log.txt"));
  EXPECT_TRUE(fs::exists(TempFile(".ac3")));
}

}  // namespace
}  // namespace dp
