#include "planning/env_checks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace dp {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

void Script(const fs::path& path, const std::string& body) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  ::chmod(path.c_str(), 0755);
}

TEST(DetectaJava, JavaHomeFirstThenPathAndItsAnswer) {
  test::TempDir dir;
  Script(dir / "bin" / "java", "exit 0");
  Script(dir / "jdk" / "bin" / "java", "exit 0");
  Script(dir / "bin" / "mono", "exit 0");
  const std::string on_path = dir / "bin" / "java", in_home = dir / "jdk" / "bin" / "java";
  const struct {
    std::string java_home;
    std::string path;
    int exit_code;  // of "java -version"
    int found;
    std::string java;  // "untouched": none found
  } cases[] = {
      {"", "", 0, 0, "untouched"},
      {dir / "jdk-empty", (dir / "bin").string(), 0, 1, on_path},  // a JAVA_HOME without a runtime
      {dir / "jdk", (dir / "bin").string(), 0, 1, in_home},
      {dir / "jdk", "", 1, 0, in_home},  // fails "-version": its path still written
  };
  for (const auto& c : cases) {
    Argv ran;
    EnvProbe probe;
    probe.java_home = c.java_home;
    probe.path = c.path;
    probe.run = [&](const Argv& argv) {
      ran = argv;
      return Result<int>(c.exit_code);
    };
    std::string java = "untouched";
    EXPECT_EQ(DetectaJava(java, probe), c.found) << c.java_home << " " << c.path;
    EXPECT_EQ(java, c.java);
    EXPECT_EQ(ran, c.java == "untouched" ? Argv{} : Argv({c.java, "-version"}));
    EXPECT_EQ(DetectaDotNet4(probe), c.path.empty() ? 0 : 1);
  }
}

TEST(DetectaJava, RunsTheRuntimeForReal) {
  test::TempDir dir;
  EnvProbe probe = SystemEnvProbe();
  probe.java_home.clear();
  probe.path = (dir / "bin").string();
  // The runtime's output must not reach ours, and its exit code decides.
  for (const auto& [body, found] :
       {std::pair{"echo noise; echo more >&2; [ \"$1\" = -version ] && exit 0; exit 4", 1}, {"exit 3", 0}}) {
    Script(dir / "bin" / "java", body);
    std::string java;
    EXPECT_EQ(DetectaJava(java, probe), found) << body;
  }
}

TEST(DetectaAvisynth, LibraryAndItsVersion) {
  EnvProbe probe;
  EXPECT_EQ(DetectaAvisynth(probe), kAvisynthNone);
  EXPECT_EQ(CheckAvisynthVersion(kAvisynthPlus, nullptr, probe), -1);
  std::string library;
  probe.find_library = [&](const std::vector<std::string>&) { return library; };
  const struct {
    const char* file;
    int kind;
    int result;
    const char* text;
  } cases[] = {
      {"libavisynth.so.2.6.0.5", 1, 1, "2.6.0.5"}, {"libavisynth.so.2.60.0.0", 1, 1, "2.60.0.0"},
      {"libavisynth.so.2.5.8.5", 1, 0, "2.5.8.5"}, {"libavisynth.so.3.0.0.0", 1, 0, "3.0.0.0"},
      {"libavisynth.so.3.0.0.0", 2, 1, "3.0.0.0"}, {"libavisynth.so.2.5.8", 2, 1, "2.5.8.0"},
      {"libavisynth.so", 2, -1, "kept"},           {"/opt/lib.so.9/libavisynth.so", 2, -1, "kept"},
      {"libavisynth.so.x", 2, -1, "kept"},         {"", 2, -1, "kept"},
  };
  for (const auto& c : cases) {
    library = c.file;
    std::string text = "kept";
    EXPECT_EQ(CheckAvisynthVersion(c.kind, &text, probe), c.result) << c.file;
    EXPECT_EQ(text, c.text) << c.file;
    EXPECT_EQ(DetectaAvisynth(probe), *c.file ? kAvisynthPlus : kAvisynthNone) << c.file;
  }
}

}  // namespace
}  // namespace dp
