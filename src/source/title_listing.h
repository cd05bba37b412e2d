// The rules that read eac3to's title list and choose among its titles: the
// fields of a title line, the Playlist Selection dialog's list (eac3to titles
// or similar playlists), the automatic choice of the first title and, once a
// title is chosen, which of its clips is analysed. Pure functions over texts;
// the opening runs the tools and reads the files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "source/source_open.h"
#include "source/source_state.h"

namespace dp {

inline constexpr int kListedTitleMax = kTitleTableSize;
// A clip below this many bytes is a companion of the main clip, not a part
// of a joined title.
inline constexpr std::int64_t kSmallClipBytes = 90000000;

inline constexpr char kMainPlaylistsInfo[] = "This Blu-Ray seems to contain two or more main playlists.";
inline constexpr char kSimilarPlaylistsInfo[] =
    "This Blu-Ray seems to contain two or more similar playlists.";

// The text of title n's line after "n) " up to its line end (or the end of
// the listing); nothing when the listing has no line "n) ".
std::optional<std::string_view> NumberedTitleLine(std::string_view listing, int n);

// "00800.mpls, 00055.m2ts, 1:42:57" split at its commas, each field's leading
// blank skipped; the duration runs to the end of the line. Nothing when a
// comma is missing.
struct TitleLine {
  std::string playlist, clip, duration;
};
std::optional<TitleLine> SplitTitleLine(std::string_view line);

// What the listing of a disc folder or playlist leads to.
enum class TitlePick {
  kFailure,        // empty, "<ERROR>", or a title line without its fields
  kNoTitle,        // no numbered title at all
  kJoinedTitle,    // title 1 joins clips: the dialog without a message
  kMainPlaylists,  // two long titles compete: the dialog with kMainPlaylistsInfo
  kFirstTitle,     // title 1 is taken (unless similar playlists compete)
};
struct TitleDecision {
  TitlePick pick = TitlePick::kFailure;
  TitleLine first;  // title 1's fields, for kFirstTitle
};
TitleDecision DecideTitle(std::string_view listing);

// Fills the dialog's list and the title table with up to 15 eac3to titles
// (Eac3toPlaylist). Returns the number listed.
int Eac3toPlaylist(std::string_view listing, SourceState& state, PlaylistDialog& dialog);
// Fills them with the lines of the similar-playlist search
// ("00800.mpls, 1:49:25, 17 chapters, 00055.m2ts").
int SimilarToPlaylist(std::string_view lines, SourceState& state, PlaylistDialog& dialog);

// The folder a disc path belongs to: the text before its last "/BDMV"
// component (any case); the path itself when it has none.
std::string DiscRoot(std::string_view path);

// The clip file names ("%05d.m2ts") of a title's clips text, split at "+";
// the whole text is one part when there is no "+".
std::vector<std::string> TitleClipFiles(std::string_view clips);

// One clip of a chosen title as found on disc.
struct ClipFile {
  std::string path;
  std::int64_t size = 0;  // 0 when it could not be opened
  bool opened = false;
};
// Which clip is analysed and how the title counts (CallPlaylistGo): the
// largest file (a later one of equal size wins); one large clip with small
// companions, or a single clip, sets playlist_index (and source_is_m2ts for
// the companions' case), anything else join_playlist.
struct ClipChoice {
  std::string path;
  bool joined = false;     // join_playlist = n, else playlist_index = n
  bool one_large = false;  // source_is_m2ts
};
ClipChoice ChooseClip(const std::vector<ClipFile>& files);

}  // namespace dp
