// The muxer stand-in's stream file, read packet by packet: a Blu-ray
// transport stream at the size of what it carries, which ffmpeg reads and
// decodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/media_gen.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

unsigned Byte(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// What the packets of an M2TS file show.
struct Scan {
  bool framed = true;                       // 192-byte packets, each with the sync byte
  bool monotonic = true;                    // arrival stamps never go back (30 bits, wrapping)
  bool continuous = true;                   // no continuity counter skips
  std::map<unsigned, std::size_t> packets;  // by PID
  unsigned pcr_pid = 0;
  std::map<unsigned, unsigned> types;  // stream type by PID, from the PMT
  bool hdmv = false;                   // the PMT's registration descriptor
  bool sit = false;
  std::vector<std::int64_t> pcrs;  // 27 MHz
  std::size_t random_access = 0;   // video packets flagged as a start point
  std::size_t first_null = npos;   // packet number of the first null packet
  std::size_t count = 0;
};

Scan ScanM2ts(const std::string& d) {
  Scan scan;
  scan.framed = !d.empty() && d.size() % 192 == 0;
  std::uint32_t last_ats = 0;
  std::map<unsigned, unsigned> cc;
  for (std::size_t at = 0; scan.framed && at + 192 <= d.size(); at += 192) {
    const std::uint32_t ats =
        ((Byte(d, at) << 24) | (Byte(d, at + 1) << 16) | (Byte(d, at + 2) << 8) | Byte(d, at + 3)) &
        0x3FFFFFFF;
    if (at > 0 && ((ats - last_ats) & 0x3FFFFFFF) >= 0x20000000) scan.monotonic = false;
    last_ats = ats;
    const std::size_t p = at + 4;
    if (Byte(d, p) != 0x47) scan.framed = false;
    const unsigned pid = ((Byte(d, p + 1) & 0x1F) << 8) | Byte(d, p + 2);
    const bool start = Byte(d, p + 1) & 0x40;
    const unsigned control = (Byte(d, p + 3) >> 4) & 3;
    ++scan.packets[pid];
    ++scan.count;
    if (pid == 0x1FFF && scan.first_null == npos) scan.first_null = at / 192;
    if ((control & 1) && pid != 0x1FFF) {
      const unsigned c = Byte(d, p + 3) & 15;
      if (cc.count(pid) && c != ((cc[pid] + 1) & 15)) scan.continuous = false;
      cc[pid] = c;
    }
    if ((control & 2) && Byte(d, p + 4) > 0) {
      const unsigned flags = Byte(d, p + 5);
      if (flags & 0x40) ++scan.random_access;
      if (flags & 0x10) {
        std::int64_t base = 0;
        for (int i = 0; i < 4; ++i) base = (base << 8) | Byte(d, p + 6 + i);
        base = (base << 1) | (Byte(d, p + 10) >> 7);
        scan.pcrs.push_back(base * 300 + (((Byte(d, p + 10) & 1) << 8) | Byte(d, p + 11)));
      }
    }
    const std::size_t s = p + 5;  // a section right after a zero pointer field
    if (!start || control != 1) continue;
    if (pid == 0x1F && Byte(d, s) == 0x7F) scan.sit = true;
    if (pid != 0x100 || Byte(d, s) != 0x02) continue;
    const std::size_t end = s + 3 + (((Byte(d, s + 1) & 0x0F) << 8) | Byte(d, s + 2)) - 4;
    scan.pcr_pid = ((Byte(d, s + 8) & 0x1F) << 8) | Byte(d, s + 9);
    const std::size_t info = ((Byte(d, s + 10) & 0x0F) << 8) | Byte(d, s + 11);
    scan.hdmv = d.substr(s + 12, info).find("HDMV") != npos;
    for (std::size_t i = s + 12 + info; i + 5 <= end;
         i += 5 + (((Byte(d, i + 3) & 0x0F) << 8) | Byte(d, i + 4)))
      scan.types[((Byte(d, i + 1) & 0x1F) << 8) | Byte(d, i + 2)] = Byte(d, i);
  }
  return scan;
}

class BdMux : public ::testing::Test {
 protected:
  // Elementary streams, as the encoder and the demuxer leave them: 4 s of
  // 1080p23.976 H.264 with an I-frame every second, and 448 kbit/s AC-3.
  static void SetUpTestSuite() {
    dir_ = std::make_unique<test::TempDir>();
    made_ = test::Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=24000/1001", "-t", "4", "-c:v",
                          "libx264", "-preset", "ultrafast", "-g", "24", "-sc_threshold", "0", "-f", "h264",
                          Video().string()}) &&
            test::Ffmpeg({"-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "4", "-c:a", "ac3", "-b:a",
                          "448k", "-f", "ac3", Audio().string()});
  }
  static void TearDownTestSuite() { dir_.reset(); }
  static fs::path Video() { return dir_->path() / "Movie.job_1.264"; }
  static fs::path Audio() { return dir_->path() / "Movie.job_1.ac3"; }

  static inline std::unique_ptr<test::TempDir> dir_;
  static inline bool made_ = false;
  test::TempDir tmp_;
};

