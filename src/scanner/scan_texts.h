// What the scan dialog shows, as plain text: the progress line and the
// seven columns of each stream's row. The window and the command line share
// them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scanner/scan_files.h"
#include "source/inventory.h"
#include "source/source_state.h"

namespace dp {

// Million bytes per packet: the progress rate is packets per tick x this.
inline constexpr double kPacketMegabytes = 0.000192;
inline constexpr int kScanTickMs = 1000;

// "Scanning NAME N packets of T (R MB/s)...", R from the packets read since
// the previous tick.
std::string ScanProgressLine(std::string_view file_name, std::uint64_t scanned_packets,
                             std::uint64_t total_packets, std::uint64_t previous_scanned_packets);

struct ScanRow {
  std::int32_t pid = 0;
  // PID "4113 (0x1011)", codec, language code, "(language name)", seconds,
  // bitrate, packets; the last three empty before the first tick.
  std::string columns[7];
};

// One row per stream: video, then audio, then subtitles, in table order.
// With figures, the live figures for elapsed_ms (every kind at 1472 bits per
// packet); forced_count must already hold the tick's sparse-track test.
std::vector<ScanRow> ScanRows(const SourceInventory& inventory, bool figures, double elapsed_ms);

// The start of ScanBitrates: counters reset, files found and the single file
// opened, streams and duration taken from the inventory. False, with nothing
// open, when a file cannot be opened.
bool PrepareSourceScan(const SourceState& state, SourceInventory& inventory, PreparedScan& out);

inline constexpr const char* kSyncWarningTitle = "WARNING";
inline constexpr const char* kSyncWarningText = "Sync byte missing!\n\nThe source file seems to be damaged.";

}  // namespace dp
