// Names of the coded values the job record stores as plain integers. The
// enums are unscoped with the field's own width, so a stored record reads
// and compares exactly as before; the layout does not change.
#pragma once

#include <cstdint>

namespace dp {

// `mode_3d`: which picture a 3D source becomes. The odd half modes and 10
// take the left eye as the base (AVC) view, the others the right eye.
enum Mode3d : std::uint8_t {
  kMode2d = 0,
  kModeHalfSbsLeft = 1,
  kModeHalfSbsRight = 2,
  kModeHalfTabLeft = 3,
  kModeHalfTabRight = 4,
  kModeMvcLeft = 10,
  kModeMvcRight = 11,
};

// The questions every user of a 3D mode number asks.
inline bool IsMvcMode(int mode) { return mode == kModeMvcLeft || mode == kModeMvcRight; }
inline bool IsHalf3dMode(int mode) { return mode >= kModeHalfSbsLeft && mode <= kModeHalfTabRight; }

// `subtitle_mode`
enum SubtitleMode : std::int32_t {
  kSubtitleNone = 0,
  kSubtitleKept = 1,
  kSubtitleKeptForced = 2,  // kept and flagged forced
  kSubtitleForcedOnly = 3,  // only the forced captions extracted
};

// `target_audio`: any other value recodes to AC-3 at that many kbps.
enum TargetAudio : std::int32_t {
  kAudioCopy = 0,
  kAudioFlac = 2,
};

// `resize_720p`
enum Resize720p : std::int32_t {
  kResizeNone = 0,
  kResize720 = 1,
  kResize720WithPgs = 2,  // and the PGS subtitles are rescaled too
};

// `video_untouched`: the source's video is copied, not encoded.
enum VideoUntouched : std::int32_t {
  kVideoEncoded = 0,
  kVideoUntouched = 1,
};

// `subtitle_3d_plane` of an MVC job whose playlist names no plane.
inline constexpr std::int8_t kSubtitlePlaneUndefined = -1;

}  // namespace dp
