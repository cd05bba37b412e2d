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

// A machine where nothing is installed; each test adds what it needs.
EnvProbe BareMachine(std::vector<Argv>* runs, int exit_code) {
  EnvProbe probe;
  probe.run = [runs, exit_code](const Argv& argv) {
    runs->push_back(argv);
    return exit_code;
  };
  probe.find_library = [](const std::vector<std::string>&) { return std::string(); };
  return probe;
}

TEST(DetectaJava, JavaHomeFirstThenPath) {
  test::TempDir dir;
  std::vector<Argv> runs;
  EnvProbe probe = BareMachine(&runs, 0);
  std::string java = "untouched";
  EXPECT_EQ(DetectaJava(java, probe), 0);
  EXPECT_EQ(java, "untouched");
  EXPECT_TRUE(runs.empty());

  const fs::path on_path = dir / "bin" / "java";
  Script(on_path, "exit 0");
  probe.path = "/nonexistent:" + (dir / "bin").string();
  EXPECT_EQ(DetectaJava(java, probe), 1);
  EXPECT_EQ(java, on_path.string());
  EXPECT_EQ(runs.back(), (Argv{on_path.string(), "-version"}));

  // A JAVA_HOME without a runtime in it is passed over.
  probe.java_home = (dir / "jdk-empty").string();
  EXPECT_EQ(DetectaJava(java, probe), 1);
  EXPECT_EQ(java, on_path.string());

  const fs::path home_java = dir / "jdk" / "bin" / "java";
  Script(home_java, "exit 0");
  probe.java_home = (dir / "jdk").string();
  EXPECT_EQ(DetectaJava(java, probe), 1);
  EXPECT_EQ(java, home_java.string());

  // A runtime that fails "-version" gives 0, its path still written.
  runs.clear();
  probe = BareMachine(&runs, 1);
  probe.java_home = (dir / "jdk").string();
  java.clear();
  EXPECT_EQ(DetectaJava(java, probe), 0);
  EXPECT_EQ(java, home_java.string());
  ASSERT_EQ(runs.size(), 1u);
}

TEST(DetectaJava, RunsTheRuntimeForReal) {
  test::TempDir dir;
  EnvProbe probe = SystemEnvProbe();
  probe.java_home.clear();
  probe.path = (dir / "bin").string();
  // The runtime's output must not reach ours, and its exit code decides.
  Script(dir / "bin" / "java", "echo noise; echo more >&2; [ \"$1\" = -version ] && exit 0; exit 4");
  std::string java;
  EXPECT_EQ(DetectaJava(java, probe), 1);
  Script(dir / "bin" / "java", "exit 3");
  EXPECT_EQ(DetectaJava(java, probe), 0);
  EXPECT_EQ(probe.run({(dir / "bin" / "java").string()}), 3);
  EXPECT_EQ(probe.run({(dir / "missing").string()}), -1);
  EXPECT_EQ(probe.run({}), -1);
  Script(dir / "bin" / "java", "kill -9 $$");
  EXPECT_EQ(DetectaJava(java, probe), 0);
}

TEST(DetectaDotNet4, MonoOnPath) {
  test::TempDir dir;
  std::vector<Argv> runs;
  EnvProbe probe = BareMachine(&runs, 0);
  probe.path = (dir / "bin").string();
  EXPECT_EQ(DetectaDotNet4(probe), 0);
  Script(dir / "bin" / "mono", "exit 0");
  EXPECT_EQ(DetectaDotNet4(probe), 1);
}

TEST(DetectaAvisynth, LibraryFoundOrNot) {
  std::vector<Argv> runs;
  EnvProbe probe = BareMachine(&runs, 0);
  EXPECT_EQ(DetectaAvisynth(probe), kAvisynthNone);
  std::vector<std::string> asked;
  probe.find_library = [&asked](const std::vector<std::string>& names) {
    asked = names;
    return std::string("/usr/local/lib/libavisynth.so.3.7.3");
  };
  EXPECT_EQ(DetectaAvisynth(probe), kAvisynthPlus);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.front(), "libavisynth.so");
  probe.find_library = nullptr;
  EXPECT_EQ(DetectaAvisynth(probe), kAvisynthNone);
}

TEST(CheckAvisynthVersion, VersionFromTheLibraryFile) {
  using V = AvisynthVersion;
  EXPECT_EQ(AvisynthVersionFromFileName("/usr/lib/libavisynth.so.3.7.3"), (V{3, 7, 3, 0}));
  EXPECT_EQ(AvisynthVersionFromFileName("libavisynth.so.2.60.0.0"), (V{2, 60, 0, 0}));
  EXPECT_EQ(AvisynthVersionFromFileName("libavisynth.so.10"), (V{10, 0, 0, 0}));
  EXPECT_EQ(AvisynthVersionFromFileName("/opt/lib.so.9/libavisynth.so"), std::nullopt);
  EXPECT_EQ(AvisynthVersionFromFileName("libavisynth.so.x"), std::nullopt);

  std::vector<Argv> runs;
  EnvProbe probe = BareMachine(&runs, 0);
  std::string library;
  probe.find_library = [&library](const std::vector<std::string>&) { return library; };
  struct Case {
    const char* file;
    int kind;
    int result;
    const char* text;
  };
  const Case cases[] = {
      {"libavisynth.so.2.6.0.5", 1, 1, "2.6.0.5"}, {"libavisynth.so.2.60.0.0", 1, 1, "2.60.0.0"},
      {"libavisynth.so.2.5.8.5", 1, 0, "2.5.8.5"}, {"libavisynth.so.3.0.0.0", 1, 0, "3.0.0.0"},
      {"libavisynth.so.3.0.0.0", 2, 1, "3.0.0.0"}, {"libavisynth.so.2.5.8", 2, 1, "2.5.8.0"},
      {"libavisynth.so", 2, -1, "kept"},           {"", 2, -1, "kept"},
  };
  for (const Case& c : cases) {
    library = c.file;
    std::string text = "kept";
    EXPECT_EQ(CheckAvisynthVersion(c.kind, &text, probe), c.result) << c.file;
    EXPECT_EQ(text, c.text) << c.file;
    EXPECT_EQ(CheckAvisynthVersion(c.kind, nullptr, probe), c.result) << c.file;
  }
}

}  // namespace
}  // namespace dp
