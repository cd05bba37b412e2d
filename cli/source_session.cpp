#include "source_session.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "command.h"
#include "platform/store.h"
#include "source/stream_analysis.h"
#include "util/text.h"

namespace dp::cli {
namespace {

namespace fs = std::filesystem;

void PrintLine(std::string_view name, std::string_view text) {
  std::printf("%.*s\t%.*s\n", static_cast<int>(name.size()), name.data(), static_cast<int>(text.size()),
              text.data());
}

}  // namespace

void ReadSettingsQuietly(Settings& settings) {
  LoadDefaults(settings);
  // A missing store is not made: the defaults are what it would hold.
  std::error_code ec;
  if (fs::exists(Store::DefaultFile(), ec)) {
    const std::unique_ptr<Store> store = Store::Open(Store::DefaultFile());
    if (store && store->on_disk() && store->KeyExists()) ReadSettingsOnly(*store, settings);
  }
  fs::create_directories(FieldText(settings.TempPath, sizeof settings.TempPath), ec);
}

int HeadlessSourceView::ChoosePlaylist(const PlaylistDialog& dialog, const SourceState& state) {
  if (!titles_.empty()) {
    const int title = titles_.front();
    titles_.pop_front();
    for (const PlaylistDialog::Item& item : dialog.items)
      if (item.value == title) return title;
    bad_title_ = title;
    return 0;
  }
  if (!dialog.info.empty()) std::printf("%s\n", dialog.info.c_str());
  for (const PlaylistDialog::Item& item : dialog.items)
    std::printf("%d\t%s\t%s\n", item.value, item.text.c_str(),
                ActualizaPlayList(state, item.value).m2ts_text.c_str());
  listed_ = true;
  return 0;
}

int HeadlessSourceView::ChooseScrapeHit(const std::string&, const std::string&,
                                        const std::vector<std::string>& hit_labels) {
  if (!hits_.empty()) {
    const int hit = hits_.front();
    hits_.pop_front();
    if (hit >= 1 && static_cast<std::size_t>(hit) <= hit_labels.size()) return hit - 1;
    bad_hit_ = hit;
    return -1;
  }
  for (std::size_t i = 0; i < hit_labels.size(); ++i) std::printf("%zu\t%s\n", i + 1, hit_labels[i].c_str());
  listed_ = true;
  return -1;
}

Answer StderrPopups::Ask(std::string_view title, std::string_view text, Buttons buttons) {
  PrintPopup(title, text);
  if (title == "ERROR") failed_ = true;
  return buttons == Buttons::kOk ? Answer::kOk : Answer::kNo;
}

int OpenHeadless(const OpenRequest& request, const Settings& settings, SourceState& state,
                 SourceInventory& inventory, HeadlessSourceView::ApplyTargets apply_targets) {
  std::error_code ec;
  const bool folder = fs::is_directory(request.source, ec);
  if (!folder && !fs::is_regular_file(request.source, ec))
    return Fail(kFailed, "no such file or folder: " + request.source);
  HeadlessSourceView view(request.titles, request.hits, std::move(apply_targets));
  StderrPopups popups;
  SourceOpener opener(settings, state, inventory, view, popups);
  opener.ResetSource();
  if (folder)
    opener.OpenBDMVfolder(request.source);
  else
    opener.OpenVideoFile(request.source);
  if (view.bad_title()) return Fail(kUsage, Format("the dialog has no item %d", view.bad_title()));
  if (view.bad_hit()) return Fail(kUsage, Format("the TMDb title dialog has no hit %d", view.bad_hit()));
  if (popups.failed()) return kFailed;
  if (view.listed()) return kNeedsChoice;
  if (!state.panel.add_enabled) return Fail(kFailed, "no source was loaded");
  return kOk;
}

void PrintSourceLines(const SourceState& state, const SourceInventory& inventory, double elapsed_ms) {
  PrintLine("source", state.panel.source_text);
  PrintLine("playlist", state.panel.playlist_text);
  PrintLine("output", state.panel.output_path);
  const SourceRings rings = SourceRingTexts(inventory, elapsed_ms);
  for (const std::string& item : rings.video) PrintLine("video", item);
  for (const std::string& item : rings.audio) PrintLine("audio", item);
  for (const std::string& item : rings.subtitle) PrintLine("subtitle", item);
  for (std::string_view line : Tokenize(FieldText(inventory.chapters, sizeof inventory.chapters), "\n"))
    PrintLine("chapter", line);
}

}  // namespace dp::cli
