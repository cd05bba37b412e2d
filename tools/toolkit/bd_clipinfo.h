// The clip information file (".clpi") of a Blu-ray/AVCHD clip: what players
// read before the stream itself — its streams and their attributes, the
// presentation times and the entry points they seek to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/m2ts_reader.h"

namespace dp::tools {

struct ClipStream {
  unsigned pid = 0;
  std::uint8_t coding_type = 0;  // 0x1B AVC, 0x81 AC-3, 0x90 PGS, ...
  std::uint8_t format = 0;       // video: 6 1080p, 4 1080i, 5 720p...; audio: 3 stereo, 6 multi-channel
  std::uint8_t rate = 0;         // video: 1 23.976 ... 7 59.94; audio: 1 48 kHz, 4 96 kHz, 5 192 kHz
  std::uint8_t aspect = 3;       // video: 2 4:3, 3 16:9
  std::string language = "und";
};

struct ClipInfo {
  std::uint32_t packets = 0;
  unsigned pmt_pid = 0;
  unsigned pcr_pid = 0;
  std::uint64_t start_pts = 0;  // 90 kHz
  std::uint64_t end_pts = 0;
  std::vector<ClipStream> streams;
  unsigned video_pid = 0;
  std::vector<EntryPoint> entry_points;
  std::uint8_t application_type = 1;  // 1 a movie's main stream, 8 the dependent view of a 3D one
  // Source packets where the clip's extents in the interleaved 3D file
  // start; none for a 2D clip.
  std::vector<std::uint32_t> extent_starts;
};

// With `dependent`, the main clip of a 3D movie: its extension data adds the
// dependent view clip's program and EP map.
std::vector<std::uint8_t> BuildClipInfo(const ClipInfo& clip, const ClipInfo* dependent = nullptr);

// Attribute codes of the clip and playlist stream tables; 0 when the value
// has no code.
std::uint8_t VideoFormatCode(int height, bool interlaced);
std::uint8_t FrameRateCode(int num, int den);
std::uint8_t AudioFormatCode(int channels);
std::uint8_t SampleRateCode(int hz);

}  // namespace dp::tools
