// Blu-ray movie playlists (".mpls"): the play items and chapter marks read by
// the demuxer stand-in, and the small playlist the muxer stand-in writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dp::tools {

struct PlayItem {
  std::string clip;            // five-digit clip name, without ".m2ts"
  std::uint32_t in_time = 0;   // 45 kHz
  std::uint32_t out_time = 0;  // 45 kHz
};

// One stream of the playlist's stream table.
struct PlaylistStream {
  enum Kind { kVideo, kAudio, kSubtitle } kind = kVideo;
  unsigned pid = 0;
  std::uint8_t coding_type = 0;  // 0x1B AVC, 0x20 MVC, 0x81 AC-3, 0x90 PGS, ...
  std::string language = "und";
  // The clip information's attribute codes (video: format 6 1080p, 5 720p...,
  // rate 1 23.976 ... 7 59.94; audio: format 3 stereo, 6 multi-channel,
  // rate 1 48 kHz...); 0 when the stream has no such code.
  std::uint8_t format = 0;
  std::uint8_t rate = 0;
};

struct Playlist {
  std::vector<PlayItem> items;
  std::vector<PlaylistStream> streams;  // the first play item's video, audio and subtitle streams
  std::vector<double> chapters;         // entry marks, seconds from the playlist start
  // Clips of the extension's 3D sub-paths (type 8: the dependent view).
  std::vector<std::string> dependent_view_clips;
  double Duration() const;
};

// Parses a playlist image; false when it is not one or a table runs past
// the end of the bytes.
bool ParsePlaylist(const std::vector<std::uint8_t>& bytes, Playlist& out);

// A playlist of one play item naming `clip` for `duration` seconds from
// `in_time` (45 kHz: the clip's presentation start, where players look the
// first packet up), its stream table and one entry mark per chapter time.
// A `dependent` view (MVC, in clip `dependent_clip`) adds the extension data
// of a 3D playlist: the sub-path that plays that clip alongside, and the
// stereoscopic stream table naming the view in it.
std::vector<std::uint8_t> BuildPlaylist(const std::string& clip, double duration,
                                        const std::vector<PlaylistStream>& streams,
                                        const std::vector<double>& chapters, bool right_eye_base,
                                        std::uint32_t in_time = 0, const PlaylistStream* dependent = nullptr,
                                        const std::string& dependent_clip = "");

}  // namespace dp::tools
