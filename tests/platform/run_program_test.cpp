#include "platform/run_program.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "child_watch.h"
#include "platform/paths.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(FindProgram, SearchesLikeTheShell) {
  test::TempDir dir;
  for (const char* folder : {"a", "b", "c"}) fs::create_directories(dir / folder);
  std::ofstream(dir / "a" / "tool") << "#!/bin/sh\n";  // not runnable
  for (const char* file : {"b/tool", "c/tool", "c/other"}) {
    std::ofstream(dir / file) << "#!/bin/sh\n";
    ::chmod((dir / file).c_str(), 0755);
  }
  const std::string a = (dir / "a").string(), b = (dir / "b").string(), c = (dir / "c").string();
  const struct {
    const char* name;
    std::string dirs;
    std::string found;  // empty: fails with `why`
    int why;
  } cases[] = {
      {"tool", a + ":" + b + ":" + c, b + "/tool", 0},
      {"other", "/nonexistent::" + c, c + "/other", 0},
      {"tool", a, "", EACCES},
      {"tool", "", "", ENOENT},
      {"./x/tool", "", "./x/tool", 0},
  };
  for (const auto& c : cases) {
    const Result<std::string> found = FindProgram(c.name, c.dirs);
    EXPECT_EQ(found ? *found : found.error(), c.why ? std::strerror(c.why) : c.found)
        << c.name << " in " << c.dirs;
  }
}

TEST(RunQuietly, ExitCodeOrWhyThereIsNone) {
  const struct {
    std::vector<std::string> argv;
    int code;         // when it ends by itself
    const char* why;  // otherwise, in the failure
  } cases[] = {
      {{"/bin/sh", "-c", "echo noise; echo more >&2; exit 3"}, 3, ""},
      {{"/bin/sh", "-c", "kill -9 $$"}, 0, "ended by signal 9"},
      {{"dp-no-such-program"}, 0, "Cannot start \"dp-no-such-program\""},
      {{}, 0, "Cannot start"},
  };
  for (const auto& c : cases) {
    const Result<int> code = RunQuietly(c.argv, 10s);
    EXPECT_EQ(code ? *code : -1, *c.why ? -1 : c.code);
    EXPECT_NE(code.error().find(c.why), std::string::npos) << code.error();
  }
}

TEST(RunQuietly, TheTimeLimitEndsTheWholeGroup) {
  test::TempDir dir;
  const std::string pid_file = dir / "pid";
  const auto started = std::chrono::steady_clock::now();
  const Result<int> code =
      RunQuietly({"/bin/sh", "-c", "sleep 300 & echo $! > " + pid_file + "; wait"}, 300ms);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  EXPECT_NE(code.error().find("did not end in time"), std::string::npos) << code.error();
  pid_t grandchild = 0;
  ASSERT_TRUE(
      test::Eventually([&] { return (grandchild = std::atoi(test::ReadText(pid_file).c_str())) > 0; }));
  // Killed with the group; init reaps it soon after.
  EXPECT_TRUE(test::Eventually([&] { return ::kill(grandchild, 0) != 0; }));
}

}  // namespace
}  // namespace dp
