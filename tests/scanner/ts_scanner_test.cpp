#include "scanner/ts_scanner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "scanner/scan_files.h"
#include "scanner/scan_inventory.h"
#include "scanner/scan_result.h"
#include "scanner/ts_packet.h"
#include "support/temp_dir.h"
#include "util/text.h"

namespace dp {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One 192-byte source packet of a PID: transport header and stuffing.
void AddPacket(Bytes& out, int pid) {
  const std::size_t at = out.size();
  out.resize(at + kSourcePacketSize, 0xFF);
  std::uint8_t* p = out.data() + at;
  p[4] = kSyncByte;
  p[5] = static_cast<std::uint8_t>(pid >> 8 & 0x1F);
  p[6] = static_cast<std::uint8_t>(pid);
  p[7] = 0x10;  // payload only
}

// A PGS presentation-composition segment with one composition object as a
// Blu-ray stream carries it: adaptation-field stuffing, then a PES with PTS
// and DTS whose payload ends at the packet's last byte.
void AddComposition(Bytes& out, int pid, std::uint8_t state, std::uint8_t object_flags) {
  const std::size_t at = out.size();
  AddPacket(out, pid);
  std::uint8_t* p = out.data() + at;
  p[5] |= 0x40;  // payload unit start
  p[7] = 0x30;   // adaptation field and payload
  p[8] = 142;    // adaptation field runs to byte 150
  p[9] = 0x00;
  std::memset(p + 10, 0xFF, 141);
  const std::uint8_t pes[] = {0x00, 0x00, 0x01, 0xBD, 0x00, 0x23, 0x81, 0xC0, 0x0A, 0x31,
                              0x00, 0x01, 0x00, 0x01, 0x11, 0x00, 0x01, 0x00, 0x01};
  std::memcpy(p + 151, pes, sizeof pes);         // header-data length at 159, PTS at 160
  const std::uint8_t pcs[] = {0x16, 0x00, 0x13,  // type, length 19
                              0x07, 0x80, 0x04, 0x38, 0x10,         0x00, 0x05, state, 0x00, 0x00,
                              0x01, 0x00, 0x00, 0x00, object_flags, 0x02, 0x00, 0x03,  0x00};
  std::memcpy(p + 170, pcs, sizeof pcs);
}

ScanStreams Streams(std::vector<int> video, std::vector<int> audio, std::vector<int> subtitle) {
  ScanStreams s;
  auto fill = [](const std::vector<int>& pids, std::int32_t* out, int& count) {
    count = static_cast<int>(pids.size());
    std::copy(pids.begin(), pids.end(), out);
  };
  fill(video, s.video_pid, s.video_count);
  fill(audio, s.audio_pid, s.audio_count);
  fill(subtitle, s.subtitle_pid, s.subtitle_count);
  return s;
}

int Process(ScanCounts& counts, const Bytes& bytes, std::size_t length) {
  return ProcesaPacket(counts, bytes.data(), static_cast<int>(length));
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

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

TEST(ProcesaPacket, SyncErrorsAndShortBuffers) {
  const ScanStreams streams = Streams({0x1011}, {0x1100}, {});
  Bytes b;
  for (int i = 0; i < 20; ++i) AddPacket(b, i % 2 ? 0x1100 : 0x1011);

  {
    // Packet 10 lost its sync byte: packets 0-9 stay counted, and the whole
    // buffer is counted as scanned.
    ScanCounts counts(streams);
    Bytes bad = b;
    bad[10 * kSourcePacketSize + kSyncOffset] = 0x00;
    EXPECT_EQ(Process(counts, bad, bad.size()), 1);
    EXPECT_EQ(counts.scanned_packets(), 20u);
    EXPECT_EQ(counts.video_packets(0), 5u);
    EXPECT_EQ(counts.audio_packets(0), 5u);
  }
  {
    // The first packet is bad: nothing at all is counted.
    ScanCounts counts(streams);
    Bytes bad = b;
    bad[kSyncOffset] = 0x48;
    EXPECT_EQ(Process(counts, bad, bad.size()), 1);
    EXPECT_EQ(counts.scanned_packets(), 0u);
    EXPECT_EQ(counts.video_packets(0), 0u);
  }
  {
    // Less than one packet (the tail of a truncated file), whatever its
    // bytes, is nothing to count and no sync error; nor is an empty buffer.
    ScanCounts counts(streams);
    Bytes tail(191, 0x00);
    for (int length : {191, 3, 0, -192}) EXPECT_EQ(ProcesaPacket(counts, tail.data(), length), 0);
    EXPECT_EQ(ProcesaPacket(counts, nullptr, 192), 0);
    EXPECT_EQ(counts.scanned_packets(), 0u);
  }
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

  SourceInventory inv{};
  inv.video_count = 1;
  inv.video[0].pid = 0x1011;
  inv.video[0].bitrate_kbps = 20000;
  inv.audio_count = 2;
  inv.audio[0].pid = 0x1100;
  inv.audio[1].pid = 0x1101;
  inv.audio[1].scanned_bitrate_kbps = 640;
  inv.subtitle_count = 3;
  inv.subtitle[0].pid = 0x1200;
  inv.subtitle[0].forced_count = kForcedTrack;  // from its title
  inv.subtitle[1].pid = 0x1201;
  inv.subtitle[2].pid = 0x1202;
  inv.subtitle[2].packet_count = 9;
  inv.container[0].total_packets = 7;
  ResetPackets(inv);
  EXPECT_EQ(inv.subtitle[0].forced_count, 0);
  EXPECT_EQ(inv.container[0].total_packets, 0u);
  EXPECT_EQ(inv.audio[1].scanned_bitrate_kbps, 0);
  EXPECT_EQ(inv.subtitle[2].packet_count, 0u);
  EXPECT_EQ(inv.video[0].bitrate_kbps, 20000);  // analysis figures stay

  // Twenty minutes of the title read, counts beyond 32 bits: the first
  // subtitle stream is sparse, the second has forced captions, the third is
  // dense; the second audio record no longer holds the PID that was counted.
  ScanResult live;
  live.total_packets = 1ull << 33;
  live.scanned_packets = 1ull << 32;
  live.elapsed_ms = 1200000;
  live.video_count = 1;
  live.audio_count = 2;
  live.subtitle_count = 3;
  live.video[0] = {0x1011, 900000, 0, 0};
  live.audio[0] = {0x1100, 80000, 0, 0};
  live.audio[1] = {0x1999, 50, 0, 0};
  live.subtitle[0] = {0x1200, 1500, 0, 0};
  live.subtitle[1] = {0x1201, 1500, 0, 3};
  live.subtitle[2] = {0x1202, 4000, 0, 0};
  ApplyScanResult(live, inv);
  EXPECT_EQ(inv.container[0].scanned_packets, std::numeric_limits<std::uint32_t>::max());
  EXPECT_EQ(inv.video[0].packet_count, 900000u);
  EXPECT_EQ(inv.video[0].scanned_bitrate_kbps, 0);  // no bitrate before the end
  EXPECT_EQ(inv.audio[1].packet_count, 0u);
  EXPECT_EQ(inv.subtitle[0].forced_count, kForcedTrack);
  EXPECT_EQ(inv.subtitle[1].forced_count, 3);
  EXPECT_EQ(inv.subtitle[2].forced_count, 0);

  // The end of a five-minute title: bitrates arrive, nothing is sparse.
  live.total_packets = live.scanned_packets = 1000;
  live.duration_ms = 300000;
  FinalScan(live);
  ApplyScanResult(live, inv);
  EXPECT_EQ(inv.audio[0].scanned_bitrate_kbps, 410);  // 409.6
  EXPECT_EQ(inv.audio[1].scanned_bitrate_kbps, 0);
  EXPECT_EQ(inv.subtitle[0].forced_count, 0);
  EXPECT_EQ(inv.subtitle[1].forced_count, 3);
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

// Records what scans reported, from whatever thread.
class Recorder : public ScanObserver {
 public:
  void ScanEnded(const ScanResult& result) override {
    std::lock_guard lock(mutex_);
    ended_.push_back(result);
  }
  std::vector<ScanResult> ended() const {
    std::lock_guard lock(mutex_);
    return ended_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<ScanResult> ended_;
};

// Packets of a small title: pattern repeated n times, system packets included.
Bytes Title(int repeats, int video, int audio, int subtitle) {
  Bytes b;
  for (int i = 0; i < repeats; ++i) {
    AddPacket(b, 0x0000);
    for (int k = 0; k < video; ++k) AddPacket(b, 0x1011);
    for (int k = 0; k < audio; ++k) AddPacket(b, 0x1100);
    for (int k = 0; k < subtitle; ++k) AddPacket(b, 0x1200);
  }
  return b;
}

// Packets per read chunk.
constexpr int kChunkPackets = kScanBufferSize / kSourcePacketSize;

// Two reading threads unless told otherwise, whatever the machine.
PreparedScan Prepare(const std::vector<std::filesystem::path>& paths, double duration_ms, int threads = 2,
                     const ScanStreams& streams = Streams({0x1011}, {0x1100}, {0x1200})) {
  ScanSource source;
  for (const auto& p : paths) source.files.push_back({p.string(), p.filename().string()});
  source.clip_list = paths.size() > 1;
  PreparedScan scan;
  EXPECT_TRUE(OpenScanSource(source, scan));
  scan.streams = streams;
  scan.duration_ms = duration_ms;
  scan.read_threads = threads;
  return scan;
}

ScanResult ScanToEnd(PreparedScan scan) {
  TsScanner scanner;
  scanner.Start(std::move(scan), nullptr);
  scanner.Wait();
  return scanner.Progress();
}

// Everything a finished scan reports, as one comparable text.
std::string Figures(const ScanResult& r) {
  std::string out = Format("state %d finished %d total %llu scanned %llu elapsed %.17g\n", r.scan_state,
                           r.finished, static_cast<unsigned long long>(r.total_packets),
                           static_cast<unsigned long long>(r.scanned_packets), r.elapsed_ms);
  auto add = [&out](const char* kind, const StreamScan* streams, int count) {
    for (int i = 0; i < count; ++i) {
      out += Format("%s %d: %u packets %d kbps %d forced\n", kind, streams[i].pid, streams[i].packet_count,
                    streams[i].scanned_bitrate_kbps, streams[i].forced_count);
    }
  };
  add("video", r.video, r.video_count);
  add("audio", r.audio, r.audio_count);
  add("subtitle", r.subtitle, r.subtitle_count);
  return out;
}

TEST(TsScanner, WholeFileOverSeveralBuffersWithATruncatedLastPacket) {
  test::TempDir dir;
  // 6000 x 8 packets: more than one read buffer.
  Bytes b = Title(6000, 4, 2, 1);
  ASSERT_GT(b.size(), static_cast<std::size_t>(kScanBufferSize));
  AddComposition(b, 0x1200, 0x80, 0x40);
  b.resize(b.size() + 150, 0x00);
  WriteFile(dir / "00005.m2ts", b);

  for (int threads : {2, 1}) {
    SCOPED_TRACE(threads);
    Recorder recorder;
    TsScanner scanner;
    // 48001 packets in all, almost six chunks; a duration of 1536 ms makes
    // audio and subtitle rates equal their packet counts.
    const std::uint64_t id = scanner.Start(Prepare({dir / "00005.m2ts"}, 1536, threads), &recorder);
    // Reading the live figures while the worker counts is safe.
    for (int i = 0; i < 50 && scanner.scan_state() == kScanRunning; ++i) {
      const ScanResult live = scanner.Progress();
      EXPECT_LE(live.scanned_packets, 48001u);
      EXPECT_FALSE(scanner.scan_file_name().empty());
    }
    scanner.Wait();

    const ScanResult r = scanner.Progress();
    EXPECT_EQ(r.scan_id, id);
    EXPECT_EQ(scanner.scan_state(), kScanEnded);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.total_packets, 48001u);
    EXPECT_EQ(r.scanned_packets, 48001u);
    const std::vector<std::uint32_t> counts = {r.video[0].packet_count, r.audio[0].packet_count,
                                               r.subtitle[0].packet_count};
    EXPECT_EQ(counts, (std::vector<std::uint32_t>{24000, 12000, 6001}));
    EXPECT_EQ(r.subtitle[0].forced_count, 1);
    EXPECT_EQ(r.video[0].scanned_bitrate_kbps, 23000);  // 24000 x 1472 / 1536
    EXPECT_EQ(r.audio[0].scanned_bitrate_kbps, 12000);
    EXPECT_EQ(r.subtitle[0].scanned_bitrate_kbps, 6001);
    const auto ended = recorder.ended();
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].scan_id, id);
    EXPECT_EQ(ended[0].video[0].scanned_bitrate_kbps, 23000);
  }
}

TEST(TsScanner, SyncErrorsAndMissingClips) {
  test::TempDir dir;
  // 30000 and 15000 packets: several chunks each.
  Bytes damaged = Title(10000, 1, 1, 0);
  damaged[5 * kSourcePacketSize + kSyncOffset] = 0x00;
  WriteFile(dir / "00001.m2ts", damaged);
  WriteFile(dir / "00002.m2ts", Title(5000, 1, 1, 0));

  // A sync error ends only the clip in hand: packets 0-4 of the first
  // (system, video, audio, system, video) and all of the second count, and
  // the whole first chunk counts as scanned.
  Recorder recorder;
  TsScanner scanner;
  scanner.Start(Prepare({dir / "00001.m2ts", dir / "00002.m2ts"}, 1000), &recorder);
  scanner.Wait();
  ScanResult r = scanner.Progress();
  EXPECT_EQ(r.scan_state, kScanSyncError);
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.scanned_packets, kChunkPackets + 15000u);
  EXPECT_EQ(r.video[0].packet_count, 2u + 5000u);
  EXPECT_EQ(r.audio[0].packet_count, 1u + 5000u);
  EXPECT_GT(r.video[0].scanned_bitrate_kbps, 0);
  // A stop request after the end does not hide the sync error.
  scanner.RequestStop();
  EXPECT_EQ(scanner.scan_state(), kScanSyncError);

