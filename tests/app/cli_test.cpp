// discpress-cli from the outside: each command's output and exit code. Every
// run has a decimal-comma LC_NUMERIC (when that locale is installed), so a
// number read or written through the process locale shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/cli.h"
#include "support/temp_dir.h"

namespace dp {
namespace {

const std::string kReal = DP_TESTDATA_DIR;

struct Case {
  std::vector<std::string> args;
  int code;
  const char* out = nullptr;  // the whole output; null: only `holds` is checked
  std::vector<std::string> holds = {};
  std::vector<std::string> env = {};
};

class CliTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("HOME", dir.path().c_str(), 1);
    setenv("TMPDIR", dir.path().c_str(), 1);
    setenv("LC_NUMERIC", "de_DE.UTF-8", 1);
  }
  void TearDown() override { unsetenv("LC_NUMERIC"); }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  }
  // The cases run in order on one store.
  void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      const test::CliResult r = test::Cli(c.args, c.env);
      std::string cmd;
      for (const std::string& a : c.args) cmd += a + " ";
      EXPECT_EQ(r.code, c.code) << cmd << r.err;
      if (c.out) {
        EXPECT_EQ(r.out, c.out) << cmd;
      }
      for (const std::string& h : c.holds) EXPECT_NE(r.out.find(h), std::string::npos) << cmd << r.out;
    }
  }
};

TEST_F(CliTest, PureCommands) {
  const std::string mpls = kReal + "/mpls/", clip = kReal + "/ts/mp-mediainfo/Test_H264_AC3.m2ts";
  // clang-format off
  Check({
      {{"lang", "name", "jpn"}, 0, "Japanse\n"},
      {{"lang", "alpha3", "hy"}, 0, "arm\n"},
      {{"time", "seconds-to-hms", "3725.9"}, 0, "1:02:05\n"},
      {{"time", "hms-to-s", ":30"}, 0, "108000\n"},
      {{"time", "hms-to-ms", "0:00:01.5"}, 0, "1000\n"},
      {{"time", "fraction", "24000/1001"}, 0, "23.976023976023978\n"},
      {{"nonsense"}, 2},
      {{"title", "parse", "Film.2012.BluRay"}, 0, "Film (2012)\n"},
      {{"title", "parse", "--skip-year", "Film.2012.BluRay"}, 0, "Film 2012\n"},
      // Arguments are UTF-8 even under "C".
      {{"title", "case", "\xC3\xA9lan"}, 0, "\xC3\x89lan\n", {}, {"LC_ALL=C"}},
      {{"title", "safe", "Who?"}, 0, "Who\n"},
      {{"title", "url", "a b"}, 0, "a+b\n"},
      {{"mpls", "info", mpls + "chaptertool/00001_LinkPoint.mpls"}, 0,
       "result=1 duration=3620.825533333333 video=1 audio=1 pg=0 chapters=9 clip=00001\n"},
      {{"mpls", "info", "--json", mpls + "domyd-mpls/multi-angle.mpls"}, 0, nullptr,
       {"{\"result\":2,\"duration\":37.12", "\"pg\":26,\"chapters\":0,\"clip\":\"00081\"}"}},
      // A damaged file's clip name holds a line break; the text stays one line.
      {{"mpls", "info", mpls + "chaptertool/00001_Invalid.mpls"}, 0,
       "result=2 duration=-6334.992444444444 video=51 audio=61 pg=48 chapters=0 clip=43?CH\n"},
      // A real disc's two extras of exactly 210.21 s share one layout.
      {{"mpls", "similar", mpls + "bdpl/disc7/PLAYLIST/00005.mpls"}, 1, ""},
      {{"mpls", "start-time", mpls + "bdpl/disc7/PLAYLIST/00005.mpls"}, 0, "start_time=0 plane_count=0\n"},
      {{"mpls", "info", mpls + "no-such.mpls"}, 1, ""},
      // A real camcorder clip: 24 packets of the video PID, 375 of the audio
      // PID, the rest PAT, PMT, SIT, PCR and null packets.
      {{"scan", "--duration-ms", "3000.5", "--video", "0x1011", "--audio", "0x1100", clip}, 0,
       "video\t4113\t24\t12\naudio\t4352\t375\t192\ntotal_packets\t448\nscanned_packets\t448\nscan_state\t1\n"},
      {{"scan", "--duration-ms", "1", "--video", "9000", clip}, 2, ""},
  });
  // clang-format on
}

