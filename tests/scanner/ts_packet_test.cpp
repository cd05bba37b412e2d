// Counting packets, the final arithmetic, the inventory and the choice of
// files: the scanner's pieces without its thread.
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

  EXPECT_EQ(Process(counts, b, b.size()), 0);
  EXPECT_EQ(counts.scanned_packets(), whole / kSourcePacketSize);
  const std::vector<std::uint32_t> got = {counts.video_packets(0),    counts.audio_packets(0),
                                          counts.audio_packets(1),    counts.audio_packets(2),
                                          counts.audio_packets(3),    counts.subtitle_packets(0),
                                          counts.subtitle_packets(1), counts.subtitle_packets(2)};
  EXPECT_EQ(got, (std::vector<std::uint32_t>{3, 2, 0, 0, 2, 2, 0, 0}));

  // A second buffer adds to the same counters.
  EXPECT_EQ(Process(counts, b, whole), 0);
  EXPECT_EQ(counts.scanned_packets(), 2 * whole / kSourcePacketSize);
  EXPECT_EQ(counts.video_packets(0), 6u);
}

// Less than one packet (the tail of a truncated file) is nothing to count;
// the scanner's test breaks the sync byte of a buffer's first and a later
// packet.
TEST(ProcesaPacket, ShortBuffers) {
  ScanCounts counts(Streams({0x1011}, {0x1100}, {}));
  const Bytes tail(191, 0x00);
  for (int length : {191, 3, 0, -192}) EXPECT_EQ(ProcesaPacket(counts, tail.data(), length), 0);
  EXPECT_EQ(ProcesaPacket(counts, nullptr, 192), 0);
  EXPECT_EQ(counts.scanned_packets(), 0u);
}

TEST(ProcesaPacket, CountsForcedEpochStartsOfSubtitleStreamsOnly) {
  ScanCounts counts(Streams({0x1011}, {0x1100}, {0x1200, 0x1201}));
  Bytes b;
  AddComposition(b, 0x1200, 0x80, 0x40);  // forced epoch start
  AddComposition(b, 0x1200, 0x80, 0xC0);  // forced and cropped: only the forced bit is read
  AddComposition(b, 0x1200, 0x80, 0x80);  // cropped, not forced
  AddComposition(b, 0x1200, 0x00, 0x40);  // normal case, not an epoch start
  AddComposition(b, 0x1200, 0x40, 0x40);  // acquisition point
  AddComposition(b, 0x1201, 0x80, 0x40);
  AddComposition(b, 0x1100, 0x80, 0x40);  // the same bytes in an audio packet
  AddComposition(b, 0x1011, 0x80, 0x40);
  // Each other byte of the test off by itself.
  for (int offset : {kPesHeaderLengthOffset, kPtsFirstByteOffset, kSegmentTypeOffset}) {
    AddComposition(b, 0x1201, 0x80, 0x40);
    b[b.size() - kSourcePacketSize + static_cast<std::size_t>(offset)] ^= 0x01;
  }

  EXPECT_EQ(Process(counts, b, b.size()), 0);
  EXPECT_EQ(counts.subtitle_packets(0), 5u);
  EXPECT_EQ(counts.subtitle_forced(0), 2u);
  EXPECT_EQ(counts.subtitle_packets(1), 4u);
  EXPECT_EQ(counts.subtitle_forced(1), 1u);
  EXPECT_EQ(counts.audio_packets(0), 1u);
  EXPECT_EQ(counts.video_packets(0), 1u);
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
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.video[0].scanned_bitrate_kbps, 409);  // 408.89
  EXPECT_EQ(r.audio[0].scanned_bitrate_kbps, 43);   // 42.67
  EXPECT_EQ(r.subtitle[0].scanned_bitrate_kbps, 43);
  // A scan stopped after a quarter of the packets stands for a quarter of
  // the title.
  r = Counted(4000000, 1000000, 3600000, 250000, 0);
  EXPECT_DOUBLE_EQ(r.elapsed_ms, 900000);
  EXPECT_EQ(r.video[0].scanned_bitrate_kbps, 409);
  // Exact halves go to the even integer: 0.5 kbit/s per packet.
  EXPECT_EQ(Counted(1, 1, 2944, 3, 0).video[0].scanned_bitrate_kbps, 2);
  EXPECT_EQ(Counted(1, 1, 2944, 5, 0).video[0].scanned_bitrate_kbps, 2);
  EXPECT_EQ(Counted(1, 1, 3072, 0, 7).audio[0].scanned_bitrate_kbps, 4);
  EXPECT_EQ(RoundRealToNearestInteger(-3.5), -4);
  EXPECT_EQ(RoundRealToNearestInteger(2.5000001), 3);

  // Nothing to measure (empty files, nothing read, no usable duration): 0.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const ScanResult& none : {Counted(0, 0, 3600000, 500, 300), Counted(1000, 0, 3600000, 500, 300),
                                 Counted(1000, 1000, 0, 500, 300), Counted(1000, 1000, -5, 500, 300),
                                 Counted(1000, 1000, nan, 500, 300),
                                 Counted(1000, 1000, std::numeric_limits<double>::infinity(), 500, 300)}) {
    EXPECT_EQ(none.video[0].scanned_bitrate_kbps, 0) << none.duration_ms;
    EXPECT_EQ(none.audio[0].scanned_bitrate_kbps, 0) << none.duration_ms;
    EXPECT_EQ(LiveRateKbps(500, none.elapsed_ms), 0);
  }
  // A vanishing playing time gives a huge rate, kept in range.
  EXPECT_EQ(Counted(4000000000u, 4000000000u, 1e-300, 4000000000u, 0).video[0].scanned_bitrate_kbps,
            std::numeric_limits<std::int32_t>::max());
}

