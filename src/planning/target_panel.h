// What the target half of the main panel shows and what the user chose on
// it: the Target Media, Target Audio and Target Subtitle rings, the chosen
// source streams, the Video Bitrate field with its label, the preset and the
// coloured "Info:" verdict; and the Advanced Options kept between jobs. The
// planner computes it, the window, the CLI and the tests draw and edit it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "queue/job_record.h"

namespace dp {

// Target Media ring indexes: the job record's names (kMediaBd5 ...
// kMediaMkvRemux), the same numbers; "MKV Remux" is stored as 7.
inline constexpr int kMediaUsb4Gb = kMediaUsb4;
inline constexpr int kMediaCount = 9;

struct MediaItem {
  std::string label;  // "AVCHD BD5"; the custom item reads "%d MB"
  double bytes;       // capacity; -1 for the targets without a size budget
};

struct RingItem {
  std::string label;
  int value = 0;
};

// Verdict colours, 0xRRGGBB.
inline constexpr std::uint32_t kVerdictBlue = 0x0000FF;
inline constexpr std::uint32_t kVerdictGreen = 0x008000;
inline constexpr std::uint32_t kVerdictOrange = 0xFF9900;
inline constexpr std::uint32_t kVerdictDarkRed = 0x800000;

inline constexpr char kBitrateLabel[] = "Video Bitrate";
inline constexpr char kCrfLabel[] = "     CRF     ";

struct TargetPanel {
  std::vector<MediaItem> media;  // the nine items, in ring order
  int media_index = kMediaBd5;
  std::vector<RingItem> audio;  // Target Audio ring, rebuilt per audio stream
  int audio_index = 0;
  std::vector<RingItem> subtitle;  // Target Subtitle ring
  int subtitle_index = 0;
  // The chosen item of each source ring (index = stream record).
  int source_video = 0;
  int source_audio = 0;
  int source_subtitle = 0;
  // PANEL_BITRATE: kbps, or a CRF on the CRF targets. has_value false: the
  // budget has no answer (a zero duration) and the field shows nothing.
  int bitrate = 0;
  bool has_value = true;
  std::string bitrate_label = kBitrateLabel;
  bool bitrate_enabled = true;
  std::string preset;   // PANEL_PRESETS
  std::string verdict;  // PANEL_INFO
  std::uint32_t verdict_colour = 0;
};

// The Advanced Options dialog's choices, kept from job to job.
struct AdvancedOptions {
  std::string tune = "film";  // "none" or empty: no tune
  std::string params;
  int crop_height = 0;  // 0: no crop
  int resize_720p = 0;
  int noise_reduction = 0;
};

// The nine Target Media items with their labels and capacities.
std::vector<MediaItem> DefaultMediaItems();
// The value of the ring's chosen item; 0 when the ring is empty.
int RingValue(const std::vector<RingItem>& ring, int index);
// The index of the item with `value`; 0 (the first item) when none has it.
int RingIndexOf(const std::vector<RingItem>& ring, int value);

}  // namespace dp
