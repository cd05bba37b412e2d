// What ffprobe says about a media file: its container, streams and chapters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dp::tools {

struct StreamInfo {
  int index = 0;        // ffmpeg's stream number in the input
  int pid = -1;         // transport-stream PID or container track id, -1 when none
  std::string type;     // "video", "audio", "subtitle", ...
  std::string codec;    // ffmpeg codec name ("h264", "ac3", "hdmv_pgs_subtitle")
  std::string profile;  // "DTS-HD MA", "High", ...
  int width = 0;
  int height = 0;
  int rate_num = 0;  // frame rate as a fraction (0/0 unknown)
  int rate_den = 0;
  std::string field_order;  // "progressive", "tt", ...
  std::string aspect;       // display aspect ratio "16:9"
  int channels = 0;
  std::string layout;  // "5.1(side)", "stereo", ...
  int sample_rate = 0;
  std::int64_t bit_rate = 0;
  int bits = 0;  // bits per raw sample, 0 unknown
  double start_time = 0;
  bool has_start = false;
  std::string language;  // ISO 639-2 code from the stream tags
};

struct ChapterInfo {
  double start = 0;
  std::string title;
};

struct ProbeResult {
  std::string format;  // ffmpeg's format name ("mpegts", "matroska,webm")
  double duration = 0;
  std::vector<StreamInfo> streams;
  std::vector<ChapterInfo> chapters;
};

// Probes `input` (a file name or an ffmpeg "concat:" input). False when
// ffprobe fails or finds no stream.
bool Probe(const std::string& input, ProbeResult& out);

// Number of packets of one stream (the frames of a video elementary stream),
// read through the whole input; -1 when ffprobe fails.
std::int64_t CountPackets(const std::string& input, int stream_index, const std::string& format = "");

// The first stream of that type, or nullptr.
const StreamInfo* FirstOfType(const ProbeResult& probe, const std::string& type);

}  // namespace dp::tools