TEST(ScanInventory, SparseTracksResetAndApply) {
  EXPECT_EQ(ClassifySparseTrack(0, 600001, 3.9), kForcedTrack);
  EXPECT_EQ(ClassifySparseTrack(0, 600000, 3.9), 0);  // both comparisons are strict
  EXPECT_EQ(ClassifySparseTrack(0, 700000, 4.0), 0);
  EXPECT_EQ(ClassifySparseTrack(-1, 1000, 0.0), 0);     // reclassified
  EXPECT_EQ(ClassifySparseTrack(12, 700000, 0.1), 12);  // counted captions stay
  EXPECT_DOUBLE_EQ(LiveRateKbps(2000, 736000), 4.0);    // 1472 bits per packet for every stream

  // Twenty minutes of the title read, counts beyond 32 bits: the first
  // subtitle stream is sparse, the second has forced captions; the second
  // audio record no longer holds the PID that was counted. A reset clears
  // the counts, not the analysis figures.
  SourceInventory inv{};
  inv.video_count = inv.audio_count = inv.subtitle_count = 2;
  inv.video[0].pid = 0x1011;
  inv.video[0].bitrate_kbps = 20000;
  inv.video[0].scanned_bitrate_kbps = 7;
  inv.audio[0].pid = 0x1100;
  inv.audio[1].pid = 0x1101;
  inv.subtitle[0].pid = 0x1200;
  inv.subtitle[1].pid = 0x1201;
  inv.subtitle[1].forced_count = kForcedTrack;
  inv.subtitle[1].packet_count = 9;
  inv.container[0].total_packets = 7;
  ResetPackets(inv);
  EXPECT_EQ(inv.container[0].total_packets, 0u);
  EXPECT_EQ(inv.subtitle[1].packet_count, 0u);
  EXPECT_EQ(inv.subtitle[1].forced_count, inv.video[0].scanned_bitrate_kbps);  // both 0
  EXPECT_EQ(inv.video[0].bitrate_kbps, 20000);
  ScanResult live;
  live.total_packets = 1ull << 33;
  live.scanned_packets = 1ull << 32;
  live.elapsed_ms = 1200000;
  live.video_count = live.audio_count = live.subtitle_count = 2;
  live.video[0] = {0x1011, 900000, 0, 0};
  live.audio[0] = {0x1100, 80000, 0, 0};
  live.audio[1] = {0x1999, 50, 0, 0};
  live.subtitle[0] = {0x1200, 1500, 0, 0};
  live.subtitle[1] = {0x1201, 1500, 0, 3};
  ApplyScanResult(live, inv);
  EXPECT_EQ(inv.container[0].scanned_packets, std::numeric_limits<std::uint32_t>::max());
  EXPECT_EQ(inv.video[0].packet_count, 900000u);
  EXPECT_EQ(inv.audio[1].packet_count, 0u);
  EXPECT_EQ(inv.subtitle[0].forced_count, kForcedTrack);
  EXPECT_EQ(inv.subtitle[1].forced_count, 3);

  // The end of a five-minute title: bitrates arrive, nothing is sparse.
  live.total_packets = live.scanned_packets = 1000;
  live.duration_ms = 300000;
  FinalScan(live);
  ApplyScanResult(live, inv);
  EXPECT_EQ(inv.audio[0].scanned_bitrate_kbps, 410);  // 409.6
  EXPECT_EQ(inv.audio[1].scanned_bitrate_kbps, 0);
  EXPECT_EQ(inv.subtitle[0].forced_count, 0);
}

