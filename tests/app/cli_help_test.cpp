// discpress-cli explains itself: every group and every verb answers --help,
// --version names the program, and a wrong argument is named in the error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/version.h"
#include "support/cli.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

// The command names a help text lists under "Subcommands:".
std::vector<std::string> Listed(const std::string& help) {
  std::vector<std::string> names;
  std::istringstream lines(help);
  bool in_list = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("Subcommands:")) {
      in_list = true;
    } else if (in_list && line.starts_with("  ") && line.size() > 2 && line[2] != ' ') {
      names.push_back(line.substr(2, line.find(' ', 2) - 2));
    } else if (in_list && !line.starts_with("  ")) {
      in_list = false;
    }
  }
  return names;
}

class CliHelpTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  void SetUp() override { setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1); }
};

TEST_F(CliHelpTest, EveryGroupAndVerbAnswersHelp) {
  const test::CliResult top = test::Cli({"--help"});
  ASSERT_EQ(top.code, 0);
  const std::vector<std::string> groups = Listed(top.out);
  const std::set<std::string> have(groups.begin(), groups.end());
  for (const char* g : {"add", "analyse", "job", "lang", "mpls", "progress", "queue", "scan", "scrape",
                        "settings", "store", "sup", "time", "title", "update"})
    EXPECT_TRUE(have.count(g)) << g << " is missing from\n" << top.out;
  int verbs = 0;
  for (const std::string& group : groups) {
    const test::CliResult r = test::Cli({group, "--help"});
    EXPECT_EQ(r.code, 0) << group << r.err;
    EXPECT_NE(r.out.find("Usage: discpress-cli " + group), std::string::npos) << group << r.out;
    for (const std::string& verb : Listed(r.out)) {
      ++verbs;
      const test::CliResult v = test::Cli({group, verb, "--help"});
      EXPECT_EQ(v.code, 0) << group << " " << verb << v.err;
      EXPECT_NE(v.out.find("Usage: discpress-cli " + group + " " + verb), std::string::npos) << v.out;
    }
  }
  EXPECT_GE(verbs, 23);
  // --help counts wherever it stands, after a positional and a flag too.
  const test::CliResult late = test::Cli({"analyse", "SOURCE", "--json", "--help"});
  EXPECT_EQ(late.code, 0) << late.err;
  EXPECT_NE(late.out.find("--title N"), std::string::npos) << late.out;
}

TEST_F(CliHelpTest, VersionAndWrongArguments) {
  const test::CliResult version = test::Cli({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, std::string(program_name) + " " + program_version + "\n");

  // clang-format off
  const struct {
    std::vector<std::string> args;
    const char* named;  // the error line holds this
  } wrong[] = {
      {{"progress", "abc"}, "STATUS: 'abc' is not a number"},
      {{"progress", "1", "--frames", "1x"}, "--frames: '1x' is not a number"},
      {{"store", "set", "CRF", "--dword", "4294967296"}, "--dword: '4294967296' is not from 0 to 4294967295"},
      {{"job", "show", "100"}, "SLOT: '100' is not from 0 to 99"},
      {{"queue", "up", "-1"}, "SLOT: '-1' is not from 0 to 99"},
      {{"queue", "frob"}, "frob"},
      {{"lang", "name"}, "CODE"},
      {{"job", "put", "1"}, "--raw"},
      {{"job", "put", "1", "--raw", "a", "--json", "b"}, "--raw"},
      {{"nonsense"}, "nonsense"},
      {{"mpls", "info", "--frobnicate", "x.mpls"}, "--frobnicate"},
      {{"analyse", "x", "--title", "1", "--title", "16"}, "--title: '16' is not from 1 to 15"},
      {{"add", "x", "--crop", "810"}, "--crop: '810' is not one of 0, 1040"},
      {{"add", "x", "--preset", "fastest"}, "--preset: the preset ring has no item \"fastest\""},
      {{"scan", "--duration-ms", "1", "--video", "0x2000", "f"}, "--video: '0x2000' is not a PID"},
      {{"scan", "f", "--audio", "1"}, "--duration-ms"},
      {{"scan", "--duration-ms", "1", "--title", "1", "f"}, "--title"},
      {{"update", "check", "--ref"}, "--ref"},
  };
  // clang-format on
  for (const auto& c : wrong) {
    const test::CliResult r = test::Cli(c.args);
    const std::string cmd = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
    EXPECT_EQ(r.code, 2) << cmd << r.err;
    EXPECT_TRUE(r.err.starts_with("discpress-cli: ")) << cmd << r.err;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << cmd << r.err;
    EXPECT_EQ(r.out, "") << cmd;
  }
}

// Whole numbers are decimal, whatever CLI11 would make of a leading zero.
TEST_F(CliHelpTest, NumbersAreDecimal) {
  ASSERT_EQ(test::Cli({"store", "set", "N", "--dword", "010"}).code, 0);
  EXPECT_EQ(test::Cli({"store", "get", "N"}).out, "10\n");
  ASSERT_EQ(test::Cli({"store", "set", "N", "--dword", "+0x1"}).code, 2);
  EXPECT_EQ(test::Cli({"store", "get", "N"}).out, "10\n");
}

// --json texts keep their bytes, and a double is written in full ("%.17g"),
// so the JSON duration reads back as the text output's.
TEST_F(CliHelpTest, JsonKeepsBytesAndDigits) {
  const std::string mpls = std::string(DP_TESTDATA_DIR) + "/mpls/chaptertool/00001_LinkPoint.mpls";
  const std::string text = test::Cli({"mpls", "info", mpls}).out;
  const std::string json = test::Cli({"mpls", "info", "--json", mpls}).out;
  const std::size_t at = text.find("duration=") + 9;
  double duration = 0;
  ASSERT_GT(ReadDouble(std::string_view(text).substr(at), duration), 0u) << text;
  EXPECT_NE(json.find("\"duration\":" + Format("%.17g", duration) + ","), std::string::npos) << json;

  // A record whose path is not UTF-8 (made by swapping bytes into an image,
  // since JSON input must be UTF-8) is listed with those bytes.
  const std::string job = (dir / "job.json").string(), image = (dir / "job.bin").string();
  std::ofstream(job) << "{\"status\":1,\"output_path\":\"/out/MARK\\b\\u0001\"}";
  ASSERT_EQ(test::Cli({"job", "put", "3", "--json", job}).code, 0);
  ASSERT_EQ(test::Cli({"job", "get", "3", "--out", image}).code, 0);
  std::string bytes = test::ReadText(image);
  ASSERT_NE(bytes.find("MARK"), std::string::npos);
  bytes.replace(bytes.find("MARK"), 4, "\xff\xfe\xc3\xa9");
  std::ofstream(image, std::ios::binary) << bytes;
  ASSERT_EQ(test::Cli({"job", "put", "3", "--raw", image}).code, 0);
  EXPECT_EQ(test::Cli({"queue", "list", "--json"}).out,
            "[{\"slot\":3,\"status\":1,\"label\":\"[PENDING]\",\"output_path\":\"/out/"
            "\xff\xfe\xc3\xa9\\u0008\\u0001\"}]\n");
}

}  // namespace
}  // namespace dp
