// The scan's side of the source inventory: clearing its counters before a
// scan and copying a scan's figures into it. Both run on the thread that owns
// the inventory (the user-interface thread).
#pragma once

#include "scanner/scan_result.h"
#include "source/inventory.h"

namespace dp {

// Zeroes total_packets and scanned_packets of every container record, and
// packet_count, scanned_bitrate_kbps and (subtitles) forced_count of every
// stream record. A forced_count of -1 that analysis took from a stream's
// title is cleared too: the scan decides anew.
void ResetPackets(SourceInventory& inventory);

// Copies a scan's figures into the inventory: the packet totals into the
// first container record; per stream, when the record still has the PID the
// scan counted, its packet_count, its bitrate once the scan has finished, and
// for subtitles forced_count after the sparse-track test. Used for every live
// snapshot and for the final result.
void ApplyScanResult(const ScanResult& result, SourceInventory& inventory);

}  // namespace dp
