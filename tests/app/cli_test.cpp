// discpress-cli from the outside: the store, settings, job and queue
// commands and the small pure ones, with their output and exit codes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "support/media_gen.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

class CliTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("HOME", dir.path().c_str(), 1);
    setenv("TMPDIR", dir.path().c_str(), 1);
  }
  test::ProgramResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), DP_CLI_PATH);
    return test::RunProgram(args);
  }
  std::string Write(const std::string& name, const std::string& text) {
    const auto path = dir / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
};

TEST_F(CliTest, StoreValuesByType) {
  EXPECT_EQ(Cli({"store", "set", "TempPath", "--sz", "/tmp/x y"}).code, 0);
  EXPECT_EQ(Cli({"store", "set", "CRF", "--dword", "18"}).code, 0);
  EXPECT_EQ(Cli({"store", "set", "Blob", "--binary", Write("b.bin", std::string("\x01\xff", 2))}).code, 0);
  EXPECT_EQ(Cli({"store", "get", "TempPath"}).out, "/tmp/x y\n");
  EXPECT_EQ(Cli({"store", "get", "crf"}).out, "18\n");
  EXPECT_EQ(Cli({"store", "get", "Blob"}).out, "01ff\n");
  EXPECT_EQ(Cli({"store", "list"}).out, "Blob\tREG_BINARY\t2\nCRF\tREG_DWORD\t4\nTempPath\tREG_SZ\t9\n");
  EXPECT_EQ(Cli({"store", "delete", "Blob"}).code, 0);
  EXPECT_EQ(Cli({"store", "get", "Blob"}).code, 1);
  EXPECT_EQ(Cli({"store", "set", "CRF", "--dword", "-1"}).code, 2);
  EXPECT_EQ(Cli({"store", "frobnicate"}).code, 2);
}

TEST_F(CliTest, JobsAndTheQueue) {
  const std::string job =
      Write("job.json",
            "{\"status\":1,\"video_rate\":4500,\"target_media\":0,\"output_path\":\"/out/a\","
            "\"target_label\":\"AVCHD BD5\",\"x264_preset\":\"medium\",\"use_x265\":false}");
  EXPECT_EQ(Cli({"job", "put", "4", "--json", job}).code, 0);
  EXPECT_EQ(Cli({"job", "put", "6", "--json", job}).code, 0);
  EXPECT_EQ(Cli({"queue", "list"}).out, "4\t1\t[PENDING]\t/out/a\n6\t1\t[PENDING]\t/out/a\n");
  const std::string view = Cli({"queue", "view"}).out;
  EXPECT_EQ(view.substr(0, view.find('\n')), "[PENDING]     /out/a (AVCHD BD5 / 4500 Kbps / medium)");
  EXPECT_NE(view.find("\n  Target video: AVC / AVCHD BD5 / 4500 Kbps / tune  / preset medium\n"),
            std::string::npos);

  const std::string shown = Cli({"job", "show", "4", "--json"}).out;
  EXPECT_NE(shown.find("\"video_rate\":4500"), std::string::npos);
  EXPECT_NE(shown.find("\"output_path\":\"/out/a\""), std::string::npos);
  const std::string image = (dir / "job4.bin").string();
  EXPECT_EQ(Cli({"job", "get", "4", "--out", image}).code, 0);
  EXPECT_EQ(std::filesystem::file_size(image), 7496u);
  EXPECT_EQ(Cli({"job", "put", "9", "--raw", image}).code, 0);
  EXPECT_EQ(Cli({"job", "put", "9", "--raw", job}).code, 1);  // not a record image
  EXPECT_EQ(Cli({"job", "put", "9", "--json", Write("bad.json", "{\"no_such_field\":1}")}).code, 1);
  EXPECT_EQ(Cli({"job", "show", "100"}).code, 2);

  EXPECT_EQ(Cli({"queue", "up", "6"}).code, 0);    // into the empty slot 5
  EXPECT_EQ(Cli({"queue", "down", "9"}).code, 1);  // never into an empty slot
  EXPECT_EQ(Cli({"queue", "remove", "4"}).code, 0);
  EXPECT_EQ(Cli({"queue", "list"}).out, "5\t1\t[PENDING]\t/out/a\n9\t1\t[PENDING]\t/out/a\n");
}

