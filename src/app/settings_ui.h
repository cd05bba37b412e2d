// What the main window shows of the stored preferences at start-up. The
// window applies the result; working it out needs no window.
#pragma once

#include <array>
#include <string>

#include "app/settings.h"

namespace dp {

inline constexpr char kCrfFieldLabel[] = "     CRF     ";
inline constexpr int kCustomMediaItem = 4;
inline constexpr int kTargetMediaCount = 9;

// Items of Options > "Scrape movie titles in TMDB", index = Scrape value.
inline constexpr std::array<const char*, 6> kScrapeItems = {
    "Untouch (disable scrape)",
    "Local Title (year) - Original Title",
    "Original Title (year) - Local Title",
    "Local Title (year)",
    "Original Title (year)",
    "Local Title",
};

enum class BitrateField {
  kUnchanged,  // the field keeps its label and value
  kCrf,        // labelled kCrfFieldLabel, showing the CRF
  kDisabled,   // disabled, showing 1 (remux: no bitrate to choose)
};

struct MainWindowSettings {
  std::string custom_media_label;  // item kCustomMediaItem of Target Media: "%d MB"
  double custom_media_value = 0;   // its value: bytes
  int media_index = 0;
  std::string preset;
  BitrateField bitrate_field = BitrateField::kUnchanged;
  int bitrate_value = 0;    // shown when bitrate_field is not kUnchanged
  int scrape_checked = -1;  // index into kScrapeItems, -1 for none
  bool save_x264_log = false;
};

MainWindowSettings AplicaSettingsUI(const Settings& s);

}  // namespace dp
