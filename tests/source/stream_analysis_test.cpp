#include "source/stream_analysis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
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
const MediaInfoApi* FakeApi() {
  static MediaInfoApi api;
  api.New = []() -> void* { return &answers; };
  api.Delete = api.Close = [](void*) {};
  api.Open = [](void*, const char*) -> std::size_t { return 1; };
  api.Get = [](void*, int kind, std::size_t stream, const char* name, int, int) -> const char* {
    static std::string out;
    return (out = answers[Format("%d/%zu/%s", kind, stream, name)]).c_str();
  };
  return &api;
}

// Analyses a file with the system's library, or the answers "k/s/Name=value;..." (after
// one video stream's) with the stand-in.
SourceInventory Analyse(const std::string& path, const char* fake = nullptr, const SourceState& state = {},
                        int is_3d = 0) {
  answers.clear();
  const std::string all =
      std::string("0/0/StreamCount=1;1/0/StreamCount=1;1/0/FrameCount=1510;") + (fake ? fake : "");
  for (auto pair : Tokenize(all, ";"))
    answers[std::string(pair.substr(0, pair.find('=')))] = pair.substr(pair.find('=') + 1);
  SourceInventory inv{};
  inv.source_is_3d = is_3d, inv.source_is_mkv = path.ends_with(".mkv");
  AnalyseStreams(MediaInfoFile::Open(path, nullptr, fake ? FakeApi() : nullptr).get(), path, state, inv);
  return inv;
}

// format|profile|codec id|kbps|full kbps|core|language|pid
std::string Fields(const AudioStream& a) {
  return Format("%s|%s|%s|%d|%d|%d|%s|%d", a.format, a.format_profile, a.codec_id, a.bitrate_kbps,
                a.full_bitrate_kbps, a.has_core, a.language_code, a.pid);
}

TEST(StreamAnalysis, ChapterFileLogAndCoreListing) {
  // clang-format off
  const struct { const char* cap; const char* chapters; } caps[] = {
      {"CHAPTER01=00:00:00.000\r\nCHAPTER01NAME=Chapter 01\r\nCHAPTER02=00:05:00.500\r\nCHAPTER02NAME=x\r\n",
       "00:00:00.000\n00:05:00.500\n"},
      {"CHAPTER01=00:00:00.000\r\nCHAPTER02=00:05:00.500", "00:00:00.000\n"},  // last line cut short
      {"CHAPTER01=0:05\r\n", "none"}, {"", "none"}};
  // clang-format on
  for (const auto& row : caps) {
    SourceInventory inv{};
    ApplyChapterFile(row.cap, inv);
    EXPECT_EQ(inv.no_chapters ? "none" : std::string(FieldText(inv.chapters)), row.chapters) << row.cap;
  }
  EXPECT_TRUE(LogMentionsRightEye("eac3to\r\n3: h264/AVC (Right Eye), 1080p\r\n"));
  EXPECT_FALSE(LogMentionsRightEye("eac3to\r\n\r\n3: h264/AVC (right eye), 1080p\r\n"));

  const std::string made =
      "2: h264\r\n3: DTS Master Audio\r\n   (core: DTS, 5.1 channels, 768kbps, 48kHz)\r\n4: AC3, 640kbps\r\n"
      "5: DTS Hi-Res, 48kHz\r\n   (core: DTS, 5.1 channels, 1509kbps, 48kHz)\r\n13: DTS\r\n   (core: 7kbps, "
      "1kHz)";
  // clang-format off
  const struct { std::string listing; std::vector<const char*> profiles; std::vector<int> kbps; } cores[] = {
      {test::ReadText(DP_TESTDATA_DIR "/eac3to/eac3to-repack_m2ts_stream_listing.txt"), {"MA", "MA"}, {1509, 1509}},
      {made, {"MA", "", "HRA"}, {768, 0, 1509}},
      {"2: h264\r\n3: DTS, 48kHz)\r\n4: DTS\r\n   (core: DTS, 960kbps, 48kHz)", {"HRA", "MA"}, {0, 0}},  // stops
      {made + "\r\n<ERROR>", {"MA"}, {0}}};
  // clang-format on
  for (const auto& row : cores) {
    SourceInventory inv{};
    inv.video_count = 1, inv.audio_count = static_cast<int>(row.profiles.size());
    for (int i = 0; i < inv.audio_count; ++i) CopyText(inv.audio[i].format_profile, row.profiles[i]);
    ApplyCoreBitrates(row.listing, inv);
    for (int i = 0; i < inv.audio_count; ++i)
      EXPECT_EQ(inv.audio[i].bitrate_kbps, row.kbps[i]) << row.listing;
  }
}