// A one-byte flag holds 0 or 1: JSON with another number is refused, and a
// record image with 2 there (put raw, or planted in the store) is read as 1.
TEST_F(CliTest, FlagsAreZeroOrOne) {
  EXPECT_EQ(Cli({"job", "put", "0", "--json", Write("two.json", "{\"status\":1,\"use_x265\":2}")}).code, 1);
  EXPECT_EQ(Cli({"queue", "list"}).out, "");
  EXPECT_EQ(Cli({"job", "put", "0", "--json", Write("one.json", "{\"status\":1,\"use_x265\":1}")}).code, 0);

  std::string image(7496, '\0');
  image[0] = 1;                 // pending
  image[7488] = 2;              // use_x265
  image[33] = image[7490] = 2;  // audio_untouched_hd, limit_frames
  EXPECT_EQ(Cli({"job", "put", "1", "--raw", Write("raw.bin", image)}).code, 0);
  const std::string shown = Cli({"job", "show", "1", "--json"}).out;
  EXPECT_NE(shown.find("\"use_x265\":1,"), std::string::npos) << shown;
  EXPECT_NE(shown.find("\"limit_frames\":1,"), std::string::npos) << shown;
  // Removing a job lists its temporary files, which reads every flag.
  EXPECT_EQ(Cli({"store", "set", "Job_2", "--binary", Write("planted.bin", image)}).code, 0);
  EXPECT_EQ(Cli({"queue", "remove", "2"}).code, 0);
  EXPECT_EQ(Cli({"queue", "list"}).out, "0\t1\t[PENDING]\t\n1\t1\t[PENDING]\t\n");
}

// A store that cannot be written is still read; a change to it fails.
TEST_F(CliTest, AReadOnlyStoreIsReadAndChangesFail) {
  ASSERT_EQ(
      Cli({"job", "put", "0", "--json", Write("job.json", "{\"status\":1,\"output_path\":\"/o\"}")}).code, 0);
  ASSERT_EQ(Cli({"settings", "show"}).code, 0);
  for (const char* sub : {"", "config", "config/DiscPress"}) ::chmod((dir / sub).c_str(), 0755);
  ASSERT_EQ(::chmod((dir / "config/DiscPress/store.db").c_str(), 0444), 0);
  // Root writes a read-only file anyway: run the commands as another user.
  auto as_user = [](std::vector<std::string> args) {
    args.insert(args.begin(), DP_CLI_PATH);
    if (::geteuid() == 0)
      args.insert(args.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return test::RunProgram(args);
  };
  const auto list = as_user({"queue", "list"});
  EXPECT_EQ(list.code, 0);
  EXPECT_EQ(list.out, "0\t1\t[PENDING]\t/o\n");
  EXPECT_EQ(as_user({"settings", "set", "CRF", "18"}).code, 1);
  EXPECT_EQ(as_user({"job", "put", "1", "--json", (dir / "job.json").string()}).code, 1);
  EXPECT_EQ(Cli({"store", "get", "CRF"}).out, "20\n");
}

TEST_F(CliTest, SettingsLanguagesAndTime) {
  setenv("LANG", "fr_FR.UTF-8", 1);
  const std::string settings = Cli({"settings", "show"}).out;
  EXPECT_NE(settings.find("AudioLang\tfra\n"), std::string::npos);
  EXPECT_NE(settings.find("CRF\t20\n"), std::string::npos);
  EXPECT_EQ(Cli({"settings", "set", "CRF", "18"}).code, 0);
  EXPECT_EQ(Cli({"store", "get", "CRF"}).out, "18\n");
  EXPECT_EQ(Cli({"settings", "set", "NoSuchSetting", "1"}).code, 2);
  unsetenv("LANG");

  EXPECT_EQ(Cli({"lang", "name", "jpn"}).out, "Japanse\n");
  EXPECT_EQ(Cli({"lang", "alpha3", "hy"}).out, "arm\n");
  EXPECT_EQ(Cli({"lang", "name", "xx"}).out, "");
  EXPECT_EQ(Cli({"time", "seconds-to-hms", "3725.9"}).out, "1:02:05\n");
  EXPECT_EQ(Cli({"time", "hms-to-s", ":30"}).out, "108000\n");
  EXPECT_EQ(Cli({"time", "hms-to-ms", "0:00:01.5"}).out, "1000\n");
  EXPECT_EQ(Cli({"nonsense"}).code, 2);
}

}  // namespace
}  // namespace dp