TEST_F(CliTest, StoreJobsQueueAndSettings) {
  const std::string job =
      Write("job.json",
            "{\"status\":1,\"video_rate\":4500.0,\"target_media\":0,\"output_path\":\"/out/a\","
            "\"target_label\":\"AVCHD BD5\",\"x264_preset\":\"medium\",\"use_x265\":false}");
  const std::string image = (dir / "job4.bin").string();
  // clang-format off
  Check({
      {{"store", "set", "TempPath", "--sz", "/tmp/x y"}, 0},
      {{"store", "set", "CRF", "--dword", "18"}, 0},
      {{"store", "set", "Blob", "--binary", Write("b.bin", std::string("\x01\xff", 2))}, 0},
      {{"store", "get", "TempPath"}, 0, "/tmp/x y\n"},
      {{"store", "get", "crf"}, 0, "18\n"},
      {{"store", "get", "Blob"}, 0, "01ff\n"},
      {{"store", "list"}, 0, "Blob\tREG_BINARY\t2\nCRF\tREG_DWORD\t4\nTempPath\tREG_SZ\t9\n"},
      {{"store", "set", "CRF", "--dword", "-1"}, 2},
      {{"store", "delete", "Blob"}, 0},
      {{"store", "get", "Blob"}, 1},
      {{"store", "delete", "CRF"}, 0},
      {{"store", "delete", "TempPath"}, 0},
      {{"settings", "show"}, 0, nullptr, {"AudioLang\tfra\n", "CRF\t20\n"}, {"LANG=fr_FR.UTF-8"}},
      {{"settings", "set", "CRF", "18"}, 0},
      {{"settings", "set", "NoSuchSetting", "1"}, 2},
      {{"store", "get", "CRF"}, 0, "18\n"},
      {{"job", "put", "4", "--json", job}, 0},
      {{"job", "put", "6", "--json", job}, 0},
      {{"queue", "list"}, 0, "4\t1\t[PENDING]\t/out/a\n6\t1\t[PENDING]\t/out/a\n"},
      {{"queue", "view"}, 0, nullptr, {"[PENDING]     /out/a (AVCHD BD5 / 4500 Kbps / medium)\n",
                                        "\n  Target video: AVC / AVCHD BD5 / 4500 Kbps / tune  / preset medium\n"}},
      {{"job", "show", "4", "--json"}, 0, nullptr, {"\"video_rate\":4500", "\"output_path\":\"/out/a\""}},
      {{"job", "get", "4", "--out", image}, 0},
      {{"job", "put", "9", "--raw", image}, 0},
      {{"job", "put", "9", "--raw", job}, 1},  // not a record image
      {{"job", "put", "9", "--json", Write("bad.json", "{\"no_such_field\":1}")}, 1},
      {{"job", "show", "100"}, 2},
      {{"queue", "up", "6"}, 0},    // into the empty slot 5
      {{"queue", "down", "9"}, 1},  // never into an empty slot
      {{"queue", "remove", "4"}, 0},
      {{"queue", "list"}, 0, "5\t1\t[PENDING]\t/out/a\n9\t1\t[PENDING]\t/out/a\n"},
  });
  // clang-format on
  EXPECT_EQ(std::filesystem::file_size(image), 7496u);
}

// A one-byte flag holds 0 or 1: JSON with another number is refused, and a
// record image with 2 there (put raw, or planted in the store) is read as 1;
// the bytes beside the flags stay as they are.
TEST_F(CliTest, FlagsAreZeroOrOne) {
  std::string image(7496, '\0');
  image[0] = 1;  // pending
  for (int at : {33, 34, 7465, 7466, 7467, 7468, 7487, 7488, 7490}) image[at] = 2;
  image[7489] = '\xff';  // subtitle_3d_plane -1
  // clang-format off
  Check({
      {{"job", "put", "0", "--json", Write("two.json", "{\"status\":1,\"use_x265\":2}")}, 1},
      {{"queue", "list"}, 0, ""},
      {{"job", "put", "0", "--json", Write("one.json", "{\"status\":1,\"use_x265\":1}")}, 0},
      {{"job", "put", "1", "--raw", Write("raw.bin", image)}, 0},
      {{"job", "show", "1", "--json"}, 0, nullptr,
       {"\"audio_untouched_hd\":1,\"interlaced_avc\":1,", "\"source_is_mkv\":1,\"audio_to_16bit\":1,\"audio_downmix_51\":1,\"mode_3d\":2,",
        "\"source_is_playlist\":1,\"use_x265\":1,\"subtitle_3d_plane\":-1,\"limit_frames\":1,"}},
      // Removing a job lists its temporary files, which reads every flag.
      {{"store", "set", "Job_2", "--binary", Write("planted.bin", image)}, 0},
      {{"queue", "remove", "2"}, 0},
      {{"queue", "list"}, 0, "0\t1\t[PENDING]\t\n1\t1\t[PENDING]\t\n"},
  });
  // clang-format on
}

}  // namespace
}  // namespace dp