TEST_F(BdMux, StreamFileIsAVariableRateBlurayTransportStream) {
  ASSERT_TRUE(made_);
  struct Case {
    const char* muxopt;
    const char* audio_options;
    unsigned pcr_pid;
    double seconds;
  } cases[] = {
      // clang-format off
      // As the program writes it: the clock on its own PID.
      {"--no-pcr-on-video-pid --new-audio-pes --avchd --vbr --auto-chapters=5 --vbv-len=500", "", 0x1001, 4.0},
      // The clock on the video PID, the audio late by 40 ms, the title cut.
      {"--new-audio-pes --avchd --vbr --auto-chapters=5 --cut-end=2.50s --vbv-len=300", "timeshift=40ms, ", 0x1011, 2.5},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.muxopt);
    const fs::path meta = tmp_ / "tsmuxer.job_1.meta";
    std::ofstream(meta, std::ios::trunc)
        << "MUXOPT " << c.muxopt << "\nV_MPEG4/ISO/AVC, \"" << Video().string() << "\", fps=23.976\nA_AC3, \""
        << Audio().string() << "\", " << c.audio_options << "lang=fre\n";
    const fs::path out = tmp_ / "OUT";
    fs::remove_all(out);
    const test::ProgramResult r = test::RunProgram(
        {std::string(DP_TOOLS_BUILD_DIR) + "/tsMuxeR/1.10.6/tsMuxeR", meta.string(), out.string()});
    ASSERT_EQ(r.code, 0) << r.out;
    const fs::path m2ts = out / "BDMV" / "STREAM" / "00000.m2ts";
    EXPECT_EQ(std::distance(fs::directory_iterator(m2ts.parent_path()), fs::directory_iterator()), 1)
        << "no scratch file is left beside the stream";

    const std::string data = test::ReadText(m2ts);
    const Scan scan = ScanM2ts(data);
    EXPECT_TRUE(scan.framed);
    EXPECT_TRUE(scan.monotonic);
    EXPECT_TRUE(scan.continuous);
    EXPECT_GT(scan.packets.at(0), 0u);
    EXPECT_TRUE(scan.sit);
    EXPECT_TRUE(scan.hdmv);
    EXPECT_EQ(scan.pcr_pid, c.pcr_pid);
    EXPECT_EQ(scan.types, (std::map<unsigned, unsigned>{{0x1011, 0x1B}, {0x1100, 0x81}}));
    // Null packets only fill the last aligned unit of 32 packets.
    EXPECT_EQ(scan.count % 32, 0u);
    EXPECT_GT(std::min(scan.first_null, scan.count) + 32, scan.count);
    EXPECT_EQ(scan.random_access, static_cast<std::size_t>(c.seconds + 0.99)) << "one per I-frame";
    ASSERT_GT(scan.pcrs.size(), 1u);
    for (std::size_t i = 1; i < scan.pcrs.size(); ++i)
      EXPECT_LE(scan.pcrs[i] - scan.pcrs[i - 1], 2'700'000) << "PCR " << i;

    // The size of what it carries: at most 6 % more than the streams.
    const double carried =
        static_cast<double>(fs::file_size(Video()) + fs::file_size(Audio())) * c.seconds / 4;
    EXPECT_LE(static_cast<double>(data.size()), 1.06 * carried);

    const std::string duration = test::RunProgram({"ffprobe", "-v", "error", "-show_entries",
                                                   "format=duration", "-of", "csv=p=0", m2ts.string()})
                                     .out;
    EXPECT_NEAR(LeadingDouble(duration), c.seconds, 1.001 / 24) << duration;
  }
}

TEST_F(BdMux, ARemuxKeepsEveryTracksTimestamps) {
  // A source whose clock starts at 11.4 s, with B-frames (the first picture
  // shown after the first decoded) and the audio starting before the video;
  // a remux names the file once per track.
  const fs::path source = tmp_ / "source.m2ts";
  ASSERT_TRUE(test::Ffmpeg(
      "-f lavfi -i testsrc2=size=320x240:rate=24000/1001 -f lavfi -i sine=sample_rate=48000 -t 1 "
      "-c:v libx264 -preset ultrafast -bf 2 -c:a ac3 -streamid 0:0x1011 -streamid 1:0x1100 "
      "-output_ts_offset 10 -mpegts_m2ts_mode 1",
      {source.string()}));
  const fs::path meta = tmp_ / "tsmuxer.job_3.meta";
  std::ofstream(meta) << "MUXOPT --no-pcr-on-video-pid --new-audio-pes --blu-ray --vbr --vbv-len=500\n"
                      << "V_MPEG4/ISO/AVC, \"" << source.string() << "\", track=4113, fps=23.976\n"
                      << "A_AC3, \"" << source.string() << "\", track=4352, lang=eng\n";
  const fs::path out = tmp_ / "OUT";
  const test::ProgramResult r = test::RunProgram(
      {std::string(DP_TOOLS_BUILD_DIR) + "/tsMuxeR/1.10.6/tsMuxeR", meta.string(), out.string()});
  ASSERT_EQ(r.code, 0) << r.out;
  // The first video and audio PTS, in 90 kHz ticks.
  auto starts = [](const fs::path& file) {
    return test::RunProgram({"ffprobe", "-v", "error", "-show_entries", "stream=start_pts", "-of", "csv=p=0",
                             file.string()})
        .out;
  };
  const std::string before = starts(source);
  ASSERT_NE(LeadingInt64(before), 0);
  EXPECT_EQ(starts(out / "BDMV" / "STREAM" / "00000.m2ts"), before);
}

}  // namespace
}  // namespace dp
