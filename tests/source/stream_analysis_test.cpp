#include "source/stream_analysis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "source/mediainfo.h"
#include "support/files.h"
#include "support/media_gen.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

// A stand-in library answering "kind/stream/parameter" from a table.
std::map<std::string, std::string> answers;
MediaInfoApi FakeApi() {
  static int handle;
  MediaInfoApi api;
  api.New = []() -> void* { return &handle; };
  api.Delete = api.Close = [](void*) {};
  api.Open = [](void*, const char*) -> std::size_t { return 1; };
  api.Get = [](void*, int kind, std::size_t stream, const char* name, int, int) -> const char* {
    static std::string out;
    out = answers[Format("%d/%zu/%s", kind, stream, name)];
    return out.c_str();
  };
  api.GetI = [](void*, int, std::size_t, std::size_t, int) -> const char* { return ""; };
  api.CountGet = [](void*, int, std::size_t) -> std::size_t { return 0; };
  return api;
}

// Analyses "k/s/Name=value;..." answers; `more` is appended to the common ones.
SourceInventory AnalyseFake(const std::string& more, const SourceState& state, int is_3d = 0,
                            const std::string& path = "/x/00001.m2ts") {
  answers.clear();
  const std::string all = "0/0/StreamCount=1;1/0/StreamCount=1;1/0/FrameCount=1510;" + more;
  for (auto pair : Tokenize(all, ";")) {
    const std::size_t eq = pair.find('=');
    answers[std::string(pair.substr(0, eq))] = std::string(pair.substr(eq + 1));
  }
  static const MediaInfoApi api = FakeApi();
  std::string error;
  const auto file = MediaInfoFile::Open(path, &error, &api);
  SourceInventory inv{};
  inv.source_is_3d = is_3d;
  AnalyseStreams(file.get(), path, state, inv);
  return inv;
}

TEST(StreamAnalysis, ChapterFileLogAndCoreListing) {
  // clang-format off
  const struct { const char* cap; const char* chapters; int none; } caps[] = {
      {"CHAPTER01=00:00:00.000\r\nCHAPTER01NAME=Chapter 01\r\nCHAPTER02=00:05:00.500\r\nCHAPTER02NAME=x\r\n",
       "00:00:00.000\n00:05:00.500\n", 0},
      {"CHAPTER01=00:00:00.000\r\nCHAPTER02=00:05:00.500", "00:00:00.000\n", 0},  // last line cut short
      {"CHAPTER01=0:05\r\n", "", 1},
      {"", "", 1}};
  // clang-format on
  for (const auto& row : caps) {
    SourceInventory inv{};
    ApplyChapterFile(row.cap, inv);
    EXPECT_EQ(FieldText(inv.chapters), row.chapters) << row.cap;
    EXPECT_EQ(inv.no_chapters, row.none) << row.cap;
  }
  EXPECT_TRUE(LogMentionsRightEye("eac3to\r\n3: h264/AVC (Right Eye), 1080p\r\n"));
  EXPECT_FALSE(LogMentionsRightEye("eac3to\r\n\r\n3: h264/AVC (right eye), 1080p\r\n"));

  const std::string real = test::ReadText(DP_TESTDATA_DIR "/eac3to/eac3to-repack_m2ts_stream_listing.txt");
  const std::string made =
      "2: h264\r\n3: DTS Master Audio\r\n   (core: DTS, 5.1 channels, 768kbps, 48kHz)\r\n4: AC3, 640kbps\r\n"
      "5: DTS Hi-Res, 48kHz\r\n   (core: DTS, 5.1 channels, 1509kbps, 48kHz)\r\n13: DTS\r\n   (core: 7kbps, "
      "1kHz)";
  // clang-format off
  const struct { std::string listing; std::vector<const char*> profiles; std::vector<int> kbps; } cores[] = {
      {real, {"MA", "MA"}, {1509, 1509}},
      {made, {"MA", "", "HRA"}, {768, 0, 1509}},
      {"2: h264\r\n3: DTS, 48kHz)\r\n4: DTS\r\n   (core: DTS, 960kbps, 48kHz)", {"HRA", "MA"}, {0, 0}},  // no core: stop
      {made + "\r\n<ERROR>", {"MA"}, {0}}};
  // clang-format on
  for (const auto& row : cores) {
    SourceInventory inv{};
    inv.video_count = 1;
    inv.audio_count = static_cast<int>(row.profiles.size());
    for (int i = 0; i < inv.audio_count; ++i) CopyText(inv.audio[i].format_profile, row.profiles[i]);
    ApplyCoreBitrates(row.listing, inv);
    for (int i = 0; i < inv.audio_count; ++i)
      EXPECT_EQ(inv.audio[i].bitrate_kbps, row.kbps[i]) << row.listing;
  }
}

