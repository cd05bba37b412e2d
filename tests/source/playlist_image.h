// Builds small playlist files with the fields the readers use at their fixed
// offsets, so each test states only what it varies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/files.h"

namespace dp::test {

using Bytes = std::vector<std::uint8_t>;

inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

struct PlaylistImage {
  std::uint32_t in_time = 27000000, out_time = 322425000;  // 6565 s
  std::string clip = "00021";
  std::uint8_t video = 1, audio = 1;
  std::vector<std::uint16_t> pg_pids;
  std::vector<std::uint8_t> mark_types = {1};
  std::vector<std::uint8_t> planes;  // when not empty: extension data with one plane per PG stream

  std::size_t MarkTable() const { return 118 + 16 * (std::size_t{video} + audio + pg_pids.size()); }
  std::size_t Extension() const { return MarkTable() + 6 + 14 * mark_types.size(); }

  Bytes Build() const {
    const std::size_t m = MarkTable(), x = Extension();
    Bytes b(planes.empty() ? x : x + 60 + 2 * planes.size(), 0);
    Put32(b, 12, static_cast<std::uint32_t>(m));
    Put32(b, 16, planes.empty() ? 0 : static_cast<std::uint32_t>(x));
    for (std::size_t i = 0; i < clip.size(); ++i) b[70 + i] = static_cast<std::uint8_t>(clip[i]);
    Put32(b, 82, in_time);
    Put32(b, 86, out_time);
    b[106] = video;
    b[107] = audio;
    b[108] = static_cast<std::uint8_t>(pg_pids.size());
    for (std::size_t k = 0; k < pg_pids.size(); ++k) {
      const std::size_t pid_at = 118 + 16 * (std::size_t{video} + audio + k) + 2;
      b[pid_at] = static_cast<std::uint8_t>(pg_pids[k] >> 8);
      b[pid_at + 1] = static_cast<std::uint8_t>(pg_pids[k]);
    }
    Put32(b, m, static_cast<std::uint32_t>(2 + 14 * mark_types.size()));
    b[m + 4] = static_cast<std::uint8_t>(mark_types.size() >> 8);
    b[m + 5] = static_cast<std::uint8_t>(mark_types.size());
    for (std::size_t k = 0; k < mark_types.size(); ++k) b[m + 7 + 14 * k] = mark_types[k];
    if (!planes.empty()) Put32(b, x, static_cast<std::uint32_t>(b.size() - x - 4));
    for (std::size_t k = 0; k < planes.size(); ++k) b[x + 58 + 2 * k] = planes[k];
    return b;
  }
};

}  // namespace dp::test
