#include "platform/tool_process.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "child_watch.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using test::Eventually;
using test::LiveMembers;

ToolLaunch Shell(const std::string& script, OutputCapture capture = OutputCapture::kPipe) {
  ToolLaunch launch;
  launch.argv = {"/bin/sh", "-c", script};
  launch.capture = capture;
  return launch;
}

std::unique_ptr<ToolProcess> StartOk(const ToolLaunch& launch) {
  auto tool = std::make_unique<ToolProcess>();
  const Status started = tool->Start(launch);
  EXPECT_TRUE(started) << started.error();
  return tool;
}

// Everything still waiting in the output once the tool has ended.
std::string Drain(ToolProcess& tool) {
  std::string all;
  for (std::string chunk; !(chunk = tool.ReadOutput(500)).empty();) all += chunk;
  return all;
}

TEST(ToolProcess, CaptureAndExitCodes) {
  test::TempDir dir;
  const std::string log = dir / "x.x264_log.txt";
  std::ofstream(log) << "an earlier run's log, longer than the new one\n";
  struct Case {
    const char* script;
    OutputCapture capture;
    bool with_stderr;
    std::string output;
    int code;
    int signal;
  };
  // clang-format off
  for (const Case& c : {
           Case{"printf 'out\\n'; printf 'err\\n' >&2; exit 3", OutputCapture::kPipe, true, "out\nerr\n", 3, 0},
           Case{"printf 'out\\n'; printf 'err\\n' >&2", OutputCapture::kPipe, false, "out\n", 0, 0},
           Case{"printf '[7%%] 1/2 frames\\n'; printf 'two\\n' >&2; exit 1", OutputCapture::kLogFile, true, "[7%] 1/2 frames\ntwo\n", 1, 0},
           Case{"exit 5", OutputCapture::kNone, true, "", 5, 0},
           Case{"kill -TERM $$", OutputCapture::kPipe, true, "", 128 + SIGTERM, SIGTERM},
       }) {  // clang-format on
    ToolLaunch launch = Shell(c.script, c.capture);
    launch.capture_stderr = c.with_stderr;
    launch.log_path = log;
    launch.title_source = TitleSource::kX264;
    auto tool = StartOk(launch);
    const ToolExit exit = tool->Wait();
    EXPECT_EQ(exit.code, c.code) << c.script;
    EXPECT_EQ(exit.signal, c.signal) << c.script;
    EXPECT_FALSE(exit.kill_requested);
    // A logging tool's title comes from its log, read as it grows.
    EXPECT_EQ(tool->ConsoleTitle(), c.capture == OutputCapture::kLogFile ? "x264 [7%] 1/2 frames" : "");
    EXPECT_EQ(tool->ReadOutput(3), c.output.substr(0, 3)) << "at most the bytes asked for";
    EXPECT_EQ(c.output.substr(0, 3) + Drain(*tool), c.output) << c.script;
    EXPECT_EQ(c.capture == OutputCapture::kLogFile ? test::ReadText(log) : c.output, c.output) << "the log";
    tool->CloseOutput();
    EXPECT_EQ(tool->ReadOutput(500), "");
  }
}

TEST(ToolProcess, StartFailuresAreReported) {
  test::TempDir dir;
  ToolLaunch missing;
  missing.argv = {dir / "missing-tool", "-o", "x"};
  ToolLaunch bad_dir = Shell("exit 0");
  bad_dir.working_dir = dir / "gone";
  ToolLaunch bad_log = Shell("exit 0", OutputCapture::kLogFile);
  bad_log.log_path = dir / "gone/log.txt";
  ToolLaunch bad_feeder = Shell("cat");
  bad_feeder.feeder_argv = {dir / "missing-feeder"};
  // The system's own words for the cause, in whatever language it speaks.
  const std::string no_file = std::string("\": ") + std::strerror(ENOENT);
  const std::pair<ToolLaunch, std::string> cases[] = {
      {missing, "Cannot start \"" + missing.argv[0] + no_file},
      {bad_dir, "(working folder \"" + (dir / "gone").string() + "\")"},
      {bad_log, "gone/log.txt" + no_file},
      {ToolLaunch{}, "command line is empty"},
      {bad_feeder, "missing-feeder" + no_file},
  };
  for (const auto& [launch, in_error] : cases) {
    ToolProcess tool;
    const Status started = tool.Start(launch);
    EXPECT_FALSE(started);
    EXPECT_NE(started.error().find(in_error), std::string::npos) << started.error();
    EXPECT_EQ(tool.Pid(), 0);
    EXPECT_EQ(tool.Wait().code, -1);
  }
}