  // A single file whose first packet is bad: nothing is counted.
  damaged[kSyncOffset] = 0x00;
  WriteFile(dir / "00003.m2ts", damaged);
  scanner.Start(Prepare({dir / "00003.m2ts"}, 1000), &recorder);
  scanner.Wait();
  r = scanner.Progress();
  EXPECT_EQ(r.scan_state, kScanSyncError);
  EXPECT_EQ(r.scanned_packets, 0u);

  // A clip gone between the scan start and the worker: the worker gives up
  // without a final state or bitrates, and the dialog's Close ends the scan.
  PreparedScan scan = Prepare({dir / "00002.m2ts", dir / "00003.m2ts"}, 1000);
  std::filesystem::remove(dir / "00003.m2ts");
  scanner.Start(std::move(scan), &recorder);
  scanner.Wait();
  const auto ended = recorder.ended();
  ASSERT_EQ(ended.size(), 3u);
  EXPECT_FALSE(ended[2].finished);
  EXPECT_EQ(ended[2].video[0].packet_count, 5000u);
  EXPECT_EQ(ended[2].video[0].scanned_bitrate_kbps, 0);
  EXPECT_EQ(scanner.scan_state(), kScanRunning);
  scanner.RequestStop();
  EXPECT_EQ(scanner.Progress().scan_state, kScanEnded);
}

