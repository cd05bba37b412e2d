// Turns the transport stream ffmpeg wrote from the inputs into the disc's
// stream file: every PES re-packed by the M2TS writer on its own schedule.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "toolkit/h264_views.h"
#include "tsMuxeR/m2ts_writer.h"

namespace dp::tools {

// The dependent view of a 3D video: its access units (in `stream`, a mapped
// file) go to their own clip, one beside each base view picture with the
// same timestamps.
struct DependentView {
  unsigned base_pid = 0x1011;
  M2tsStream stream;
  std::string output;
  const std::uint8_t* data = nullptr;
  const std::vector<std::vector<NalSpan>>* units = nullptr;
};

// `progress` gets the share of the input read so far (0..1); `info` (and
// `dependent_info` with a dependent view) what the clip information needs of
// each stream written. False, with a message, when the input can't be read,
// a PES belongs to no stream, a video or audio stream has no packet at all,
// the dependent view's pictures do not pair with the base view's, or a
// stream written lacks what a player needs.
bool RepackM2ts(const std::string& input, const std::string& output, const std::vector<M2tsStream>& streams,
                const M2tsSettings& settings, const std::function<void(double)>& progress, std::string& error,
                M2tsInfo& info, const DependentView* dependent = nullptr, M2tsInfo* dependent_info = nullptr);

}  // namespace dp::tools
