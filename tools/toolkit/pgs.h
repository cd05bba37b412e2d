// PGS subtitle streams (".sup"): a run of segments, each a 13-byte header
// ("PG", PTS, DTS, type, payload size) and its payload.
#pragma once

#include <cstdint>
#include <vector>

namespace dp::tools {

enum PgsSegmentType : std::uint8_t {
  kPgsPalette = 0x14,
  kPgsObject = 0x15,
  kPgsComposition = 0x16,
  kPgsWindow = 0x17,
  kPgsEnd = 0x80,
};

struct PgsSegment {
  std::uint32_t pts = 0;
  std::uint32_t dts = 0;
  std::uint8_t type = 0;
  std::vector<std::uint8_t> payload;
};

// Reads segments up to the end or the first damaged one (a short header, a
// header not starting "PG", a short payload); what came before is kept.
std::vector<PgsSegment> ReadPgs(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> WritePgs(const std::vector<PgsSegment>& segments);

// Only the display sets of epochs whose epoch-start composition marks its
// first object forced.
std::vector<PgsSegment> ForcedOnly(const std::vector<PgsSegment>& segments);

// A decoded object picture: palette indexes, row by row.
struct PgsBitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

// The run-length code of PGS objects. Decoding is lenient: short rows are
// padded with index 0 and overlong ones cut; an impossible size gives an
// empty (0 x 0) picture.
PgsBitmap DecodePgsRle(const std::uint8_t* data, std::size_t size, int width, int height);
std::vector<std::uint8_t> EncodePgsRle(const PgsBitmap& bitmap);

}  // namespace dp::tools
