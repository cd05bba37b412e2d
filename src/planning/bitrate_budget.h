// The video bitrate budget's parts: the transport-stream overhead of an
// audio rate, the subtitle allowance, and the estimate of a source video's
// bitrate from the container's overall rate.
#pragma once

#include "source/inventory.h"

namespace dp {

// The audio rate the budget counts and its packaging overhead k (bits per
// 1536-bit transport packet).
struct AudioBudget {
  double kbps = 0;
  double k = 0;
};

// target_audio is the Target Audio value (1: the HD stream kept whole);
// rate the value, or the stream's own bitrate for value 0.
AudioBudget AudioOverhead(int target_audio, int rate, const AudioStream& stream);

// The kbps the chosen subtitle stream takes from the video.
int SubtitleAllowance(const SourceInventory& inventory, int subtitle_index, int subtitle_mode, int mode_3d);

// 2D and the MVC (2D+3D) modes keep the full picture; the half modes do not.
bool FullPictureMode(int mode_3d);

}  // namespace dp
