// Any bytes as a ".sup": flagging every caption as forced must neither crash
// nor read out of bounds, and may only set the forced bit in what it copies.
#include <stdlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_file.h"
#include "pipeline/pgs_forced.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string in = dp::fuzz::WriteFuzzFile("in.sup", data, size);
  const std::string out_path = (dp::fuzz::FuzzDir() / "out.sup").string();
  const dp::PgsCopyResult r = dp::SubtitleFlagAllForced(in, out_path);
  if (r.result != 1 || r.segments_written != r.segments_read) ::abort();

  std::ifstream f(out_path, std::ios::binary);
  const std::vector<std::uint8_t> out{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  if (out.size() > size) ::abort();
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == data[i]) continue;
    if (out[i] != (data[i] | dp::kPgsForcedFlag)) ::abort();
  }
  // The copy stops only where the input stops being whole segments.
  if (!r.input_damaged && out.size() != size) ::abort();
  return 0;
}
