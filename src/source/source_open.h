// Opening a source: a Blu-ray folder or playlist is listed by eac3to and one
// title chosen (automatically or by the user), a stream file is analysed into
// the inventory, and the main panel is told what to show. The steps and their
// order are fixed; whoever shows them (the window, the CLI, a test) answers
// the dialogs through SourceView and the message boxes through Prompter.
//
// Every call blocks until its analysis is done. The window runs these calls
// on a thread of its own so that it keeps repainting, and brings each
// SourceView call to its own thread; the CLI and the tests call them
// directly.
#pragma once

#include <string>
#include <vector>

#include "platform/result.h"
#include "source/inventory.h"
#include "source/source_state.h"

namespace dp {

class Prompter;
struct Settings;

// The Playlist Selection dialog as the opening fills it.
struct PlaylistDialog {
  // PANEL_MULT_INFO; empty leaves the dialog's default text.
  std::string info;
  // PANEL_MULT_PATH: the folder or playlist the titles belong to.
  std::string path;
  struct Item {
    std::string text;  // "00800.mpls  (1:42:57)"
    int value = 0;     // 1-based title number
  };
  std::vector<Item> items;
};

inline constexpr char kPlaylistDialogDefaultInfo[] =
    "This Blu-Ray seems to contain several versions of the movie or multiangle";
inline constexpr char kWaitText[] = "Analyzing BD structure... Please wait...";

// What the Associated M2TS box and the Preview M2TS ring show for one title
// (ActualizaPlayList).
struct TitleClips {
  bool changed = false;            // false: the title has no clips; leave the dialog as it is
  std::string m2ts_text;           // "00461 + 00462 + 00465"
  std::vector<std::string> files;  // "00461.m2ts", ... (label and value of the ring)
};
TitleClips ActualizaPlayList(const SourceState& state, int title_number);

// The clip that Preview M2TS opens: the clip file in the STREAM folder of the
// disc that `dialog_path` (PANEL_MULT_PATH) belongs to.
std::string PreviewClipPath(const std::string& dialog_path, const std::string& clip_file);

class SourceView {
 public:
  virtual ~SourceView() = default;
  // Shows the Playlist Selection dialog modally. The dialog may call
  // ActualizaPlayList on the state as its selection changes. Returns the
  // chosen item's value (Proceed), or 0 (Cancel).
  virtual int ChoosePlaylist(const PlaylistDialog& dialog, const SourceState& state) = 0;
  // Shows or removes the modal "Please Wait" panel (kWaitText).
  virtual void ShowWait(bool shown) = 0;
  // The 3D Mode Selection popup, modal, its buttons set from
  // state.selected_mode_3d; its accept writes selected_mode_3d back.
  virtual void Select3DMode(SourceState& state) = 0;
  // The main panel shows the state: texts, rings, chapter box, enabled and
  // visible controls. Called after each change the user should see.
  virtual void ShowSource(const SourceState& state, const SourceInventory& inventory) = 0;
  // ReadSource_2 hands over to the target settings and the bitrate budget
  // (AplicaPreferencies with mvc, ActualitzaTarjetAudio, ActualitzaTarjetSubt,
  // CalculaBitrate(0)). The view does it; until job planning lands it has
  // nothing to apply.
  virtual void ApplyTargetSettings(bool mvc) = 0;
  // The "TMDB Results" dialog (PanelScrape), modal: one list item per hit
  // label, in order. Returns the chosen hit's index (Select Title or a double
  // click) or -1 (Cancel). source_path and cleaned_title are what the dialog
  // carries through (SCRAPE_PATH, SCRAPE_OUT).
  virtual int ChooseScrapeHit(const std::string& source_path, const std::string& cleaned_title,
                              const std::vector<std::string>& hit_labels) = 0;
};

class SourceOpener {
 public:
  SourceOpener(const Settings& settings, SourceState& state, SourceInventory& inventory, SourceView& view,
               Prompter& prompter);

  // Back to no source.
  void ResetSource();
  // After the "Select a Video File" dialog: empty path = cancelled.
  void OpenVideoFile(const std::string& path);
  // After the "Select a BLU-RAY folder" picker: empty path = cancelled.
  void OpenBDMVfolder(const std::string& path);
  // Opens whatever was dropped on the window as its button would: a folder
  // as OpenBDMVfolder, a .mpls/.m2ts/.mkv file as OpenVideoFile. False (and
  // nothing done) for anything else.
  static bool IsOpenableDrop(const std::string& path);
  void OpenDropped(const std::string& path);

  void Read_BD_Source(std::string path);
  void ReadSource(const std::string& stream_path);
  void ReadSource_2(const std::string& stream_path, std::string title, bool raw);
  // Chapters, source-kind flags and 3D detection of a stream file, or of
  // title `title` of a disc folder (or of the selected playlist). Fails,
  // saying why, when eac3to could not be asked (a path it cannot be given,
  // a tool that does not start).
  Status CapitolsInfo(const std::string& source_path, int title);

 private:
  // "ERROR" with `text`, then no source and the focus on `focus`.
  void FailOpening(const std::string& text, SourceFocus focus = SourceFocus::kOpenBdmv);
  // Back to no source, the focus on the button the user starts again from.
  void ResetWithFocus(SourceFocus focus);
  // Read_BD_Source once title 1 is taken (or there is none): the chapters
  // and the stream file of `clip` in the disc's STREAM folder.
  void AnalyseFirstTitle(const std::string& path, const std::string& clip);
  // The Playlist Selection dialog, then Proceed or Cancel.
  void RunTitleDialog(const PlaylistDialog& dialog);
  void PlaylistGo(const std::string& dialog_path, int title_number);
  void PanelSelect3DMode();
  // The hit `index` of the TMDb search (-1: none) names the output when its
  // details can be fetched; otherwise `name`, the cleaned title, does.
  void ScrapeSelectItem(int index, const std::string& stream_path, std::string name);
  // The core bitrates of DTS-HD tracks from eac3to's listing of the file.
  void Eac3toInfo(const std::string& stream_path);
  std::string TempPath() const;

  const Settings& settings_;
  SourceState& state_;
  SourceInventory& inventory_;
  SourceView& view_;
  Prompter& prompter_;
  bool waiting_ = false;  // the "Please Wait" panel is up
};

}  // namespace dp
