// Children that must not outlive the program: a forked "program" starts
// them and is killed with SIGKILL while this test is the subreaper, so any
// child it left would become this test's own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "child_watch.h"
#include "platform/process_groups.h"
#include "platform/run_program.h"
#include "platform/spawn.h"
#include "platform/tool_process.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The wait statuses of this process's children as they end, until none is
// left (true) or `limit` has passed (false; what is left is then killed).
bool ReapAll(std::chrono::milliseconds limit, std::vector<int>& statuses) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(-1, &status, WNOHANG);
    if (r > 0) {
      statuses.push_back(status);
      continue;
    }
    if (r < 0 && errno == ECHILD) return true;
    if (std::chrono::steady_clock::now() > end) break;
    std::this_thread::sleep_for(10ms);
  }
  // Clean up: every process whose parent is this test.
  for (const test::ProcessEntry& p : test::Processes())
    if (p.ppid == ::getpid()) ::kill(p.pid, SIGKILL);
  while (::waitpid(-1, nullptr, 0) > 0) {
  }
  return false;
}

// Runs `start` in a forked program, kills the program once it has started
// its children, and returns how each of them ended; fails the test when one
// outlives it.
std::vector<int> KillProgramAfter(const std::function<bool()>& start) {
  int ready[2];
  EXPECT_EQ(::pipe(ready), 0);
  const pid_t program = ::fork();
  if (program == 0) {
    const char ok = start() ? '1' : '0';
    (void)!::write(ready[1], &ok, 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char ok = 0;
  EXPECT_EQ(::read(ready[0], &ok, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(ok, '1') << "the program could not start its children";
  EXPECT_EQ(::kill(program, SIGKILL), 0);
  EXPECT_EQ(::waitpid(program, nullptr, 0), program);
  std::vector<int> orphans;
  EXPECT_TRUE(ReapAll(5s, orphans)) << "a child outlived the program";
  return orphans;
}

// What the forked program holds until it is killed.
std::vector<std::shared_ptr<void>> g_held;

bool StartTool(const ToolLaunch& launch) {
  auto tool = std::make_shared<ToolProcess>();
  g_held.push_back(tool);
  return tool->Start(launch).ok();
}

TEST(Orphans, ChildrenDieWithTheProgram) {
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  ToolLaunch plain;
  plain.argv = {"sleep", "600"};
  ToolLaunch fed = plain;
  fed.feeder_argv = {"sleep", "600"};
  // The detached player is started from a thread of its own, which must outlive it.
  // clang-format off
  const struct {
    const char* what;
    std::function<bool()> start;
    std::size_t children;
  } cases[] = {
      {"tool", [&] { return StartTool(plain); }, 1},
      {"feeder and tool", [&] { return StartTool(fed); }, 2},
      {"detached player", [] { return StartDetached({"sleep", "600"}).ok(); }, 1},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::vector<int> orphans = KillProgramAfter(c.start);
    ASSERT_EQ(orphans.size(), c.children) << c.what;
    for (int status : orphans) EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << c.what;
  }
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST(Orphans, StartUpEndsTheGroupsOfAKilledRun) {
  test::TempDir dir;
  const fs::path file = dir / kGroupRecordName;
  const auto running = [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; };
  // Another program records a group and is gone without reaping it.
  SpawnRequest request;
  request.argv = {"sleep", "600"};
  const Result<pid_t> spawned = Spawn(request);
  ASSERT_TRUE(spawned) << spawned.error();
  const pid_t left = *spawned;
  const pid_t gone = ::fork();
  if (gone == 0) {
    StartGroupRecord(file);
    RecordGroup(left);
    ::_exit(0);
  }
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  ASSERT_TRUE(running(left));

  EXPECT_EQ(StartGroupRecord(file), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(left, &status, 0), left);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

  // The tools of a program that runs are recorded while they run, and are
  // left alone by another program starting beside it.
  ToolProcess tool;
  ToolLaunch launch;
  launch.argv = {"sleep", "600"};
  ASSERT_TRUE(tool.Start(launch));
  const pid_t beside = ::fork();
  if (beside == 0) ::_exit(StartGroupRecord(file));
  ASSERT_EQ(::waitpid(beside, &status, 0), beside);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(running(tool.Pid()));
  const std::string text = test::ReadText(file);
  EXPECT_NE(text.find(" " + std::to_string(tool.Pid()) + " "), std::string::npos) << text;

  tool.KillGroup();
  tool.Wait();
  EXPECT_EQ(fs::file_size(file), 0u);
  StartGroupRecord({});
}

}  // namespace
}  // namespace dp