// n packets of several PIDs in a fixed pseudo-random order, with forced
// captions among the subtitle packets; tally and forced count what was made,
// per PID.
Bytes Mixed(int n, std::uint32_t seed, std::map<int, std::uint32_t>& tally,
            std::map<int, std::uint32_t>& forced) {
  static constexpr int kPids[] = {0x0000, 0x0100, 0x1011, 0x1100, 0x1101, 0x1200, 0x1201, 0x1FFF};
  Bytes b;
  b.reserve(static_cast<std::size_t>(n) * kSourcePacketSize);
  for (int i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const int pid = kPids[(seed >> 24) % 8];
    if (pid >= 0x1200 && (seed >> 8) % 16 == 0) {
      AddComposition(b, pid, 0x80, 0x40);
      ++forced[pid];
    } else {
      AddPacket(b, pid);
    }
    ++tally[pid];
  }
  return b;
}

Bytes Video(int n) {
  Bytes b;
  for (int i = 0; i < n; ++i) AddPacket(b, 0x1011);
  return b;
}

void BreakSync(Bytes& b, std::size_t packet) { b[packet * kSourcePacketSize + kSyncOffset] = 0x00; }

TEST(TsScanner, OneAndTwoThreadsGiveTheSameFigures) {
  test::TempDir dir;
  std::map<int, std::uint32_t> tally, forced;
  Bytes first = Mixed(5 * kChunkPackets + 3001, 1, tally, forced);
  first.resize(first.size() + 77, kSyncByte);  // a truncated last packet
  WriteFile(dir / "00001.m2ts", first);
  WriteFile(dir / "00002.m2ts", Mixed(100, 2, tally, forced));
  // Exactly three chunks: the read after the last one finds the end.
  WriteFile(dir / "00003.m2ts", Mixed(3 * kChunkPackets, 3, tally, forced));
  const ScanStreams streams = Streams({0x1011}, {0x1100, 0x1101}, {0x1200, 0x1201});
  const std::vector<std::filesystem::path> clips = {dir / "00001.m2ts", dir / "00002.m2ts",
                                                    dir / "00003.m2ts"};

  const ScanResult two = ScanToEnd(Prepare(clips, 90000, 2, streams));
  EXPECT_EQ(Figures(two), Figures(ScanToEnd(Prepare(clips, 90000, 1, streams))));
  EXPECT_EQ(Figures(ScanToEnd(Prepare({clips[0]}, 90000, 2, streams))),
            Figures(ScanToEnd(Prepare({clips[0]}, 90000, 1, streams))));

  EXPECT_EQ(two.scan_state, kScanEnded);
  const std::uint64_t packets = 8u * kChunkPackets + 3001 + 100;
  EXPECT_EQ(two.total_packets, packets);
  EXPECT_EQ(two.scanned_packets, packets);
  const std::vector<std::uint32_t> got = {two.video[0].packet_count,
                                          two.audio[0].packet_count,
                                          two.audio[1].packet_count,
                                          two.subtitle[0].packet_count,
                                          two.subtitle[1].packet_count,
                                          static_cast<std::uint32_t>(two.subtitle[0].forced_count),
                                          static_cast<std::uint32_t>(two.subtitle[1].forced_count)};
  EXPECT_EQ(got, (std::vector<std::uint32_t>{tally[0x1011], tally[0x1100], tally[0x1101], tally[0x1200],
                                             tally[0x1201], forced[0x1200], forced[0x1201]}));
  EXPECT_GT(forced[0x1200], 0u);
}