TEST(StreamAnalysis, DurationAgainstTheTitle) {
  // clang-format off
  const struct { const char* rate; const char* ms; const char* title; int join; double duration, frames; int limit; const char* text; } rows[] = {
      {"23.976", "63000", "0:01:00", 0, 60000, 1510, 0, "00:01:03"},
      {"23.976", "66000", "0:01:00", 0, 60000, 60 * 24000 / 1001.0, 1, "00:01:03"},
      {"48.000", "66000", "0:01:00", 0, 60000, 0, 1, "00:01:03"},
      {"25.000", "30000", "0:01:00", 1, 60000, 1500, 0, "0:01:00"},
      {"25.000", "66000", "", 0, 66000, 1510, 0, "00:01:03"}};
  // clang-format on
  for (const auto& row : rows) {
    SourceState state;
    CopyText(state.title_table[0].duration, row.title);
    state.join_playlist = row.join;
    const SourceInventory inv = AnalyseFake(
        Format("1/0/FrameRate=%s;1/0/Duration=%s;1/0/Duration/String3=00:01:03.000", row.rate, row.ms),
        state);
    EXPECT_EQ(inv.video[0].duration_ms, row.duration) << row.rate << row.ms;
    EXPECT_NEAR(inv.video[0].frame_count, row.frames, 1e-6) << row.rate << row.ms;
    EXPECT_EQ(inv.limit_frames, row.limit) << row.rate << row.ms;
    EXPECT_EQ(FieldText(inv.video[0].duration_text), row.text);
  }
}

std::string Prefixed(const std::string& prefix, std::string_view pairs) {
  std::string out;
  for (auto pair : Tokenize(pairs, ";")) out += prefix + std::string(pair) + ";";
  return out;
}

TEST(StreamAnalysis, AudioRulesAndThe3DRecords) {
  // clang-format off
  const struct { const char* audio; const char* format; const char* profile; const char* codec; int kbps, full, core; } rows[] = {
      {"Format=DTS;Format_Profile=MA / Core;BitRate=3500000 / 1509000;CodecID=A_DTS", "DTS", "MA", "A_DTS", 1509, 3500, 1},
      {"Format=DTS;Format_AdditionalFeatures=XBR;BitRate=2046000;CodecID=134", "DTS", "HRA", "", 1509, 2046, 1},
      {"Format=MLP FBA;Format/String=MLP FBA 16-ch;CodecID=A_TRUEHD", "TrueHD", "", "A_TRUEHD", 0, 0, 0}};
  // clang-format on
  for (const auto& row : rows) {
    const SourceInventory inv = AnalyseFake(Prefixed("2/0/", std::string("StreamCount=1;") + row.audio), {});
    const AudioStream& a = inv.audio[0];
    EXPECT_EQ(FieldText(a.format), row.format) << row.audio;
    EXPECT_EQ(FieldText(a.format_profile), row.profile) << row.audio;
    EXPECT_EQ(FieldText(a.codec_id), row.codec) << row.audio;
    EXPECT_EQ(std::vector<int>({a.bitrate_kbps, a.full_bitrate_kbps, a.has_core}),
              std::vector<int>({row.kbps, row.full, row.core}))
        << row.audio;
  }

  // A 3D disc: the planes of the SSIF file, the eye flag of the playlist.
  test::TempDir dir;
  std::filesystem::create_directories(dir / "BDMV/STREAM/SSIF");
  std::filesystem::create_directories(dir / "BDMV/PLAYLIST");
  std::vector<std::uint8_t> ssif(2048), playlist(64);
  std::memcpy(&ssif[100], "OFMD", 4);
  ssif[110] = 3;
  playlist[56] = 0x10;
  test::WriteBytes(dir / "BDMV/STREAM/SSIF/00001.ssif", ssif);
  test::WriteBytes(dir / "BDMV/PLAYLIST/00800.mpls", playlist);
  SourceState state;
  CopyText(state.title_table[0].playlist, "00800.mpls");
  const std::string stream = (dir / "BDMV/STREAM/00001.m2ts").string();
  SourceInventory inv = AnalyseFake(Prefixed("1/0/", "ID/String=4113 (0x1011);BitRate=30000000;Format=AVC") +
                                        "3/0/StreamCount=1;3/0/Title=Forzado",
                                    state, 1, stream);
  GetEyeAsignation(stream, state, inv);
  ASSERT_EQ(inv.video_count, 2);
  EXPECT_EQ(inv.video[0].bitrate_kbps, 30000);
  EXPECT_EQ(inv.subtitle[0].forced_count, kForcedTrack);
  const SourceRings rings = SourceRingTexts(inv);
  EXPECT_EQ(rings.video[0], "4113 :    AVC  right30000 Kbps  (0x0p /  / )");
  EXPECT_EQ(rings.video[1], "4114 :    MVC  left20000 Kbps  (0x0p /  / / 3 3D-planes)");
  EXPECT_EQ(rings.subtitle[0], "0 :      3D-plane undefinedForzado  ");
}

}  // namespace
}  // namespace dp
