#include "scanner/ts_scanner.h"

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "scanner/ts_bytes.h"

namespace dp {
namespace {

// Records what scans reported, from whatever thread.
struct Recorder : ScanObserver {
  std::mutex mutex;
  std::vector<ScanResult> results;
  void ScanEnded(const ScanResult& result) override {
    std::lock_guard lock(mutex);
    results.push_back(result);
  }
  std::vector<ScanResult> ended() {
    std::lock_guard lock(mutex);
    return results;
  }
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

// Video packets only, so a count says where a scan ended.
Bytes Video(int n) {
  Bytes b;
  for (int i = 0; i < n; ++i) AddPacket(b, 0x1011);
  return b;
}
void BreakSync(Bytes& b, std::size_t packet) { b[packet * kSourcePacketSize + kSyncOffset] = 0x00; }

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

// A clip gone between the scan start and the worker: the worker gives up
// without a final state or bitrates, and the dialog's Close ends the scan.
TEST(TsScanner, AMissingClipEndsTheWorkerWithoutAFinalState) {
  test::TempDir dir;
  WriteBytes(dir / "00001.m2ts", Title(5000, 1, 1, 0));
  WriteBytes(dir / "00002.m2ts", Title(10, 1, 1, 0));
  TsScanner scanner;
  PreparedScan scan = Prepare({dir / "00001.m2ts", dir / "00002.m2ts"}, 1000);
  std::filesystem::remove(dir / "00002.m2ts");
  scanner.Start(std::move(scan), nullptr);
  scanner.Wait();
  const ScanResult r = scanner.Progress();
  EXPECT_FALSE(r.finished);
  EXPECT_EQ(r.video[0].packet_count, 5000u);
  EXPECT_EQ(r.video[0].scanned_bitrate_kbps, 0);
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

TEST(TsScanner, OneAndTwoThreadsGiveTheSameFigures) {
  test::TempDir dir;
  std::map<int, std::uint32_t> tally, forced;
  Bytes first = Mixed(5 * kChunkPackets + 3001, 1, tally, forced);
  first.resize(first.size() + 77, kSyncByte);  // a truncated last packet
  WriteBytes(dir / "00001.m2ts", first);
  WriteBytes(dir / "00002.m2ts", Mixed(100, 2, tally, forced));
  // Exactly three chunks: the read after the last one finds the end.
  WriteBytes(dir / "00003.m2ts", Mixed(3 * kChunkPackets, 3, tally, forced));
  const ScanStreams streams = Streams({0x1011}, {0x1100, 0x1101}, {0x1200, 0x1201});
  const std::vector<std::filesystem::path> clips = {dir / "00001.m2ts", dir / "00002.m2ts",
                                                    dir / "00003.m2ts"};

  // Reading the live figures while the workers count is safe; the observer
  // hears the end once, with the final figures.
  Recorder recorder;
  TsScanner scanner;
  scanner.Start(Prepare(clips, 90000, 2, streams), &recorder);
  for (int i = 0; i < 50 && scanner.scan_state() == kScanRunning; ++i) {
    EXPECT_LE(scanner.Progress().scanned_packets, 8u * kChunkPackets + 3101);
    EXPECT_FALSE(scanner.scan_file_name().empty());
  }
  scanner.Wait();
  const ScanResult two = scanner.Progress();
  ASSERT_EQ(recorder.ended().size(), 1u);
  EXPECT_EQ(Figures(recorder.ended()[0]), Figures(two));
  EXPECT_EQ(Figures(two), Figures(ScanToEnd(Prepare(clips, 90000, 1, streams))));
  EXPECT_EQ(two.scan_state, kScanEnded);
  const std::uint64_t packets = 8u * kChunkPackets + 3001 + 100;
  EXPECT_EQ(two.total_packets, packets);
  EXPECT_EQ(two.scanned_packets, packets);
  std::map<int, std::uint32_t> counted, forced_counted;
  for (const auto& [streams, count] : {std::pair{two.video, 1}, {two.audio, 2}, {two.subtitle, 2}}) {
    for (int i = 0; i < count; ++i) {
      counted[streams[i].pid] = streams[i].packet_count;
      if (streams[i].forced_count) forced_counted[streams[i].pid] = streams[i].forced_count;
    }
  }
  for (int system : {0x0000, 0x0100, 0x1FFF}) tally.erase(system), forced.erase(system);
  EXPECT_EQ(counted, tally);
  EXPECT_EQ(forced_counted, forced);
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
  WriteBytes(dir / "00001.m2ts", late);
  // The first packet of chunk 2 is bad: nothing of that chunk counts.
  Bytes at_start = Video(5 * kChunkPackets);
  BreakSync(at_start, 2 * kChunkPackets);
  WriteBytes(dir / "00002.m2ts", at_start);
  WriteBytes(dir / "00003.m2ts", Video(1000));
  const std::vector<std::filesystem::path> clips = {dir / "00001.m2ts", dir / "00002.m2ts",
                                                    dir / "00003.m2ts"};

  // A clip list goes on after each damaged clip.
  const ScanResult r = ScanToEnd(Prepare(clips, 1000));
  EXPECT_EQ(r.scan_state, kScanSyncError);
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.scanned_packets, 10u * kChunkPackets + 2u * kChunkPackets + 1000);
  EXPECT_EQ(r.video[0].packet_count, 10u * kChunkPackets - 100 + 2u * kChunkPackets + 1000);
  EXPECT_EQ(Figures(r), Figures(ScanToEnd(Prepare(clips, 1000, 1))));
}

// A stop ends the file in hand after whole chunks and opens no further clip.
TEST(TsScanner, StopMidFileLeavesTheRestUnread) {
  test::TempDir dir;
  // Chunk c holds c + 1 video packets, so the video count tells which
  // chunks were counted; the second clip alone has subtitle packets.
  constexpr int kChunks = 16;
  Bytes b;
  for (int c = 0; c < kChunks; ++c) {
    for (int k = 0; k < kChunkPackets; ++k) AddPacket(b, k <= c ? 0x1011 : 0x0000);
  }
  WriteBytes(dir / "00001.m2ts", b);
  WriteBytes(dir / "00002.m2ts", Title(100, 1, 1, 1));

  TsScanner scanner;
  scanner.Start(Prepare({dir / "00001.m2ts", dir / "00002.m2ts"}, 1000), nullptr);
  // Stop once it has counted something.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (scanner.Progress().scanned_packets == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
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
  EXPECT_EQ(r.subtitle[0].packet_count, 0u);
  EXPECT_EQ(scanner.scan_file_name(), "00001.m2ts");
}

TEST(TsScanner, ANewScanStopsAndWaitsForTheOldWorker) {
  test::TempDir dir;
  WriteBytes(dir / "00001.m2ts", Title(20000, 3, 1, 1));  // several buffers
  WriteBytes(dir / "00002.m2ts", Title(700, 1, 2, 0));

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

}  // namespace
}  // namespace dp
