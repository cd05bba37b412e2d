// The texts with which the demuxer describes a source and its tracks, in the
// shapes its listings have always had ("2: h264/AVC, 1080p24 /1.001 (16:9)").
#pragma once

#include <string>
#include <vector>

#include "toolkit/probe.h"

namespace dp::tools {

// "English" for "eng"; empty for an unknown or undetermined code.
std::string LanguageName(const std::string& code);

// "24 /1.001", "25", "50"; interlaced video counts fields.
std::string RateText(const StreamInfo& video);

// The description after "N: ". `detail` chooses the full stream-listing form
// (channels, bitrate, bits); otherwise the short form of a title summary.
// Lines after the first (the core of an HD audio track) come as further
// elements, already indented.
std::vector<std::string> DescribeStream(const StreamInfo& s, bool detail, bool m2ts, bool right_eye);

// "M2TS, 1 video track, 2 audio tracks, 1 subtitle track, 0:24:38, 24p /1.001"
std::string DescribeContainer(const std::string& container, const std::vector<StreamInfo>& streams,
                              double duration);

}  // namespace dp::tools
