// The Target Audio and Target Subtitle rings for the chosen streams, and the
// streams the language preferences pick.
#pragma once

#include <string_view>
#include <vector>

#include "planning/target_panel.h"
#include "source/inventory.h"

namespace dp {

struct AudioRing {
  std::vector<RingItem> items;
  int default_value = 0;
};

// The audio treatments offered for `stream` on target `target`; mvc: the
// 2D+3D mode; use_flac: the UseFlac setting.
AudioRing TargetAudioRing(const AudioStream& stream, int target, bool mvc, bool use_flac);

// The three fixed subtitle items, and the fourth while the chosen stream has
// forced captions.
void AdjustSubtitleRing(std::vector<RingItem>& ring, bool has_forced);

// The subtitle treatment the preferences give the stream.
int PreferredSubtitleMode(const SubtitleStream& stream, std::string_view lang, bool no_subtitle,
                          bool forced_only);

// A preference holds one ISO 639-2 code or two with one character between.
bool LanguageMatches(std::string_view preference, std::string_view code);

// The preferred audio and subtitle stream; -1 when none passes.
int PreferredAudioStream(const SourceInventory& inventory, int target, std::string_view lang);
int PreferredSubtitleStream(const SourceInventory& inventory, std::string_view lang, bool forced_subtitle);

}  // namespace dp
