#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace dp {
namespace {

const std::string kReal = std::string(DP_TESTDATA_DIR) + "/mpls/";

// Runs discpress-cli (arguments without blanks); returns its exit status and
// appends its standard output to out.
int Cli(const std::string& args, std::string& out) {
  FILE* p = ::popen((std::string(DP_CLI_PATH) + " " + args + " 2>/dev/null").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  const int w = ::pclose(p);
  return WIFEXITED(w) ? WEXITSTATUS(w) : -1;
}

TEST(MplsCli, PrintsWhatTheReadersGive) {
  if (!std::filesystem::exists(DP_CLI_PATH)) GTEST_SKIP() << "discpress-cli is not built";
  std::string out;
  EXPECT_EQ(Cli("mpls info " + kReal + "chaptertool/00001_LinkPoint.mpls", out), 0);
  EXPECT_EQ(out, "result=1 duration=3620.825533333333 video=1 audio=1 pg=0 chapters=9 clip=00001\n");
  out.clear();
  EXPECT_EQ(Cli("mpls info --json " + kReal + "domyd-mpls/multi-angle.mpls", out), 0);
  EXPECT_NE(out.find("{\"result\":2,\"duration\":37.12"), std::string::npos) << out;
  EXPECT_NE(out.find("\"pg\":26,\"chapters\":0,\"clip\":\"00081\"}"), std::string::npos) << out;
  // A damaged file's clip name holds a line break; the text stays one line.
  out.clear();
  EXPECT_EQ(Cli("mpls info " + kReal + "chaptertool/00001_Invalid.mpls", out), 0);
  EXPECT_EQ(out.find('\n'), out.size() - 1);

  out.clear();
  EXPECT_EQ(Cli("mpls similar " + kReal + "bdpl/disc7/PLAYLIST/00005.mpls", out), 1);
  EXPECT_EQ(Cli("mpls start-time " + kReal + "bdpl/disc7/PLAYLIST/00005.mpls", out), 0);
  EXPECT_EQ(out, "start_time=0 plane_count=0\n");
  EXPECT_EQ(Cli("mpls info " + kReal + "no-such.mpls", out), 1);
  EXPECT_EQ(Cli("mpls start-time " + kReal + "no-such.m2ts", out), 1);
  EXPECT_EQ(Cli("mpls info", out), 2);
}

}  // namespace
}  // namespace dp