TEST(TsScanner, ASyncErrorInALateChunkEndsTheFileAsOneReaderWould) {
  test::TempDir dir;
  // Every packet video, so the count says where the file's scan ended. The
  // first bad packet lies near the end of chunk 9; the other thread, reading
  // chunk 10 meanwhile, meets a bad packet there too.
  Bytes late = Video(12 * kChunkPackets);
  BreakSync(late, 10 * kChunkPackets - 100);
  BreakSync(late, 10 * kChunkPackets + 100);
  WriteFile(dir / "00001.m2ts", late);
  // The first packet of chunk 2 is bad: nothing of that chunk counts.
  Bytes at_start = Video(5 * kChunkPackets);
  BreakSync(at_start, 2 * kChunkPackets);
  WriteFile(dir / "00002.m2ts", at_start);
  WriteFile(dir / "00003.m2ts", Video(1000));
  const std::vector<std::filesystem::path> clips = {dir / "00001.m2ts", dir / "00002.m2ts",
                                                    dir / "00003.m2ts"};

  ScanResult r = ScanToEnd(Prepare({clips[0]}, 1000));
  EXPECT_EQ(r.scan_state, kScanSyncError);
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.scanned_packets, 10u * kChunkPackets);
  EXPECT_EQ(r.video[0].packet_count, 10u * kChunkPackets - 100);

  // A clip list goes on after each damaged clip.
  r = ScanToEnd(Prepare(clips, 1000));
  EXPECT_EQ(r.scan_state, kScanSyncError);
  EXPECT_EQ(r.scanned_packets, 10u * kChunkPackets + 2u * kChunkPackets + 1000);
  EXPECT_EQ(r.video[0].packet_count, 10u * kChunkPackets - 100 + 2u * kChunkPackets + 1000);
  EXPECT_EQ(Figures(r), Figures(ScanToEnd(Prepare(clips, 1000, 1))));
}

