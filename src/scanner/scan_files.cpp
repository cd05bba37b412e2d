#include "scanner/scan_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/text.h"

namespace dp {

FileHandle OpenScanFile(const std::string& path, std::string* error) {
  FileHandle file = OpenRegularFile(path, error);
  if (file.valid()) ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return file;
}

namespace {

constexpr std::string_view kSsifFolder = "SSIF";
constexpr std::size_t kClipNumberChars = 5;

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

}  // namespace

bool ChooseScanFiles(std::string_view source_path, int join_playlist, bool source_is_3d,
                     std::string_view clips, ScanSource& out) {
  out = ScanSource{};
  const std::size_t slash = source_path.rfind('/');
  if (join_playlist == 0) {
    const std::string_view name = slash == npos ? source_path : source_path.substr(slash + 1);
    ScanFile file{std::string(source_path), std::string(name)};
    if (source_is_3d) {
      const std::string_view folder = slash == npos ? std::string_view() : source_path.substr(0, slash);
      std::string ssif(name.substr(0, kClipNumberChars));
      ssif += ".ssif";
      file.path = JoinPath(JoinPath(folder, kSsifFolder), ssif);
    }
    out.files.push_back(std::move(file));
    return true;
  }
  if (slash == npos) return false;
  std::string folder(source_path.substr(0, slash));
  if (source_is_3d) folder = JoinPath(folder, kSsifFolder);
  out.clip_list = true;
  for (std::string_view piece : Tokenize(clips, "+")) {
    std::string name = Format(source_is_3d ? "%05d.ssif" : "%05d.m2ts", LeadingInt(piece));
    out.files.push_back({JoinPath(folder, name), name});
  }
  return true;
}

bool OpenScanSource(ScanSource source, PreparedScan& out, std::string* error) {
  out.first_file.Close();
  out.total_packets = 0;
  for (std::size_t i = 0; i < source.files.size(); ++i) {
    std::string why;
    FileHandle file = OpenScanFile(source.files[i].path, &why);
    struct stat st {};
    if (file.valid() && ::fstat(file.get(), &st) != 0) {
      why = source.files[i].path + ": " + std::strerror(errno);
      file.Close();
    }
    if (!file.valid()) {
      if (error) *error = why;
      out.first_file.Close();
      out.total_packets = 0;
      return false;
    }
    out.total_packets += static_cast<std::uint64_t>(st.st_size) / kSourcePacketSize;
    if (i == 0 && !source.clip_list) out.first_file = std::move(file);
  }
  out.source = std::move(source);
  return true;
}

ScanStreams ScanStreamsOf(const SourceInventory& inventory) {
  ScanStreams s;
  auto clamp = [](std::int32_t n, int max) { return n < 0 ? 0 : (n > max ? max : static_cast<int>(n)); };
  s.video_count = clamp(inventory.video_count, kMaxVideoStreams);
  s.audio_count = clamp(inventory.audio_count, kMaxAudioStreams);
  s.subtitle_count = clamp(inventory.subtitle_count, kMaxSubtitleStreams);
  for (int i = 0; i < s.video_count; ++i) s.video_pid[i] = inventory.video[i].pid;
  for (int i = 0; i < s.audio_count; ++i) s.audio_pid[i] = inventory.audio[i].pid;
  for (int i = 0; i < s.subtitle_count; ++i) s.subtitle_pid[i] = inventory.subtitle[i].pid;
  return s;
}

double ScanDurationMs(const SourceInventory& inventory) { return inventory.video[0].duration_ms; }

}  // namespace dp
