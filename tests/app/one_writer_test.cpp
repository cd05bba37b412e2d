// One writer of the store: while the desktop program runs, discpress-cli
// commands that change the queue or the settings change nothing and say why;
// reading commands work.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/instance_lock.h"
#include "platform/store.h"
#include "support/cli.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class OneWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("HOME", dir.path().c_str(), 1);
    setenv("TMPDIR", dir.path().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  void TearDown() override {
    if (window_ > 0 && ::kill(window_, SIGKILL) == 0) ::waitpid(window_, nullptr, 0);
  }

  // Every stored value as the store holds it: name and bytes.
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> Stored() {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> out;
    if (auto store = Store::Open(dir / "config" / "DiscPress" / "store.db"))
      for (const RegEntry& e : store->List()) out.emplace_back(e.name, e.value.data);
    return out;
  }

  // Starts the desktop program, its output in the test's log, and waits
  // until it holds the instance lock.
  bool StartWindow(const fs::path& program) {
    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) return false;
    window_ = pid;
    const fs::path lock_file = InstanceLockFile(dir / "config" / "DiscPress");
    const std::string holder = std::string(kWindowHolder) + " " + std::to_string(window_) + "\n";
    const auto end = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < end) {
      if (test::ReadText(lock_file) == holder) return true;
      int status = 0;
      if (::waitpid(window_, &status, WNOHANG) == window_) {
        window_ = 0;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  test::TempDir dir;
  pid_t window_ = 0;
};

TEST_F(OneWriterTest, TheCliChangesNothingWhileTheWindowRuns) {
  const fs::path program = fs::path(DP_CLI_PATH).parent_path() / "discpress";
  if (!fs::exists(program)) GTEST_SKIP() << "built without the desktop program";
  const std::string job = (dir / "job.json").string();
  std::ofstream(job) << "{\"status\":1,\"video_rate\":4500,\"output_path\":\"/out/a\"}";
  ASSERT_EQ(test::Cli({"job", "put", "0", "--json", job}).code, 0);
  ASSERT_EQ(test::Cli({"settings", "show"}).code, 0);  // the defaults are stored now, not by the window

  ASSERT_TRUE(StartWindow(program));
  InstanceLock probe(InstanceLockFile(dir / "config" / "DiscPress"));
  ASSERT_EQ(probe.TryAcquire(kCliHolder), LockState::kBusy);
  const auto before = Stored();
  ASSERT_FALSE(before.empty());

  // clang-format off
  const std::vector<std::vector<std::string>> changes = {
      {"job", "put", "1", "--json", job}, {"settings", "set", "CRF", "18"}, {"queue", "remove", "0"}, {"queue", "clear"},
      {"queue", "run"}, {"store", "set", "CRF", "--dword", "1"}, {"store", "delete", "Job_0"}};
  // clang-format on
  for (const auto& args : changes) {
    const test::CliResult r = test::Cli(args);
    EXPECT_EQ(r.code, 1) << args[0] << " " << args[1];
    EXPECT_EQ(r.err, "discpress-cli: DiscPress is running; close it to change the queue or the settings\n")
        << args[0] << " " << args[1];
  }
  EXPECT_EQ(Stored(), before);

  const test::CliResult list = test::Cli({"queue", "list"});
  EXPECT_EQ(list.code, 0) << list.err;
  EXPECT_EQ(list.out, "0\t1\t[PENDING]\t/out/a\n");
  EXPECT_EQ(test::Cli({"settings", "show"}).code, 0);

  // Once the window has gone, the same change goes through.
  ::kill(window_, SIGTERM);
  ASSERT_EQ(::waitpid(window_, nullptr, 0), window_);
  window_ = 0;
  EXPECT_EQ(test::Cli({"settings", "set", "CRF", "18"}).code, 0);
}

}  // namespace
}  // namespace dp
