// What of a muxer's output location existed right before the muxer ran, so
// that a run that does not finish removes only what it made: the whole
// output when it was new, else the entries the muxer writes that were not
// there, and an image file that was there only when the run changed it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "pipeline/step.h"

namespace dp {

struct FileStamp {
  bool exists = false;
  bool regular = false;
  unsigned long long device = 0, inode = 0, size = 0;
  long long mtime_sec = 0, mtime_nsec = 0;
  bool operator==(const FileStamp&) const = default;
};

struct OutputSnapshot {
  // The highest folder (or the file) on the way to the output that did not
  // exist: all of it is the run's. Empty when the output existed.
  std::string created;
  FileStamp output;                      // the output as it was
  std::vector<std::string> new_entries;  // entries that did not exist
};

OutputSnapshot SnapshotOutput(const MuxerOutput& output);

// Removes what the run made since the snapshot, each removal through the
// delete guards (kept_folders: the temporary and output folder settings).
// Empty, or why something was not removed.
std::string RemoveRunOutput(const MuxerOutput& output, const OutputSnapshot& before,
                            const std::vector<std::filesystem::path>& kept_folders);

}  // namespace dp
