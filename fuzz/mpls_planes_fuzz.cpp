#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_file.h"
#include "source/mpls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = dp::fuzz::WriteFuzzFile("planes.mpls", data, size);
  dp::SubtitleStream subs[4] = {};
  const std::int32_t pids[4] = {0x1200, 0x1201, 0x12A0, 0};
  for (int i = 0; i < 4; ++i) {
    subs[i].pid = pids[i];
    subs[i].plane = 42;
  }
  if (dp::GetMpls3DPlanes(path, subs) == 0) {
    for (const auto& s : subs) {
      if (s.plane != 42) __builtin_trap();  // a failed read changes nothing
    }
  }
  return 0;
}
