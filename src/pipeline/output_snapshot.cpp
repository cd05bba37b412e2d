#include "pipeline/output_snapshot.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/shell.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

// Only a name that is plainly not there counts as missing; a name that
// cannot be looked at counts as the user's.
bool Missing(const fs::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

FileStamp Stamp(const std::string& path) {
  FileStamp stamp;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return stamp;
  stamp.exists = true;
  stamp.regular = S_ISREG(st.st_mode);
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = static_cast<unsigned long long>(st.st_size);
  stamp.mtime_sec = st.st_mtim.tv_sec;
  stamp.mtime_nsec = st.st_mtim.tv_nsec;
  return stamp;
}

void Remember(std::string& first, const std::string& why) {
  if (first.empty()) first = why;
}

}  // namespace

OutputSnapshot SnapshotOutput(const MuxerOutput& output) {
  OutputSnapshot snap;
  if (output.path.empty()) return snap;
  const fs::path path(output.path);
  if (Missing(path)) {
    // The muxer makes the folders on the way as well.
    fs::path top = path;
    for (fs::path up = top.parent_path(); up.has_relative_path() && up != top && Missing(up);
         up = up.parent_path())
      top = up;
    snap.created = top.string();
  }
  snap.output = Stamp(output.path);
  for (const std::string& entry : output.entries)
    if (Missing(entry)) snap.new_entries.push_back(entry);
  return snap;
}

std::string RemoveRunOutput(const MuxerOutput& output, const OutputSnapshot& before,
                            const std::vector<fs::path>& kept_folders) {
  std::string refusal;
  if (!before.created.empty()) {
    if (!Missing(before.created)) Remember(refusal, DeleteTree(before.created, kept_folders));
  } else if (before.output.regular && Stamp(output.path) != before.output) {
    // An image that was there is the user's until the muxer rewrote it.
    Remember(refusal, DeleteTree(output.path, kept_folders));
  }
  for (const std::string& entry : before.new_entries)
    if (!Missing(entry)) Remember(refusal, DeleteTree(entry, kept_folders));
  return refusal;
}

}  // namespace dp
