// Counting packets, the final arithmetic and the choice of files: the
// scanner's pieces without its thread.
#include "scanner/ts_packet.h"

#include "scanner/ts_bytes.h"

namespace dp {
namespace {

TEST(ProcesaPacket, CountsEachPidInTheFirstTableThatListsIt) {
  // 0x1011 in video and audio, 0x1100 in audio and subtitles: the first wins.
  // System PIDs are never counted, even when a table lists them.
  ScanCounts counts(Streams({0x1011}, {0x1100, 0x1011, 0x1001, 0x1004}, {0x1200, 0x1100, 0x0100}));
  Bytes b;
  for (int pid : {0x0000, 0x0100, 0x1001, 0x1003, 0x1FFF, 0x1011, 0x1011, 0x1011, 0x1004, 0x1004, 0x1100,
                  0x1100, 0x1200, 0x1200}) {
    AddPacket(b, pid);
  }
  b[b.size() - kSourcePacketSize + 5] |= 0xE0;  // the bits above the PID's 13 are ignored
  const std::size_t whole = b.size();
  b.resize(whole + 100, 0x47);  // a partial packet at the end is not counted

  EXPECT_EQ(ProcesaPacket(counts, b.data(), static_cast<int>(b.size())), 0);
  EXPECT_EQ(counts.scanned_packets(), whole / kSourcePacketSize);
  const std::vector<std::uint32_t> got = {counts.video_packets(0),    counts.audio_packets(0),
                                          counts.audio_packets(1),    counts.audio_packets(2),
                                          counts.audio_packets(3),    counts.subtitle_packets(0),
                                          counts.subtitle_packets(1), counts.subtitle_packets(2)};
  EXPECT_EQ(got, (std::vector<std::uint32_t>{3, 2, 0, 0, 2, 2, 0, 0}));
  // Less than one packet (the tail of a truncated file) is nothing to count,
  // not a sync error.
  EXPECT_EQ(ProcesaPacket(counts, Bytes(191, 0).data(), 191), 0);
  EXPECT_EQ(counts.scanned_packets(), whole / kSourcePacketSize);
}

TEST(ProcesaPacket, CountsForcedEpochStartsOfSubtitleStreamsOnly) {
  ScanCounts counts(Streams({0x1011}, {0x1100}, {0x1200, 0x1201}));
  Bytes b;
  AddComposition(b, 0x1200, 0x80, 0x40);  // forced epoch start
  AddComposition(b, 0x1200, 0x80, 0xC0);  // forced and cropped: only the forced bit is read
  AddComposition(b, 0x1200, 0x80, 0x80);  // cropped, not forced
  AddComposition(b, 0x1200, 0x00, 0x40);  // normal case, not an epoch start
  AddComposition(b, 0x1201, 0x80, 0x40);
  AddComposition(b, 0x1100, 0x80, 0x40);  // the same bytes in an audio packet
  // Each other byte of the test off by itself.
  for (int offset : {kPesHeaderLengthOffset, kPtsFirstByteOffset, kSegmentTypeOffset}) {
    AddComposition(b, 0x1201, 0x80, 0x40);
    b[b.size() - kSourcePacketSize + static_cast<std::size_t>(offset)] ^= 0x01;
  }

  EXPECT_EQ(ProcesaPacket(counts, b.data(), static_cast<int>(b.size())), 0);
  EXPECT_EQ(counts.subtitle_packets(0), 4u);
  EXPECT_EQ(counts.subtitle_forced(0), 2u);
  EXPECT_EQ(counts.subtitle_packets(1), 4u);
  EXPECT_EQ(counts.subtitle_forced(1), 1u);
  EXPECT_EQ(counts.audio_packets(0), 1u);
}

ScanResult Counted(std::uint64_t total, std::uint64_t scanned, double duration_ms, std::uint32_t video,
                   std::uint32_t audio) {
  ScanResult r;
  r.total_packets = total;
  r.scanned_packets = scanned;
  r.duration_ms = duration_ms;
  r.video_count = r.audio_count = r.subtitle_count = 1;
  r.video[0].packet_count = video;
  r.audio[0].packet_count = r.subtitle[0].packet_count = audio;
  FinalScan(r);
  return r;
}

TEST(FinalScan, BitratesFromCountsAndPlayingTime) {
  // A whole title of an hour; audio and subtitles count the whole packet.
  ScanResult r = Counted(5000000, 5000000, 3600000, 1000000, 100000);
  EXPECT_EQ(r.video[0].scanned_bitrate_kbps, 409);  // 408.89
  EXPECT_EQ(r.audio[0].scanned_bitrate_kbps, 43);   // 42.67
  EXPECT_EQ(r.subtitle[0].scanned_bitrate_kbps, 43);
  // A scan stopped after a quarter of the packets stands for a quarter of
  // the title.
  r = Counted(4000000, 1000000, 3600000, 250000, 0);
  EXPECT_DOUBLE_EQ(r.elapsed_ms, 900000);
  EXPECT_EQ(r.video[0].scanned_bitrate_kbps, 409);
  // Exact halves go to the even integer: 0.5 kbit/s per packet.
  EXPECT_EQ(Counted(1, 1, 2944, 5, 0).video[0].scanned_bitrate_kbps, 2);

  // Nothing to measure (empty files, no usable duration): 0.
  for (const ScanResult& none : {Counted(0, 0, 3600000, 500, 300), Counted(1000, 1000, -5, 500, 300),
                                 Counted(1000, 1000, std::numeric_limits<double>::quiet_NaN(), 500, 300)})
    EXPECT_EQ(none.video[0].scanned_bitrate_kbps + none.audio[0].scanned_bitrate_kbps, 0) << none.duration_ms;
  // A subtitle stream without counted captions that stays sparse for ten
  // minutes is taken as forced-only; both comparisons are strict.
  EXPECT_EQ(ClassifySparseTrack(0, 600001, 3.9), kForcedTrack);
  EXPECT_EQ(ClassifySparseTrack(0, 600000, 3.9), 0);
  EXPECT_EQ(ClassifySparseTrack(0, 700000, 4.0), 0);
  EXPECT_EQ(ClassifySparseTrack(12, 700000, 0.1), 12);
  // A vanishing playing time gives a huge rate, kept in range.
  EXPECT_EQ(Counted(4000000000u, 4000000000u, 1e-300, 4000000000u, 0).video[0].scanned_bitrate_kbps,
            std::numeric_limits<std::int32_t>::max());
}

TEST(ChooseScanFiles, OneFileOrEachClipOfTheList) {
  using V = std::vector<std::string>;
  // clang-format off
  // Each file as "path name", " clip" added when read as a clip list.
  const struct { const char* source; int join; bool is_3d; const char* clips; V files; } kCases[] = {
      {"/bd/STREAM/00001.m2ts", 0, false, "7", {"/bd/STREAM/00001.m2ts 00001.m2ts"}},
      // 3D reads the stereo file of the same number; the name shown stays.
      {"00007.m2ts", 0, true, "", {"SSIF/00007.ssif 00007.m2ts"}},
      {"/bd/STREAM/00001.m2ts", 1, true, "1+2", {"/bd/STREAM/SSIF/00001.ssif 00001.ssif clip", "/bd/STREAM/SSIF/00002.ssif 00002.ssif clip"}},
      // Empty pieces are dropped; each piece is a leading number.
      {"/bd/STREAM/00010.m2ts", 2, false, "+00010++11x+", {"/bd/STREAM/00010.m2ts 00010.m2ts clip", "/bd/STREAM/00011.m2ts 00011.m2ts clip"}},
      {"00001.m2ts", 1, false, "1+2", {}},  // no folder to find the clips in
  };
  // clang-format on
  for (const auto& c : kCases) {
    ScanSource s;
    V out;
    if (ChooseScanFiles(c.source, c.join, c.is_3d, c.clips, s)) {
      for (const ScanFile& f : s.files) out.push_back(f.path + " " + f.name + (s.clip_list ? " clip" : ""));
    }
    EXPECT_EQ(out, c.files) << c.source << " " << c.clips;
  }
}

}  // namespace
}  // namespace dp