TEST(ToolProcess, WhatTheChildGets) {
  test::TempDir dir;
  // Its nice value and policy (stat fields 19 and 41) before it does anything, the working folder, the
  // environment, an empty input (a reading tool ends), default handling of a signal this program ignores.
  setenv("DP_TOOL_PROCESS_TEST", "inherited value", 1);
  struct sigaction ignore {};
  struct sigaction old {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &old);
  const std::string script =
      "set -- $(cut -d')' -f2 /proc/$$/stat); echo \"${17} ${39}\"; pwd; printf '%s\\n' "
      "\"$DP_TOOL_PROCESS_TEST\"; "
      "cat; sed -n 's/^SigIgn:[[:space:]]*//p' /proc/$$/status";
  const int caller_nice = getpriority(PRIO_PROCESS, 0);
  for (const bool idle : {true, false}) {
    ToolLaunch launch = Shell(script);
    launch.working_dir = dir.path();
    launch.idle_priority = idle;
    auto tool = StartOk(launch);
    const bool ended = Eventually([&] { return LiveMembers(tool->GroupId()) == 0; });
    if (!ended) tool->KillGroup();
    EXPECT_TRUE(ended) << "cat read an empty input";
    EXPECT_FALSE(tool->Wait().kill_requested);
    const std::string out = Drain(*tool);
    const std::string priority = idle ? "19 " + std::to_string(SCHED_IDLE)
                                      : std::to_string(caller_nice) + " " + std::to_string(SCHED_OTHER);
    EXPECT_EQ(out.substr(0, out.rfind("inherited value\n") + 16),
              priority + "\n" + fs::canonical(dir.path()).string() + "\ninherited value\n");
    const unsigned long long ignored = std::stoull(out.substr(out.rfind("value\n") + 6), nullptr, 16);
    EXPECT_EQ(ignored & (1ull << (SIGPIPE - 1)), 0u);
  }
  sigaction(SIGPIPE, &old, nullptr);
  unsetenv("DP_TOOL_PROCESS_TEST");
  EXPECT_EQ(getpriority(PRIO_PROCESS, 0), caller_nice) << "the caller keeps its priority";
}

TEST(ToolProcess, NothingOfTheGroupOutlivesIt) {
  {
    // Stop: the kill reaches the grandchild too, and a killed tool is a
    // stopped tool (code 0), not a failed one.
    auto tool = StartOk(Shell("sleep 300 & echo $!; wait"));
    std::string seen;
    Eventually([&] { return (seen += tool->ReadOutput(500)).find('\n') != std::string::npos; });
    const pid_t grandchild = std::stoi(seen);
    const pid_t group = tool->GroupId();
    EXPECT_EQ(getpgid(grandchild), group);
    tool->KillGroup();
    const ToolExit exit = tool->Wait();
    EXPECT_EQ(exit.code, 0);
    EXPECT_EQ(exit.signal, SIGKILL);
    EXPECT_TRUE(exit.kill_requested);
    EXPECT_TRUE(Eventually([&] { return LiveMembers(group) == 0; }));
    EXPECT_EQ(kill(tool->Pid(), 0), -1) << "reaped, no zombie left";
    tool->KillGroup();
  }
  {
    // A grandchild left behind by a tool that ended would keep its pipe open.
    auto tool = StartOk(Shell("sleep 300 & exit 0"));
    EXPECT_EQ(tool->Wait().code, 0);
    EXPECT_TRUE(Eventually([&] { return LiveMembers(tool->GroupId()) == 0; }));
  }
  pid_t pid = 0;
  pid_t group = 0;
  {
    auto tool = StartOk(Shell("sleep 300 & sleep 300"));
    pid = tool->Pid();
    group = tool->GroupId();
    ASSERT_TRUE(Eventually([&] { return LiveMembers(group) >= 2; }));
  }
  EXPECT_TRUE(Eventually([&] { return LiveMembers(group) == 0; })) << "the destructor ends the group";
  EXPECT_EQ(kill(pid, 0), -1);

  // A Stop that comes before the launch: nothing starts, and it ends as stopped.
  ToolProcess early;
  early.KillGroup();
  EXPECT_TRUE(early.Start(Shell("exit 1")));
  EXPECT_EQ(early.Pid(), 0);
  EXPECT_EQ(early.Wait().code, 0);
}

