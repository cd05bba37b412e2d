// Any bytes as a ".sup": the forced-caption export must neither crash nor
// read out of bounds, and what it writes is whole input segments in order.
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_file.h"
#include "pipeline/pgs_forced.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string in = dp::fuzz::WriteFuzzFile("in.sup", data, size);
  const std::string out_path = (dp::fuzz::FuzzDir() / "out.sup").string();
  const dp::PgsCopyResult r = dp::SubtitleExportForced(in, out_path);
  if (r.result != 1 || r.segments_written > r.segments_read) ::abort();

  // Each written segment must be found, byte for byte, at the input position
  // reached by skipping whole segments.
  std::ifstream f(out_path, std::ios::binary);
  const std::vector<std::uint8_t> out{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  std::size_t in_at = 0;
  std::size_t out_at = 0;
  std::uint64_t written = 0;
  while (out_at < out.size()) {
    if (out.size() - out_at < dp::kPgsHeaderSize) ::abort();
    const std::size_t length = dp::kPgsHeaderSize + (std::size_t{out[out_at + 11]} << 8) + out[out_at + 12];
    bool found = false;
    while (size - in_at >= dp::kPgsHeaderSize && !found) {
      const std::size_t in_length =
          dp::kPgsHeaderSize + (std::size_t{data[in_at + 11]} << 8) + data[in_at + 12];
      if (in_length > size - in_at) break;
      found = in_length == length && out.size() - out_at >= length &&
              std::memcmp(data + in_at, out.data() + out_at, length) == 0;
      in_at += in_length;
    }
    if (!found) ::abort();
    out_at += length;
    ++written;
  }
  if (written != r.segments_written) ::abort();
  return 0;
}
