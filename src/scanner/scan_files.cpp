#include "scanner/scan_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/text.h"

namespace dp {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

int FileHandle::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void FileHandle::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

FileHandle OpenScanFile(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return FileHandle(fd);
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
    FileHandle file = OpenScanFile(source.files[i].path);
    struct stat st;
    const bool opened = file.valid() && ::fstat(file.get(), &st) == 0;
    if (!opened || S_ISDIR(st.st_mode)) {
      if (error) *error = source.files[i].path + ": " + (opened ? "is a folder" : std::strerror(errno));
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