TEST(ScanFiles, ChoiceOfFilesAndTotalPackets) {
  auto paths = [](std::string_view source, int join, bool is_3d, std::string_view clips) {
    ScanSource s;
    std::vector<std::string> out;
    if (ChooseScanFiles(source, join, is_3d, clips, s)) {
      for (const ScanFile& f : s.files) out.push_back(f.path + " " + f.name + (s.clip_list ? " clip" : ""));
    }
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(paths("/bd/STREAM/00001.m2ts", 0, false, "7"), V{"/bd/STREAM/00001.m2ts 00001.m2ts"});
  // 3D reads the stereo file of the same number; the name shown stays.
  EXPECT_EQ(paths("/bd/STREAM/00001.m2ts", 0, true, ""), V{"/bd/STREAM/SSIF/00001.ssif 00001.m2ts"});
  EXPECT_EQ(paths("00007.m2ts", 0, true, ""), V{"SSIF/00007.ssif 00007.m2ts"});
  EXPECT_EQ(paths("/bd/STREAM/00001.m2ts", 1, true, "1+2"),
            (V{"/bd/STREAM/SSIF/00001.ssif 00001.ssif clip", "/bd/STREAM/SSIF/00002.ssif 00002.ssif clip"}));
  // Empty pieces are dropped; each piece is a leading number.
  EXPECT_EQ(paths("/bd/STREAM/00010.m2ts", 2, false, "+00010++11x+"),
            (V{"/bd/STREAM/00010.m2ts 00010.m2ts clip", "/bd/STREAM/00011.m2ts 00011.m2ts clip"}));
  EXPECT_EQ(paths("00001.m2ts", 1, false, "1+2"), V{});  // no folder to find the clips in

  test::TempDir dir;
  WriteFile(dir / "00001.m2ts", Bytes(1000 * kSourcePacketSize + 100, 0x47));
  WriteFile(dir / "00002.m2ts", Bytes(10 * kSourcePacketSize, 0x47));
  ScanSource source;
  PreparedScan scan;
  ASSERT_TRUE(ChooseScanFiles((dir / "00001.m2ts").string(), 0, false, "", source));
  ASSERT_TRUE(OpenScanSource(source, scan));
  EXPECT_EQ(scan.total_packets, 1000u);  // the trailing 100 bytes are no packet
  EXPECT_TRUE(scan.first_file.valid());  // handed to the worker
  ASSERT_TRUE(ChooseScanFiles((dir / "00001.m2ts").string(), 1, false, "1+2", source));
  ASSERT_TRUE(OpenScanSource(source, scan));
  EXPECT_EQ(scan.total_packets, 1010u);
  EXPECT_FALSE(scan.first_file.valid());  // the worker opens each clip itself

  std::string error;
  ASSERT_TRUE(ChooseScanFiles((dir / "00001.m2ts").string(), 1, false, "1+3", source));
  EXPECT_FALSE(OpenScanSource(source, scan, &error));
  EXPECT_NE(error.find("00003.m2ts"), std::string::npos);
  EXPECT_FALSE(OpenScanSource(ScanSource{{{dir.path().string(), "x"}}, false}, scan));
}

}  // namespace
}  // namespace dp
