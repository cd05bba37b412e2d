// What the opening of a source leaves besides the stream inventory: the
// titles eac3to listed, the choices made among them, and what the main panel
// shows of the loaded source. One instance lives beside the inventory and is
// owned by whoever shows it; ResetSource zeroes both.
#pragma once

#include <cstdint>
#include <string>

namespace dp {

inline constexpr int kTitleTableSize = 15;

// One eac3to title, or one similar playlist.
struct TitleEntry {
  char clips[3000];   // "00055.m2ts", or clip numbers joined by "+": "461+462+465"
  char duration[16];  // h:mm:ss as eac3to prints it
  char playlist[16];  // "00800.mpls"
};

// The control that takes the focus after a cancelled or failed opening.
enum class SourceFocus { kNone, kOpenVideo, kOpenBdmv };

// What the main panel shows of the source; the window, the CLI and the tests
// each draw it their own way.
struct SourcePanel {
  std::string source_text;        // PANEL_SOURCE: the analysed stream file
  std::string playlist_text;      // PANEL_PLAYLIST: "00800.mpls (1:42:57)"
  std::string output_path;        // PANEL_OUT
  std::string title;              // the title the output is named after
  bool add_enabled = false;       // PANEL_ADD
  bool scan_enabled = false;      // PANEL_SCAN
  bool advanced_enabled = false;  // PANEL_ADVANCED
  bool imdb_visible = false;      // PANEL_IMDB
  bool mode3d_visible = false;    // PANEL_MODE3D
  int output_width = 566;         // PANEL_OUT's width: the full width unless the TMDb button shows
  int bitrate_max = 40000;        // PANEL_BITRATE's maximum, 60000 for 3D
  SourceFocus focus = SourceFocus::kNone;
};

struct SourceState {
  TitleEntry title_table[kTitleTableSize];
  std::string last_source_path;  // initial selection of the folder picker
  std::int32_t source_is_playlist = 0;
  std::int32_t similar_mode = 0;
  std::int32_t playlist_index = 0;  // 1-based; a single clip (or one large clip) was chosen
  std::int32_t join_playlist = 0;   // 1-based; a title joining clips was chosen
  std::int32_t selected_mode_3d = 0;
  std::int32_t video_untouched_choice = 0;
  // The title was chosen through the TMDb search: MKV names keep its case.
  std::int32_t title_scraped = 0;
  // The TMDb page of the chosen title ("movie/603", "tv/1399/season/1/episode/2");
  // empty when no title was chosen.
  std::string tmdb_path;
  SourcePanel panel;
};

// join_playlist when set, else playlist_index when set, else 1.
int SelectedTitleNumber(const SourceState& state);
// The title table entry of SelectedTitleNumber (entry 0 when out of range).
const TitleEntry& SelectedTitle(const SourceState& state);

}  // namespace dp
