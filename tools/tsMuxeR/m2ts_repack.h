// Turns the transport stream ffmpeg wrote from the inputs into the disc's
// stream file: every PES re-packed by the M2TS writer on its own schedule.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tsMuxeR/m2ts_writer.h"

namespace dp::tools {

// `progress` gets the share of the input read so far (0..1). False, with a
// message, when the input can't be read, a PES belongs to no stream, or a
// video or audio stream has no packet at all.
bool RepackM2ts(const std::string& input, const std::string& output, const std::vector<M2tsStream>& streams,
                const M2tsSettings& settings, const std::function<void(double)>& progress,
                std::string& error);

}  // namespace dp::tools
