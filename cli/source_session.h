// Opening a source without a window: the dialogs are answered from the
// command line, the pop-ups go to stderr, and what the main panel would show
// is printed as lines. `analyse` uses it; so do the commands that go on from
// a loaded source.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "app/prompter.h"
#include "app/settings.h"
#include "popup_answers.h"
#include "source/inventory.h"
#include "source/source_open.h"
#include "source/source_state.h"

namespace dp::cli {

// The settings as the store holds them, read without writing anything back:
// defaults for what is missing or unreadable, no folder check. The temporary
// folder is created when missing, as the opening writes its files there.
void ReadSettingsQuietly(Settings& settings);

// Exit code when a dialog needed an answer the command line did not give.
inline constexpr int kNeedsChoice = 3;

// Answers the Playlist Selection dialog with the given title numbers, one per
// dialog in the order they open. With none left the dialog is printed (its
// message, then "N<TAB>item<TAB>clips" per item) and cancelled. The TMDb
// title dialog is answered the same way from 1-based hit numbers; unanswered
// it prints "N<TAB>hit_label" per hit.
class HeadlessSourceView : public SourceView {
 public:
  using ApplyTargets = std::function<void(bool mvc)>;
  explicit HeadlessSourceView(std::deque<int> titles, std::deque<int> hits = {}, ApplyTargets apply = {})
      : titles_(std::move(titles)), hits_(std::move(hits)), apply_(std::move(apply)) {}

  int ChoosePlaylist(const PlaylistDialog& dialog, const SourceState& state) override;
  void ShowWait(bool) override {}
  void Select3DMode(SourceState&) override {}
  void ShowSource(const SourceState&, const SourceInventory&) override {}
  void ApplyTargetSettings(bool mvc) override {
    if (apply_) apply_(mvc);
  }
  int ChooseScrapeHit(const std::string& source_path, const std::string& cleaned_title,
                      const std::vector<std::string>& hit_labels) override;

  bool listed() const { return listed_; }
  // A --title value that is not an item of the dialog it answered.
  int bad_title() const { return bad_title_; }
  // A --hit value that is not a hit of the dialog it answered.
  int bad_hit() const { return bad_hit_; }

 private:
  std::deque<int> titles_;
  std::deque<int> hits_;
  ApplyTargets apply_;
  bool listed_ = false;
  int bad_title_ = 0;
  int bad_hit_ = 0;
};

// Pop-ups as "TITLE: text" on stderr (PrintPopup). Questions
// are answered No: a command that changes nothing answers nothing.
class StderrPopups : public Prompter {
 public:
  Answer Ask(std::string_view title, std::string_view text, Buttons buttons) override;
  // An "ERROR" pop-up was shown: the opening failed.
  bool failed() const { return failed_; }

 private:
  bool failed_ = false;
};

struct OpenRequest {
  std::string source;
  std::deque<int> titles;  // --title values
  std::deque<int> hits;    // --hit values, 1-based
};

// Opens the source as the window's buttons do: a folder as Open BD Folder, a
// file as Open Video File. Returns 0 when a source was loaded, kNeedsChoice
// when a dialog was left unanswered (it was printed), 1 on failure (the
// reason on stderr).
// `apply_targets` is the hand-over to the target settings once the streams
// are known; a command that only shows the source has none.
int OpenHeadless(const OpenRequest& request, const Settings& settings, SourceState& state,
                 SourceInventory& inventory, HeadlessSourceView::ApplyTargets apply_targets = {});

// The loaded source as the main panel shows it: source, playlist, output,
// then one line per ring item and per chapter; elapsed_ms is a bitrate
// scan's, for the subtitle rates after it.
void PrintSourceLines(const SourceState& state, const SourceInventory& inventory, double elapsed_ms = 0);

}  // namespace dp::cli