TEST(TsScanner, StopMidFileWithTwoThreads) {
  test::TempDir dir;
  // Chunk c holds c + 1 video packets, so the video count tells which
  // chunks were counted.
  constexpr int kChunks = 16;
  Bytes b;
  for (int c = 0; c < kChunks; ++c) {
    for (int k = 0; k < kChunkPackets; ++k) AddPacket(b, k <= c ? 0x1011 : 0x0000);
  }
  WriteFile(dir / "00001.m2ts", b);

  TsScanner scanner;
  scanner.Start(Prepare({dir / "00001.m2ts"}, 1000), nullptr);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (scanner.Progress().scanned_packets == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  scanner.RequestStop();
  const std::uint64_t at_stop = scanner.Progress().scanned_packets;
  scanner.Wait();

  const ScanResult r = scanner.Progress();
  EXPECT_EQ(r.scan_state, kScanEnded);
  EXPECT_TRUE(r.finished);
  // After the stop each thread counts at most the one chunk it has in hand.
  EXPECT_LE(r.scanned_packets, at_stop + 2u * kChunkPackets);
  // The chunks counted are the first ones, each of them whole.
  EXPECT_EQ(r.scanned_packets % kChunkPackets, 0u);
  const std::uint64_t m = r.scanned_packets / kChunkPackets;
  EXPECT_EQ(r.video[0].packet_count, m * (m + 1) / 2);
  EXPECT_GT(r.video[0].scanned_bitrate_kbps, 0);
}

bool WriteAll(int fd, const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

TEST(TsScanner, StopDuringAClipListLeavesTheRestUnread) {
  std::signal(SIGPIPE, SIG_IGN);
  test::TempDir dir;
  const auto fifo = dir / "00001.m2ts";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  WriteFile(dir / "00002.m2ts", Title(100, 1, 1, 0));
  const Bytes chunk = Title(kScanBufferSize / kSourcePacketSize / 4, 1, 1, 1);
  ASSERT_EQ(chunk.size(), static_cast<std::size_t>(kScanBufferSize));

  // The first clip is fed through a pipe, so the test decides when the
  // worker has a buffer in hand. Holding both ends keeps the opens of it
  // from blocking and the pipe from breaking before the worker opens it.
  const int keeper = ::open(fifo.c_str(), O_RDWR);
  ASSERT_GE(keeper, 0);
  TsScanner scanner;
  scanner.Start(Prepare({fifo, dir / "00002.m2ts"}, 60000), nullptr);
  const int feed = ::open(fifo.c_str(), O_WRONLY);
  ASSERT_GE(feed, 0);
  ASSERT_TRUE(WriteAll(feed, chunk));
  ::close(keeper);  // the worker has the pipe open: it took the data
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (scanner.Progress().scanned_packets == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  scanner.RequestStop();
  // Whether the worker saw the stop after the first buffer or waits for a
  // second one, it must not go on to the second clip.
  WriteAll(feed, chunk);
  ::close(feed);
  scanner.Wait();

  const ScanResult r = scanner.Progress();
  EXPECT_EQ(r.scan_state, kScanEnded);
  EXPECT_TRUE(r.finished);
  const std::uint64_t per_buffer = kScanBufferSize / kSourcePacketSize;
  EXPECT_TRUE(r.scanned_packets == per_buffer || r.scanned_packets == 2 * per_buffer) << r.scanned_packets;
  EXPECT_EQ(r.video[0].packet_count, r.scanned_packets / 4);
  EXPECT_EQ(r.audio[0].packet_count, r.scanned_packets / 4);
  EXPECT_GT(r.video[0].scanned_bitrate_kbps, 0);
  EXPECT_EQ(scanner.scan_file_name(), "00001.m2ts");
}

TEST(TsScanner, ANewScanStopsAndWaitsForTheOldWorker) {
  test::TempDir dir;
  WriteFile(dir / "00001.m2ts", Title(20000, 3, 1, 1));  // several buffers
  WriteFile(dir / "00002.m2ts", Title(700, 1, 2, 0));

  Recorder recorder;
  TsScanner scanner;
  const std::uint64_t first = scanner.Start(Prepare({dir / "00001.m2ts"}, 1000), &recorder);
  const std::uint64_t second = scanner.Start(Prepare({dir / "00002.m2ts"}, 1000), &recorder);
  EXPECT_NE(first, second);
  // The old worker has ended (and said so) before the new one begins.
  auto ended = recorder.ended();
  ASSERT_GE(ended.size(), 1u);
  EXPECT_EQ(ended[0].scan_id, first);
  EXPECT_EQ(ended[0].scan_state, kScanEnded);
  EXPECT_TRUE(ended[0].finished);
  scanner.Wait();

  // The new scan's figures are its file's alone.
  const ScanResult r = scanner.Progress();
  EXPECT_EQ(r.scan_id, second);
  EXPECT_EQ(r.scanned_packets, 700u * 4);
  const std::vector<std::uint32_t> counts = {r.video[0].packet_count, r.audio[0].packet_count,
                                             r.subtitle[0].packet_count};
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{700, 1400, 0}));
  ended = recorder.ended();
  ASSERT_EQ(ended.size(), 2u);
  EXPECT_EQ(ended[1].scan_id, second);

  // A scanner destroyed while its worker runs stops and waits for it.
  {
    TsScanner busy;
    busy.Start(Prepare({dir / "00001.m2ts"}, 1000), &recorder);
  }
  EXPECT_EQ(recorder.ended().size(), 3u);
}

TEST(TsScanner, RealCamcorderClip) {
  const std::filesystem::path file =
      std::filesystem::path(DP_TESTDATA_DIR) / "ts/mp-mediainfo/Test_H264_AC3.m2ts";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "sample missing";
  TsScanner scanner;
  scanner.Start(Prepare({file}, 1000), nullptr);
  scanner.Wait();
  const ScanResult r = scanner.Progress();
  // 448 packets: 24 of the video PID, 375 of the audio PID, the rest PAT,
  // PMT, SIT, PCR and null packets.
  EXPECT_EQ(r.scan_state, kScanEnded);
  EXPECT_EQ(r.total_packets, 448u);
  EXPECT_EQ(r.scanned_packets, 448u);
  EXPECT_EQ(r.video[0].packet_count, 24u);
  EXPECT_EQ(r.audio[0].packet_count, 375u);
}

TEST(ScanCli, PrintsOneLinePerStreamThenTheTotals) {
  if (!std::filesystem::exists(DP_CLI_PATH)) GTEST_SKIP() << "discpress-cli not built";
  test::TempDir dir;
  Bytes b = Title(100, 2, 1, 1);
  AddComposition(b, 0x1200, 0x80, 0x40);
  WriteFile(dir / "a.m2ts", b);
  WriteFile(dir / "b.m2ts", Title(100, 2, 1, 1));
  const std::string out = (dir / "out.txt").string();
  const std::string cmd = std::string(DP_CLI_PATH) + " scan --duration-ms 1536 --video 4113 --audio 0x1100" +
                          " --subtitle 4608 --subtitle 4609 " + (dir / "a.m2ts").string() + " " +
                          (dir / "b.m2ts").string() + " > " + out;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream f(out);
  const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text,
            "video\t4113\t400\t383\n"  // 400 x 1472 / 1536 = 383.33
            "audio\t4352\t200\t200\n"
            "subtitle\t4608\t201\t201\t1\n"
            "subtitle\t4609\t0\t0\t0\n"
            "total_packets\t1001\n"
            "scanned_packets\t1001\n"
            "scan_state\t1\n");
  for (const std::string& bad : {"--video 9000 " + out, (dir / "none").string()}) {
    EXPECT_NE(
        std::system((std::string(DP_CLI_PATH) + " scan --duration-ms 1 " + bad + " 2>/dev/null").c_str()), 0);
  }
}

}  // namespace
}  // namespace dp
