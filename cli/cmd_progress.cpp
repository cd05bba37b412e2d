#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>

#include "args.h"
#include "command.h"
#include "pipeline/step.h"
#include "queue/progress.h"

namespace dp::cli {
namespace {

struct Input {
  std::int32_t status = 0;
  std::int32_t frame_count = 0;
};

// One tick of the progress monitor for a job in STATUS, over what stdin holds:
// the bytes waiting in the tool's pipe (one tick takes at most 500 of them)
// or the tool's console title.
int Tick(const Input& in) {
  std::string input((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
  const ProgressReader reader = ReaderForStatus(in.status);
  if (ReadsPipe(reader)) {
    input.resize(std::min(input.size(), kProgressPipeChunk));
  } else if (ReadsTitle(reader)) {
    // A title has no line end; the one echo adds is not part of it.
    if (input.ends_with('\n')) input.pop_back();
    if (input.ends_with('\r')) input.pop_back();
    if (input.empty()) return kOk;  // an empty title ends the tick
  }
  const ProgressRead read = ReadProgress(reader, input, in.frame_count);
  if (read.shown) std::printf("p=%d text=%s\n", read.shown->p, read.shown->text.c_str());
  return kOk;
}

void Setup(CLI::App& group) {
  auto in = std::make_shared<Input>();
  constexpr long long kMin = std::numeric_limits<std::int32_t>::min(),
                      kMax = std::numeric_limits<std::int32_t>::max();
  group.add_option("STATUS", in->status, "the job's status")->required()->transform(WholeNumber(kMin, kMax));
  group.add_option("--frames", in->frame_count, "the job's frame count")->transform(WholeNumber(kMin, kMax));
  group.footer("stdin: the tool's output chunk or console title");
  OnRun(group, [in] { return Tick(*in); });
}

const RegisterCommand reg("progress", "what the progress monitor reads for a job in STATUS", Setup);

}  // namespace
}  // namespace dp::cli
