#include <cstdint>
#include <string>

#include "source/file_prefix.h"
#include "source/mpls.h"
#include "source/mpls_layout.h"

namespace dp {

using namespace mpls;

namespace {

constexpr std::int8_t kPlaneUndefined = -1;

struct PgPlane {
  std::uint16_t pid;
  std::int8_t plane;
};

}  // namespace

int GetMpls3DPlanes(const std::string& path, std::span<SubtitleStream> subtitles) {
  FilePrefix file;
  if (!file.Read(path, kMpls3DReadSize)) return 0;

  // PG entries follow the video and audio entries of the first play item.
  const std::uint64_t first_pg = std::uint64_t{file.U8(kVideoEntryCount)} + file.U8(kAudioEntryCount);
  const int pg_streams = file.U8(kPgEntryCount);
  PgPlane pg[kMaxPlanePgStreams];
  int collected = 0;
  for (int k = 0; k < pg_streams && collected < kMaxPlanePgStreams; ++k) {
    const std::uint64_t pid_at = kFirstStreamEntry + kStreamEntrySize * (first_pg + k) + kEntryPid;
    if (!file.Holds(pid_at, 2)) break;
    pg[collected++] = PgPlane{file.U16(pid_at), kPlaneUndefined};
  }

  const std::uint64_t x = file.U32(kExtensionAddress);
  if (!file.Holds(x, 4) || !file.Holds(x + 4, file.U32(x))) return 0;
  // A plane reference past the bytes read leaves that stream's plane undefined
  // rather than reading outside the file.
  for (int k = 0; k < collected; ++k) {
    const std::uint64_t plane_at = x + kFirstPlaneRef + kPlaneRefStride * k;
    if (file.Holds(plane_at, 1)) pg[k].plane = static_cast<std::int8_t>(file.U8(plane_at));
  }

  for (SubtitleStream& subtitle : subtitles) {
    subtitle.plane = kPlaneUndefined;
    for (int k = 0; k < collected; ++k) {
      if (pg[k].pid == subtitle.pid) {
        subtitle.plane = pg[k].plane;
        break;
      }
    }
  }
  return 1;
}

}  // namespace dp