TEST(ToolProcess, FeederPipesIntoTheTool) {
  struct Case {
    const char* feeder;
    const char* tool;
    int code;
    int feeder_code;
    int feeder_signal;
  };
  for (const Case& c : {
           // The feeder's messages go with the tool's output, not into its input.
           Case{"printf 'frames\\n'; echo 'feeder says' >&2", "tr a-z A-Z; exit 4", 4, 0, 0},
           Case{"exit 3", "cat >/dev/null", 0, 3, 0},
           // Cut off because the tool has read all it wanted: not a failure.
           Case{"exec yes", "head -c 10 >/dev/null; exec 0<&-; sleep 0.5", 0, 0, SIGPIPE},
           // Still running when the tool ends: ended with it.
           Case{"sleep 300", "exit 0", 0, 0, SIGKILL},
       }) {
    ToolLaunch launch = Shell(c.tool);
    launch.feeder_argv = {"/bin/sh", "-c", c.feeder};
    auto tool = StartOk(launch);
    EXPECT_NE(tool->GroupId(), tool->Pid()) << "the feeder leads the group";
    EXPECT_EQ(getpgid(tool->Pid()), tool->GroupId());
    EXPECT_EQ(tool->Wait().code, c.code) << c.tool;
    EXPECT_EQ(tool->FeederExit().code, c.feeder_code) << c.feeder;
    EXPECT_EQ(tool->FeederExit().signal, c.feeder_signal) << c.feeder;
    EXPECT_TRUE(Eventually([&] { return LiveMembers(tool->GroupId()) == 0; }));
    const std::string out = Drain(*tool);  // the two may come in either order
    EXPECT_EQ(out.find("FRAMES\n") != out.npos && out.find("feeder says\n") != out.npos, c.code == 4) << out;
  }
}

TEST(ToolProcess, ReadersAndKillersRaceTheWaiter) {
  // The worker waits while the interface thread reads, looks at the title
  // and kills: no data race, no blocking read, no kill after the reap.
  for (int round = 0; round < 20; ++round) {
    ToolLaunch launch = Shell(round % 2 ? "i=0; while [ $i -lt 50 ]; do echo line $i; i=$((i+1)); done"
                                        : "echo start; sleep 30");
    launch.title_source = TitleSource::kX264;
    std::shared_ptr<ToolProcess> tool = StartOk(launch);
    std::atomic<bool> waited{false};
    ToolExit exit;
    std::thread worker([&] {
      exit = tool->Wait();
      tool->CloseOutput();
      waited = true;
    });
    std::string seen;
    while (!waited) {
      seen += tool->ReadOutput(500);
      tool->ConsoleTitle();
      if (seen.find("start") != std::string::npos || round % 4 == 1) tool->KillGroup();
      std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(exit.code, 0) << round;
    tool->KillGroup();
  }
}

}  // namespace
}  // namespace dp
