// Forced-caption handling of PGS subtitle streams (".sup"): keep only the
// forced display sets, or mark every epoch's caption as forced. Both stream
// the file segment by segment, so memory stays bounded whatever its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dp {

// One segment header as stored in the file (big-endian fields).
inline constexpr std::size_t kPgsHeaderSize = 13;
inline constexpr std::size_t kPgsHeaderTypeOffset = 10;
inline constexpr std::size_t kPgsHeaderSizeOffset = 11;
inline constexpr std::size_t kPgsMaxPayload = 65535;

inline constexpr std::uint8_t kPgsPresentationComposition = 0x16;
inline constexpr std::uint8_t kPgsEpochStart = 0x80;
inline constexpr std::uint8_t kPgsForcedFlag = 0x40;
// Offsets inside a presentation composition payload.
inline constexpr std::size_t kPcsStateOffset = 7;
inline constexpr std::size_t kPcsFirstObjectFlagsOffset = 14;

struct PgsCopyResult {
  // 1: the input was copied to its end or to its last whole segment.
  // 0: nothing was written: the input could not be opened or is not a
  //    regular file, the output could not be created, or both name the same
  //    file.
  // -1: reading or writing failed part way.
  int result = 0;
  std::uint64_t segments_read = 0;
  std::uint64_t segments_written = 0;
  // The input ended inside a segment or ran into bytes that are not a segment.
  bool input_damaged = false;
  // Why nothing was written (result 0), naming the file.
  std::string error;
};

// Copies only the display sets of forced epochs: the forced flag of an epoch
// start's first composition object decides for every segment up to the next
// epoch start.
PgsCopyResult SubtitleExportForced(const std::string& input_path, const std::string& output_path);

// Copies every segment, setting the forced flag of the first composition
// object of each epoch start.
PgsCopyResult SubtitleFlagAllForced(const std::string& input_path, const std::string& output_path);

}  // namespace dp
