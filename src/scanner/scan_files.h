// Which files a bitrate scan reads, and their size in whole packets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scanner/ts_packet.h"
#include "util/file_io.h"

namespace dp {

struct ScanFile {
  std::string path;  // the file read
  std::string name;  // what the progress line shows (scan_file_name)
};

struct ScanSource {
  std::vector<ScanFile> files;
  // A multi-clip title: each clip is opened by the worker in turn, and a sync
  // error ends only the clip in hand.
  bool clip_list = false;
};

// Opens a file of the scan for reading, with the sequential-read hint; only
// a regular file opens (a named pipe or device would hang the scan), and
// *error, when given, says why one did not.
FileHandle OpenScanFile(const std::string& path, std::string* error = nullptr);

// The files of a scan. Without a multi-clip title (join_playlist 0) the
// source path itself, or for a 3D source its stereo interleaved file
// "SSIF/<first five characters of the name>.ssif" beside it. With one, the
// clips of the "+"-joined clip list (each a leading number, "%05d.m2ts" or
// "%05d.ssif" for 3D) in the source's folder, or its SSIF subfolder for 3D.
// False when a multi-clip title's source path has no folder.
bool ChooseScanFiles(std::string_view source_path, int join_playlist, bool source_is_3d,
                     std::string_view clips, ScanSource& out);

// Everything a scan needs once its files are known.
struct PreparedScan {
  ScanSource source;
  // Single file: opened by the scan start and handed to the worker.
  FileHandle first_file;
  // Sum over the files of floor(size / 192); a trailing partial packet is
  // never counted.
  std::uint64_t total_packets = 0;
  ScanStreams streams;
  double duration_ms = 0;  // playing time of the title
  // Threads that read each regular file, 1 or 2; 0 lets the scan choose
  // (2 when the process may run on at least two CPUs).
  int read_threads = 0;
};

// Finds total_packets: each file is opened to read its size (and the single
// file is kept open). False, with nothing kept open, when any file cannot be
// opened; error then names it.
bool OpenScanSource(ScanSource source, PreparedScan& out, std::string* error = nullptr);

// The PIDs of the inventory's stream tables and the first video stream's
// duration.
ScanStreams ScanStreamsOf(const SourceInventory& inventory);
double ScanDurationMs(const SourceInventory& inventory);

}  // namespace dp
