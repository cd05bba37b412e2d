#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "queue/progress.h"

// First byte: the reader; next four: the job's frame count; the rest: what
// the tick read (pipe bytes or console title).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const auto reader = static_cast<dp::ProgressReader>(data[0] % 6);
  std::int32_t frame_count;
  std::memcpy(&frame_count, data + 1, sizeof frame_count);
  const std::string_view input(reinterpret_cast<const char*>(data + 5), size - 5);
  const dp::ProgressRead read = dp::ReadProgress(reader, input, frame_count);
  if (!read.shown) return 0;
  if (read.shown->p < 0 || read.shown->p > dp::kProgressMax) __builtin_trap();
  if (dp::ReadsTitle(reader) && read.shown->text != dp::ConsoleTitleText(input)) __builtin_trap();
  if (dp::ReadsPipe(reader) && read.shown->text.size() >= dp::kProgressPipeChunk) __builtin_trap();
  return 0;
}
