#include "source/source_open.h"

#include <sys/stat.h>
#include <algorithm>
#include <filesystem>
#include <span>

#include "app/prompter.h"
#include "app/settings.h"
#include "lang/iso639.h"
#include "scraper/scrape_select.h"
#include "scraper/title_text.h"
#include "scraper/tmdb.h"
#include "source/eac3to_runs.h"
#include "source/mpls.h"
#include "source/source_title.h"
#include "source/stream_analysis.h"
#include "source/title_listing.h"
#include "util/file_io.h"
#include "util/text.h"
#include "util/time.h"

namespace dp {

namespace {

constexpr char kUnableToRead[] = "Unable to read BD structure.";
constexpr int kFullOutputWidth = 566;
constexpr int kNarrowOutputWidth = 456;  // beside "View on TMDB"
constexpr int kBitrateMax2D = 40000;
constexpr int kBitrateMax3D = 60000;

// The "Please Wait" panel for as long as an analysis runs; taken down before
// any dialog or message and when the analysis ends however it ends.
class WaitPanel {
 public:
  WaitPanel(SourceView& view, bool& shown) : view_(view), shown_(shown) {
    if (shown_) return;
    view_.ShowWait(true);
    owner_ = shown_ = true;
  }
  ~WaitPanel() { Hide(); }
  WaitPanel(const WaitPanel&) = delete;
  WaitPanel& operator=(const WaitPanel&) = delete;
  void Hide() {
    if (owner_ && shown_) view_.ShowWait(false);
    if (owner_) shown_ = false;
  }

 private:
  SourceView& view_;
  bool& shown_;  // the opener's: one panel however deep the calls nest
  bool owner_ = false;
};

// A dialog or message shows above no wait panel: an open panel steps aside
// for as long as this lives and comes back for the analysis that follows.
class WaitAside {
 public:
  WaitAside(SourceView& view, bool waiting) : view_(view), waiting_(waiting) {
    if (waiting_) view_.ShowWait(false);
  }
  ~WaitAside() {
    if (waiting_) view_.ShowWait(true);
  }
  WaitAside(const WaitAside&) = delete;
  WaitAside& operator=(const WaitAside&) = delete;

