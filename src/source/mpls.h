// Readers of Blu-ray playlist files (".mpls"): a title's summary, the 3D plane
// of each subtitle stream, and the search for playlists that look alike. Each
// reads a bounded prefix of the file and takes fields at fixed offsets (those
// of a play list that begins at byte 58 with a first play item that is not
// multi-angle); damaged files give the failure results, never a read outside
// the bytes read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "source/inventory.h"

namespace dp {

inline constexpr std::size_t kMplsInfoReadSize = 4096;
inline constexpr std::size_t kMpls3DReadSize = 8192;
inline constexpr int kMaxPlanePgStreams = 32;
inline constexpr std::size_t kMaxListedPlaylists = 512;
inline constexpr std::size_t kMaxSortedSimilar = 32;
inline constexpr std::size_t kMaxKeptSimilar = 8;

// Results of GetMplsInfo.
inline constexpr int kMplsUnreadable = 0;
inline constexpr int kMplsRead = 1;
inline constexpr int kMplsMarksBeyondRead = 2;

// Summary of a title: duration of its first play item in seconds, stream
// counts of that item, chapter (entry mark) count and first clip's five-digit
// name. Every out-parameter may be null. Returns 0 when the file cannot be
// read (nothing is written), 2 when the mark table lies beyond the bytes read
// (chapter count 0), else 1.
int GetMplsInfo(const std::string& path, double* duration = nullptr, std::uint8_t* video_count = nullptr,
                std::uint8_t* audio_count = nullptr, std::uint8_t* pg_count = nullptr,
                std::int32_t* chapter_count = nullptr, std::string* clip_name = nullptr);

// Sets `plane` of each subtitle record from the playlist's 3D offset
// references: the plane of the first PG stream with the record's PID, -1 when
// none has it. Returns 1 when the planes were assigned; 0 (records untouched)
// when the file cannot be read or its extension data lies beyond the bytes
// read.
int GetMpls3DPlanes(const std::string& path, std::span<SubtitleStream> subtitles);

// One playlist found by the similar-playlist search.
struct SimilarPlaylist {
  std::string file_name;  // "00800.mpls"
  std::string clip_file;  // first clip with ".m2ts"
  double duration = 0;
  std::int32_t chapter_count = 0;
  std::uint8_t video_count = 0;
  std::uint8_t audio_count = 0;
  std::uint8_t pg_count = 0;
};

// Sort order of the similar list: 1 when a's file name begins with a greater
// number than b's, else -1. It never answers "equal", so a sort must ask it
// only one way round (b against a) to get a consistent order.
int ComparMPLS(const SimilarPlaylist& a, const SimilarPlaylist& b);

// Looks in the reference playlist's folder for playlists of exactly its
// duration, keeps at most 8 with distinct stream counts in file-number order,
// and when at least two remain writes one line per playlist to *text:
// "<file>, <h:mm:ss>, <n> chapters, <clip>.m2ts\n". Returns 1 then, else 0
// (text untouched).
int FindSimilarPlayLists(const std::string& reference_path, std::string* text);

}  // namespace dp
