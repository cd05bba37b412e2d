#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <limits>
#include <string>

#include "command.h"
#include "pipeline/step.h"
#include "queue/progress.h"

namespace dp::cli {
namespace {

bool ParseInt32(std::string_view text, std::int32_t& value) {
  long long v = 0;
  if (!ParseInt(text, v) || v < std::numeric_limits<std::int32_t>::min() ||
      v > std::numeric_limits<std::int32_t>::max())
    return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

// One tick of the progress monitor for a job in STATUS, over what stdin holds:
// the bytes waiting in the tool's pipe (one tick takes at most 500 of them)
// or the tool's console title.
int CmdProgress(const Args& in) {
  Args args = in;
  std::string frames_text;
  bool missing = false;
  const bool has_frames = TakeOption(args, "--frames", frames_text, missing);
  if (missing || args.size() != 1) return Usage("progress");
  std::int32_t status = 0;
  std::int32_t frame_count = 0;
  if (!ParseInt32(args[0], status)) return Usage("progress");
  if (has_frames && !ParseInt32(frames_text, frame_count)) return Usage("progress");

  std::string input((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
  const ProgressReader reader = ReaderForStatus(status);
  if (ReadsPipe(reader)) {
    input.resize(std::min(input.size(), kProgressPipeChunk));
  } else if (ReadsTitle(reader)) {
    // A title has no line end; the one echo adds is not part of it.
    if (input.ends_with('\n')) input.pop_back();
    if (input.ends_with('\r')) input.pop_back();
    if (input.empty()) return kOk;  // an empty title ends the tick
  }
  const ProgressRead read = ReadProgress(reader, input, frame_count);
  if (read.shown) std::printf("p=%d text=%s\n", read.shown->p, read.shown->text.c_str());
  return kOk;
}

const RegisterCommand reg("progress",
                          "  discpress-cli progress STATUS [--frames N]   (stdin: the tool's output chunk or "
                          "console title)\n",
                          CmdProgress);
}  // namespace
}  // namespace dp::cli