 private:
  SourceView& view_;
  bool waiting_;
};

std::string Refused(const std::string& why) { return "Cannot analyse the source: " + why + "."; }

ClipFile StatClip(const std::string& path) {
  ClipFile f{path, 0, false};
  FileHandle file = OpenRegularFile(path);
  struct stat st {};
  if (file.valid() && ::fstat(file.get(), &st) == 0) {
    f.opened = true;
    f.size = st.st_size;
  }
  return f;
}

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// PANEL_PLAYLIST's "00800.mpls (1:42:57)".
std::string PlaylistText(const TitleEntry& entry) {
  const std::string_view playlist = FieldText(entry.playlist), duration = FieldText(entry.duration);
  return Format("%.*s (%.*s)", static_cast<int>(playlist.size()), playlist.data(),
                static_cast<int>(duration.size()), duration.data());
}

bool IsHdMasterProfile(std::string_view profile) { return profile == "MA" || profile == "HRA"; }

}  // namespace

SourceOpener::SourceOpener(const Settings& settings, SourceState& state, SourceInventory& inventory,
                           SourceView& view, Prompter& prompter)
    : settings_(settings), state_(state), inventory_(inventory), view_(view), prompter_(prompter) {}

std::string SourceOpener::TempPath() const { return std::string(FieldText(settings_.TempPath)); }

void SourceOpener::ResetSource() {
  ResetInventory(inventory_);
  state_ = SourceState{};
  state_.panel.output_width = kFullOutputWidth;
  state_.panel.bitrate_max = kBitrateMax2D;
  view_.ShowSource(state_, inventory_);
}

void SourceOpener::FailOpening(const std::string& text, SourceFocus focus) {
  prompter_.Ask("ERROR", text, Buttons::kOk);
  ResetWithFocus(focus);
}

void SourceOpener::ResetWithFocus(SourceFocus focus) {
  ResetSource();
  state_.panel.focus = focus;
  view_.ShowSource(state_, inventory_);
}

void SourceOpener::OpenVideoFile(const std::string& path) {
  if (path.empty()) return ResetWithFocus(SourceFocus::kOpenVideo);
  ResetSource();
  if (IFind(path, ".mpls") != npos) {
    state_.source_is_playlist = 1;
    Read_BD_Source(path);
    return;
  }
  WaitPanel wait(view_, waiting_);
  if (const Status chapters = CapitolsInfo(path, 0); !chapters) {
    wait.Hide();
    return FailOpening(Refused(chapters.error()), SourceFocus::kOpenVideo);
  }
  ReadSource(path);
}

void SourceOpener::OpenBDMVfolder(const std::string& path) {
  if (path.empty()) return ResetWithFocus(SourceFocus::kOpenBdmv);
  ResetSource();
  Read_BD_Source(path);
}

bool SourceOpener::IsOpenableDrop(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return true;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  return IEndsWith(path, ".mpls") || IEndsWith(path, ".m2ts") || IEndsWith(path, ".mkv");
}

void SourceOpener::OpenDropped(const std::string& path) {
  if (!IsOpenableDrop(path)) return;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    OpenBDMVfolder(path);
  else
    OpenVideoFile(path);
}

void SourceOpener::Read_BD_Source(std::string path) {
  state_.last_source_path = path;
  WaitPanel wait(view_, waiting_);
  const Result<std::string> listing = RunListing(TempPath(), path);
  wait.Hide();
  if (!listing) return FailOpening(Refused(listing.error()));

  TitleDecision decision = DecideTitle(*listing);
  switch (decision.pick) {
    case TitlePick::kFailure:
      return FailOpening(kUnableToRead);
    case TitlePick::kJoinedTitle:
    case TitlePick::kMainPlaylists: {
      PlaylistDialog dialog;
      if (decision.pick == TitlePick::kMainPlaylists) dialog.info = kMainPlaylistsInfo;
      dialog.path = path;
      if (Eac3toPlaylist(*listing, state_, dialog) == 0) return FailOpening(kUnableToRead);
      return RunTitleDialog(dialog);
    }
    case TitlePick::kNoTitle: {
      // eac3to lists a playlist file's tracks, not titles: the playlist
      // itself names its clip. Anything else without a title cannot be
      // opened (its STREAM folder is no stream file).
      double seconds = 0;
      std::string clip;
      if (!IEndsWith(path, ".mpls") ||
          GetMplsInfo(path, &seconds, nullptr, nullptr, nullptr, nullptr, &clip) == kMplsUnreadable ||
          clip.empty())
        return FailOpening(kUnableToRead);
      decision.first = {FileName(path), clip + ".m2ts", Seconds_To_HHMMSS(seconds)};
      break;
    }
    case TitlePick::kFirstTitle:
      break;
  }
  const TitleLine& first = decision.first;

  if (!state_.source_is_playlist) {
    const std::string root = DiscRoot(path);
    std::string similar;
    if (FindSimilarPlayLists(root + "/BDMV/PLAYLIST/" + first.playlist, &similar) == 1) {
      PlaylistDialog dialog;
      dialog.info = kSimilarPlaylistsInfo;
      dialog.path = root;
      SimilarToPlaylist(similar, state_, dialog);
      state_.similar_mode = 1;
      return RunTitleDialog(dialog);
    }
  }

  TitleEntry& entry = state_.title_table[0];
  CopyText(entry.playlist, first.playlist);
  CopyText(entry.clips, first.clip);
  CopyText(entry.duration, first.duration);
  state_.panel.playlist_text = PlaylistText(entry);
  AnalyseFirstTitle(path, first.clip);
}

void SourceOpener::AnalyseFirstTitle(const std::string& path, const std::string& clip) {
  WaitPanel wait(view_, waiting_);
  const std::string root = DiscRoot(path);
  if (const Status chapters = CapitolsInfo(root, 1); !chapters) {
    wait.Hide();
    return FailOpening(Refused(chapters.error()));
  }
  ReadSource(root + "/BDMV/STREAM/" + clip);
  wait.Hide();
  if (inventory_.source_is_3d) PanelSelect3DMode();
}

void SourceOpener::RunTitleDialog(const PlaylistDialog& dialog) {
  const int chosen = view_.ChoosePlaylist(dialog, state_);
  const bool listed =
      std::any_of(dialog.items.begin(), dialog.items.end(),
                  [chosen](const PlaylistDialog::Item& item) { return item.value == chosen; });
  if (chosen == 0 || !listed) return ResetWithFocus(SourceFocus::kOpenBdmv);
  PlaylistGo(dialog.path, chosen);
}

void SourceOpener::PlaylistGo(const std::string& dialog_path, int n) {
  const TitleEntry& entry = state_.title_table[n - 1];
  if (state_.similar_mode) {
    // The playlist is opened as if chosen by itself; a dialog it leads to
    // lists eac3to titles again.
    state_.similar_mode = 0;
    state_.source_is_playlist = 1;
    Read_BD_Source(DiscRoot(dialog_path) + "/BDMV/PLAYLIST/" + std::string(FieldText(entry.playlist)));
    return;
  }
  WaitPanel wait(view_, waiting_);
  const std::string root = DiscRoot(dialog_path);
  std::vector<ClipFile> files;
  for (const std::string& name : TitleClipFiles(FieldText(entry.clips)))
    files.push_back(StatClip(root + "/BDMV/STREAM/" + name));
  const ClipChoice choice = ChooseClip(files);
  // The choice is made before the chapter run so that a playlist source's
  // run names the chosen title's playlist.
  if (choice.joined) {
    state_.join_playlist = n;
  } else {
    state_.playlist_index = n;
    if (choice.one_large) inventory_.source_is_m2ts = 1;
  }
  if (const Status chapters = CapitolsInfo(root, n); !chapters) {
    wait.Hide();
    return FailOpening(Refused(chapters.error()));
  }
  state_.panel.playlist_text = PlaylistText(entry);
  ReadSource(choice.path);
  wait.Hide();
  if (inventory_.source_is_3d) PanelSelect3DMode();
}

void SourceOpener::PanelSelect3DMode() {
  view_.Select3DMode(state_);
  state_.panel.mode3d_visible = true;
  view_.ShowSource(state_, inventory_);
}

Status SourceOpener::CapitolsInfo(const std::string& source_path, int title) {
  if (IFind(source_path, ".mkv") != npos) {
    inventory_.source_is_mkv = 1;
    state_.panel.scan_enabled = false;
    state_.panel.advanced_enabled = true;
    return {};
  }
  ChapterRequest request;
  request.path = source_path;
  request.title = title;
  if (IFind(source_path, ".m2ts") != npos) {
    request.kind = ChapterRequest::kStreamFile;
    inventory_.source_is_m2ts = 1;
  } else if (state_.source_is_playlist) {
    request.kind = ChapterRequest::kPlaylist;
    request.playlist = FieldText(SelectedTitle(state_).playlist);
  } else {
    request.kind = ChapterRequest::kDiscTitle;
  }
  const Result<ChapterOutput> run = RunChapters(TempPath(), request);
  if (!run) return run.status();
  if (LogMentionsRightEye(run->log)) inventory_.source_is_3d = 1;
  if (inventory_.source_is_3d) state_.panel.bitrate_max = kBitrateMax3D;
  state_.panel.scan_enabled = true;
  state_.panel.advanced_enabled = true;
  ApplyChapterFile(run->chapter_file, inventory_);
  return {};
}

void SourceOpener::ReadSource(const std::string& stream_path) {
  state_.panel.source_text = stream_path;
  std::string title = SourceTitleFromPath(stream_path);
  ParseTitle(title, settings_.Scrape != 0 ? 0 : 1);
  if (settings_.Scrape == 0) return ReadSource_2(stream_path, title, true);
  // The search cuts the year and an episode marker from its query; the
  // name to fall back on stays the cleaned title as it was.
  std::string query = Utf8Lower(title);
  if (!ScrapeSearch(query)) return ReadSource_2(stream_path, title, true);
  int index = scrape_count == 1 ? 0 : ScrapeAutoSelect();
  if (index < 0) {
    std::vector<std::string> labels;
    for (int i = 0; i < scrape_count; ++i)
      labels.push_back(scrape_hits[static_cast<std::size_t>(i)].hit_label);
    const WaitAside aside(view_, waiting_);
    index = view_.ChooseScrapeHit(stream_path, title, labels);
  }
  ScrapeSelectItem(index, stream_path, title);
}

void SourceOpener::ScrapeSelectItem(int index, const std::string& stream_path, std::string name) {
  if (index < 0 || index >= scrape_count) return ReadSource_2(stream_path, name, true);
  ScrapeDetails details;
  std::string tmdb_path;
  const bool scraped = ScrapeGetData(scrape_hits[static_cast<std::size_t>(index)].tmdb_ref,
                                     details.local_title, details.original_title, details.year_text,
                                     tmdb_path, details.show_name, details.episode_text) == 1;
  if (scraped) {
    name = ScrapedName(details, settings_.Scrape, name);
    state_.panel.imdb_visible = true;
    state_.panel.output_width = kNarrowOutputWidth;
    state_.title_scraped = 1;
    state_.tmdb_path = tmdb_path;
  }
  ReadSource_2(stream_path, name, !scraped);
}

void SourceOpener::ReadSource_2(const std::string& stream_path, std::string title, bool raw) {
  if (raw) {
    ReplaceInvalidChars(title);
    state_.panel.imdb_visible = false;
    state_.panel.output_width = kFullOutputWidth;
  }
  state_.panel.title = title;
  state_.panel.output_path =
      (std::filesystem::path(std::string(FieldText(settings_.OutPath))) / title).string();

  MediaInfoAnalysis(stream_path, state_, inventory_);
  if (inventory_.source_is_3d) GetEyeAsignation(stream_path, state_, inventory_);
  if (inventory_.audio_count > 0 && IsHdMasterProfile(FieldText(inventory_.audio[0].format_profile)))
    Eac3toInfo(stream_path);

  const auto n_audio = static_cast<std::size_t>(std::clamp(inventory_.audio_count, 0, kMaxAudioStreams));
  const auto n_subtitle =
      static_cast<std::size_t>(std::clamp(inventory_.subtitle_count, 0, kMaxSubtitleStreams));
  RevisaCodisIdioma(std::span(inventory_.subtitle, n_subtitle), std::span(inventory_.audio, n_audio));
  view_.ShowSource(state_, inventory_);

  view_.ApplyTargetSettings(state_.selected_mode_3d == 10);
  state_.panel.add_enabled = true;
  view_.ShowSource(state_, inventory_);
}

void SourceOpener::Eac3toInfo(const std::string& stream_path) {
  const Result<std::string> listing = RunListing(TempPath(), stream_path);
  if (!listing) {
    // The source stays loaded; its DTS-HD cores keep their estimate.
    const WaitAside aside(view_, waiting_);
    prompter_.Ask("ERROR", Refused(listing.error()), Buttons::kOk);
    return;
  }
  ApplyCoreBitrates(*listing, inventory_);
}

}  // namespace dp
