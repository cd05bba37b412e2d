#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_file.h"
#include "source/start_mux_time.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = dp::fuzz::WriteFuzzFile("start.ssif", data, size);
  std::int8_t planes = -1;
  const std::int32_t start = dp::GetStartMuxTime(path, &planes);
  if (size < dp::kStartMuxReadSize && (start != 0 || planes != -1)) __builtin_trap();
  return 0;
}
