#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_file.h"
#include "source/mpls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = dp::fuzz::WriteFuzzFile("info.mpls", data, size);
  double duration;
  std::uint8_t video, audio, pg;
  std::int32_t chapters = -1;
  std::string clip;
  const int result = dp::GetMplsInfo(path, &duration, &video, &audio, &pg, &chapters, &clip);
  if (result != 0 && (chapters < 0 || clip.size() > 5)) __builtin_trap();
  if (result == 2 && chapters != 0) __builtin_trap();
  return 0;
}
