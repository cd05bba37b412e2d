#include <cstdint>
#include <string>

#include "source/file_prefix.h"
#include "source/mpls.h"
#include "source/mpls_layout.h"

namespace dp {

using namespace mpls;

namespace {

// Entry marks inside the mark table at m; -1 when the table lies beyond the
// bytes read. Marks are counted only as far as the table's own length reaches,
// so a count field that overstates the marks cannot lead past the table.
std::int32_t CountEntryMarks(const FilePrefix& file, std::uint64_t m) {
  if (!file.Holds(m, 4)) return -1;
  const std::uint64_t length = file.U32(m);
  if (!file.Holds(m + 4, length)) return -1;
  const std::uint64_t table_end = m + 4 + length;
  if (m + kFirstMark > table_end) return 0;
  const unsigned marks = file.U16(m + kMarkCount);
  std::int32_t chapters = 0;
  for (std::uint64_t k = 0; k < marks; ++k) {
    const std::uint64_t type_at = m + kFirstMark + kMarkSize * k + kMarkType;
    if (type_at >= table_end) break;
    if (file.U8(type_at) == kEntryMark) ++chapters;
  }
  return chapters;
}

std::string ClipName(const FilePrefix& file) {
  std::string name;
  for (std::uint64_t i = 0; i < kClipNameLength; ++i) {
    const char c = static_cast<char>(file.U8(kFirstClipName + i));
    if (c == '\0') break;
    name += c;
  }
  return name;
}

}  // namespace

int GetMplsInfo(const std::string& path, double* duration, std::uint8_t* video_count,
                std::uint8_t* audio_count, std::uint8_t* pg_count, std::int32_t* chapter_count,
                std::string* clip_name) {
  FilePrefix file;
  if (!file.Read(path, kMplsInfoReadSize)) return kMplsUnreadable;

  // The play item's span is a signed 32-bit difference of the two clock values.
  const auto ticks = static_cast<std::int32_t>(file.U32(kFirstOutTime) - file.U32(kFirstInTime));
  if (duration) *duration = ticks / kTicksPerSecond;
  if (video_count) *video_count = file.U8(kVideoEntryCount);
  if (audio_count) *audio_count = file.U8(kAudioEntryCount);
  if (pg_count) *pg_count = file.U8(kPgEntryCount);
  if (clip_name) *clip_name = ClipName(file);

  const std::int32_t chapters = CountEntryMarks(file, file.U32(kMarkTableAddress));
  if (chapter_count) *chapter_count = chapters < 0 ? 0 : chapters;
  return chapters < 0 ? kMplsMarksBeyondRead : kMplsRead;
}

}  // namespace dp