TEST(StreamAnalysis, DurationAndAudioRulesAnd3DRecords) {
  // clang-format off
  const struct { const char* rate; const char* ms; const char* title; int join; const char* want; } rows[] = {
      {"23.976", "63000", "0:01:00", 0, "60000|1510.00|0|00:01:03"},  // 3 s longer
      {"23.976", "66000", "0:01:00", 0, "60000|1438.56|1|00:01:03"},  // 6 s longer
      {"48.000", "66000", "0:01:00", 0, "60000|0.00|1|00:01:03"},
      {"25.000", "30000", "0:01:00", 1, "60000|1500.00|0|0:01:00"},
      {"25.000", "66000", "", 0, "66000|1510.00|0|00:01:03"}};
  // clang-format on
  for (const auto& row : rows) {
    SourceState state;
    CopyText(state.title_table[0].duration, row.title);
    state.join_playlist = row.join;
    const std::string fake =
        Format("1/0/FrameRate=%s;1/0/Duration=%s;1/0/Duration/String3=00:01:03.0", row.rate, row.ms);
    const SourceInventory inv = Analyse("/x/00001.m2ts", fake.c_str(), state);
    const VideoStream& v = inv.video[0];
    EXPECT_EQ(Format("%.0f|%.2f|%d|%s", v.duration_ms, v.frame_count, inv.limit_frames, v.duration_text),
              row.want);
  }
  // clang-format off
  const struct { const char* audio; const char* fields; } audio[] = {
      {"2/0/StreamCount=1;2/0/Format=DTS;2/0/Format_Profile=MA / Core;2/0/BitRate=3500000 / 1509000;2/0/CodecID=A_DTS", "DTS|MA|A_DTS|1509|3500|1||0"},
      {"2/0/StreamCount=1;2/0/Format=DTS;2/0/Format_AdditionalFeatures=XBR;2/0/BitRate=2046000;2/0/CodecID=134", "DTS|HRA||1509|2046|1||0"},
      {"2/0/StreamCount=1;2/0/Format=MLP FBA;2/0/Language/String3=en / eng", "TrueHD|||0|0|0|eng|0"}};
  // clang-format on
  for (const auto& row : audio) {
    EXPECT_EQ(Fields(Analyse("/x/00001.m2ts", row.audio).audio[0]), row.fields);
  }

  // A 3D disc: the planes of the SSIF file, the eye flag of the playlist.
  test::TempDir dir;
  for (auto sub : {"BDMV/STREAM/SSIF", "BDMV/PLAYLIST"}) std::filesystem::create_directories(dir / sub);
  std::vector<std::uint8_t> ssif(2048), playlist(64);
  std::memcpy(&ssif[100], "OFMD", 4);
  ssif[110] = 3, playlist[56] = 0x10;  // 3 planes; the base view is the right eye
  test::WriteBytes(dir / "BDMV/STREAM/SSIF/00001.ssif", ssif);
  test::WriteBytes(dir / "BDMV/PLAYLIST/00800.mpls", playlist);
  SourceState state;
  CopyText(state.title_table[0].playlist, "00800.mpls");
  const std::string stream = (dir / "BDMV/STREAM/00001.m2ts").string();
  SourceInventory inv = Analyse(
      stream,
      "1/0/ID/String=4113 (0x1011);1/0/BitRate=30000000;1/0/Format=AVC;3/0/StreamCount=1;3/0/Title=Forzado",
      state, 1);
  GetEyeAsignation(stream, state, inv);
  inv.container[0].total_packets = 1;
  const SourceRings rings = SourceRingTexts(inv);
  ASSERT_EQ(rings.video.size(), 2u);
  EXPECT_EQ(rings.video[0], "4113 :    AVC  right30000 Kbps  (0x0p /  / )");
  EXPECT_EQ(rings.video[1], "4114 :    MVC  left20000 Kbps  (0x0p /  / / 3 3D-planes)");
  EXPECT_EQ(rings.subtitle[0], "0 :      3D-plane undefinedForzado  (0.00 Kbps/ forced subs track?)");
}

