// The source inventory: the one description of the current source, its
// container, video, audio and subtitle streams, chapter text and source-kind
// flags. Source analysis fills it, the bitrate scanner adds measured values,
// job planning reads it. One process-wide instance, owned by the user-interface
// thread; text fields are fixed NUL-terminated buffers cut to their width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace dp {

inline constexpr int kMaxContainers = 4;
inline constexpr int kMaxVideoStreams = 4;
inline constexpr int kMaxAudioStreams = 20;
inline constexpr int kMaxSubtitleStreams = 35;
// The chapter analysis reads at most this much of the chapter file, so the
// chapter text it derives always fits.
inline constexpr std::size_t kChapterTextSize = 30000;

// PID that the dependent (MVC) view of a 3D source is given.
inline constexpr std::int32_t kMvcViewPid = 4114;

struct ContainerRecord {
  std::int32_t overall_bitrate_kbps;
  // Set by the bitrate scanner; kept in the first record only.
  std::uint32_t total_packets;
  std::uint32_t scanned_packets;
};

struct VideoStream {
  std::int32_t pid;  // transport-stream PID, or Matroska track number
  std::int32_t width;
  std::int32_t height;
  std::int32_t bitrate_kbps;
  std::int32_t scanned_bitrate_kbps;
  std::uint32_t packet_count;
  double duration_ms;
  double frame_count;
  char duration_text[16];    // h:mm:ss
  char frame_rate[16];       // "23.976"
  char fps_fraction[16];     // "24000/1001", empty when the rate is not a known one
  char frame_rate_text[16];  // for the source ring only
  char scan_type[8];         // "i" or "p"
  char format[16];
  char display_aspect[8];
  char eye[16];             // "left" / "right" for 3D sources
  std::int8_t plane_count;  // dependent-view record only: 3D planes of the SSIF file
};

struct AudioStream {
  std::int32_t pid;
  std::int32_t bitrate_kbps;       // what a kept core or plain track costs
  std::int32_t full_bitrate_kbps;  // whole track with its core; 0 when unknown or variable
  std::int32_t scanned_bitrate_kbps;
  std::int32_t has_core;  // 0 or 1
  std::int32_t delay_ms;
  std::uint32_t packet_count;
  char language_code[8];
  char language_name[32];
  char format[16];
  char format_profile[16];
  char codec_id[16];
  char channels[8];
  char sampling_rate[32];
  char resolution[8];
  char dialnorm[8];
};

// forced_count: -1 marks a track taken to be forced subtitles as a whole (by
// its title, or by the scanner's sparse-track test); above 0 it is the number
// of forced captions the scanner counted.
inline constexpr std::int32_t kForcedTrack = -1;

struct SubtitleStream {
  std::int32_t pid;
  std::int32_t scanned_bitrate_kbps;
  std::int32_t forced_count;
  std::uint32_t packet_count;
  char language_code[8];
  char language_name[32];
  char format[8];  // "PGS", "UTF-8", "ASS", ...
  char codec_id[16];
  char title[128];    // at most 118 characters are kept
  std::int8_t plane;  // 3D plane (offset sequence); -1 undefined
};

inline constexpr std::size_t kSubtitleTitleMax = 118;

struct SourceInventory {
  std::int32_t container_count;
  ContainerRecord container[kMaxContainers];

  std::int32_t video_count;
  VideoStream video[kMaxVideoStreams];

  std::int32_t audio_count;
  AudioStream audio[kMaxAudioStreams];

  std::int32_t subtitle_count;
  SubtitleStream subtitle[kMaxSubtitleStreams];

  // Source-kind flags, 0 or 1.
  std::int32_t source_is_mkv;
  std::int32_t source_is_m2ts;
  std::int32_t source_is_3d;
  std::int32_t no_chapters;
  std::int32_t limit_frames;

  // One chapter start time (h:mm:ss.mmm) per line, each ended by "\n".
  char chapters[kChapterTextSize];
};

// The process-wide inventory. Only the user-interface thread touches it; the
// scanner worker counts into a block of its own and the result is copied in
// on that thread.
extern SourceInventory source_inventory;

// Zeroes every field: no source.
void ResetInventory(SourceInventory& inventory);

static_assert(std::is_trivially_copyable_v<SourceInventory>);
static_assert(std::is_standard_layout_v<SourceInventory>);
static_assert(sizeof(ContainerRecord) == 12);
static_assert(sizeof(VideoStream) == 160);
static_assert(offsetof(VideoStream, duration_ms) == 24);
static_assert(offsetof(VideoStream, plane_count) == 152);
static_assert(sizeof(AudioStream) == 172);
static_assert(offsetof(AudioStream, language_code) == 28);
static_assert(sizeof(SubtitleStream) == 212);
static_assert(offsetof(SubtitleStream, title) == 80);
static_assert(offsetof(SubtitleStream, plane) == 208);
static_assert(sizeof(SourceInventory::container) / sizeof(ContainerRecord) == 4);
static_assert(sizeof(SourceInventory::video) / sizeof(VideoStream) == 4);
static_assert(sizeof(SourceInventory::audio) / sizeof(AudioStream) == 20);
static_assert(sizeof(SourceInventory::subtitle) / sizeof(SubtitleStream) == 35);

}  // namespace dp
