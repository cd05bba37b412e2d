#include "planning/target_panel.h"

namespace dp {

std::vector<MediaItem> DefaultMediaItems() {
  // The custom item is relabelled and sized from the settings when the
  // preferences are applied.
  return {
      {"AVCHD BD5", 4700372992.0},
      {"AVCHD BD9", 8543666176.0},
      {"USB 4 GB", 4001398784.0},
      {"BD-25", 25025314816.0},
      {"custom", 0.0},
      {"AVCHD crf", -1.0},
      {"BD Remux", 50050629632.0},
      {"MKV crf", -1.0},
      {"MKV Remux", -1.0},
  };
}

int RingValue(const std::vector<RingItem>& ring, int index) {
  if (index < 0 || index >= static_cast<int>(ring.size())) return 0;
  return ring[static_cast<std::size_t>(index)].value;
}

int RingIndexOf(const std::vector<RingItem>& ring, int value) {
  for (std::size_t i = 0; i < ring.size(); ++i)
    if (ring[i].value == value) return static_cast<int>(i);
  return 0;
}

}  // namespace dp