TEST(StreamAnalysis, RealBlurayAudioTracks) {
  // clang-format off
  const struct { const char* file; int track; const char* fields; } rows[] = {
      {"Atmos", 0, "AC-3|TrueHD||640|0|1|eng|4352"}, {"Atmos", 1, "E-AC-3|DD+||1280|0|1|eng|4353"},
      {"DTS1", 0, "AC-3|TrueHD||448|0|1|eng|4352"}, {"DTS1", 1, "DTS|MA||1509|0|1|eng|4353"},
      {"DTS1", 8, "AC-3|||448|0|0|slk|4360"}, {"DTS2", 0, "DTS|MA||1509|0|1|eng|4352"},
      {"DTS2", 1, "AC-3|||640|0|0|hun|4353"}};
  // clang-format on
  for (const auto& row : rows) {
    const auto inv = Analyse(Format(DP_TESTDATA_DIR "/ts/mp-mediainfo/Test_H264_%s.m2ts", row.file));
    EXPECT_EQ(Fields(inv.audio[row.track]), row.fields) << row.file;
  }
  const SourceInventory inv = Analyse(DP_TESTDATA_DIR "/ts/mp-mediainfo/Test_H264_DTS2.m2ts");
  EXPECT_EQ(std::vector<int>({inv.container_count, inv.video_count, inv.audio_count, inv.subtitle_count}),
            std::vector<int>({1, 1, 6, 12}));
  EXPECT_EQ(Format("%s|%s", inv.subtitle[1].codec_id, inv.video[0].fps_fraction), "|24000/1001");
  const SourceRings rings = SourceRingTexts(inv);
  EXPECT_EQ(rings.video[0], "4113 :  00:00:00  AVC  (1920x1080p / 23.976 FPS / 16:9)");
  EXPECT_EQ(rings.audio[0], "4352 :  English  DTS MA  (7 ch / Core 1509 Kbps / 48.0 kHz)");
  EXPECT_EQ(rings.audio[1], "4353 :  Hungarian  AC-3  640 Kbps  (6 ch / 48.0 kHz/ -27 dB)");
  EXPECT_EQ(rings.subtitle[1], "4609 :  Greek  PGS  ");
  SourceInventory scanned = inv;
  scanned.container[0].total_packets = 1;
  scanned.subtitle[1].packet_count = 1000;
  scanned.subtitle[1].forced_count = 7;
  EXPECT_EQ(SourceRingTexts(scanned, 3000).subtitle[1],
            "4609 :  Greek  PGS  (490.67 Kbps/ 7 forced captions)");
}

// The Blu-ray clips above cover the transport-stream shapes.
TEST(StreamAnalysis, GeneratedBlurayClip) {
  test::TempDir dir;
  const std::string clip = (dir / "00001.m2ts").string();
  ASSERT_TRUE(test::Ffmpeg(
      "-f lavfi -i testsrc2=size=320x240:rate=24000/1001 -f lavfi -i sine=sample_rate=48000 -t 2 -map 0:v"
      " -map 1:a -map 1:a -c:v libx264 -preset ultrafast -x264-params force-cfr=1 -c:a:0 ac3 -b:a:0 192k"
      " -c:a:1 eac3 -b:a:1 256k -metadata:s:a:1 language=ger -f mpegts -mpegts_m2ts_mode 1 -muxrate 20M"
      " -streamid 0:0x1011 -streamid 1:0x1100 -streamid 2:0x1101",
      {clip}));
  const SourceInventory inv = Analyse(clip);
  EXPECT_EQ(Fields(inv.audio[0]), "AC-3|||192|0|0||4352");
  EXPECT_EQ(Fields(inv.audio[1]), "E-AC-3|DD+||256|0|1|deu|4353");
  const SourceRings rings = SourceRingTexts(inv);
  EXPECT_EQ(rings.video[0].substr(0, 22), "4113 :  00:00:01  AVC ");
  EXPECT_EQ(rings.video[0].substr(rings.video[0].find('(')), "(320x240p / 23.976 FPS / 4:3)");
  EXPECT_EQ(rings.audio[1],
            "4353 :  German  E-AC-3 DD+  (1 ch / Core 256 Kbps / 48.0 kHz/ -31 dB/ delay -5 ms)");
}

TEST(StreamAnalysis, GeneratedMatroska) {
  test::TempDir dir;
  std::ofstream(dir / "s.srt") << "1\n00:00:00,000 --> 00:00:01,000\nHello\n";
  ASSERT_TRUE(test::MakeMatroska(dir / "plain.mkv", 2, "320x240"));
  ASSERT_TRUE(test::Ffmpeg("-i " + (dir / "plain.mkv").string() + " -i " + (dir / "s.srt").string() +
                               " -map 0 -map 1 -c copy -c:s srt -metadata:s:s:0 title=Forced",
                           {(dir / "film.mkv").string()}));
  const SourceInventory mk = Analyse((dir / "film.mkv").string());
  EXPECT_EQ(Fields(mk.audio[0]), "AC-3||A_AC3|192|0|0|eng|2");
  EXPECT_EQ(Format("%d %s", mk.video[0].pid, mk.video[0].fps_fraction), "1 25/1");
  EXPECT_EQ(FieldText(mk.chapters), "00:00:00.000\n00:00:01.000");
  EXPECT_EQ(Format("%s %d", mk.subtitle[0].codec_id, mk.subtitle[0].forced_count), "S_TEXT/UTF8 -1");
}

}  // namespace
}  // namespace dp
