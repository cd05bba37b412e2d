#include "ui/source_panel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include "source/stream_analysis.h"
#include "ui/source_paths.h"
#include "util/text.h"

namespace dp::ui {
namespace {

void FillRing(QComboBox* ring, const std::vector<std::string>& texts) {
  const QSignalBlocker quiet(ring);
  ring->clear();
  for (std::size_t i = 0; i < texts.size(); ++i)
    ring->addItem(QString::fromUtf8(texts[i].c_str()), static_cast<int>(i));
  ring->setEnabled(!texts.empty());
}

void ReplaceRing(QComboBox* ring, const std::vector<std::string>& texts) {
  const QSignalBlocker quiet(ring);
  for (int i = 0; i < ring->count() && i < static_cast<int>(texts.size()); ++i)
    ring->setItemText(i, QString::fromUtf8(texts[static_cast<std::size_t>(i)].c_str()));
}

}  // namespace

void RedrawSourceRings(const SourceWidgets& w, const SourceInventory& inventory, double elapsed_ms) {
  const SourceRings rings = SourceRingTexts(inventory, elapsed_ms);
  ReplaceRing(w.video, rings.video);
  ReplaceRing(w.audio, rings.audio);
  ReplaceRing(w.subtitle, rings.subtitle);
}

void ShowSourcePanel(const SourceWidgets& w, const SourceState& state, const SourceInventory& inventory) {
  const SourcePanel& panel = state.panel;
  w.source->setText(PathText(panel.source_text));
  w.playlist->setText(QString::fromUtf8(panel.playlist_text.c_str()));
  w.out->setText(PathText(panel.output_path));
  const SourceRings rings = SourceRingTexts(inventory);
  FillRing(w.video, rings.video);
  FillRing(w.audio, rings.audio);
  FillRing(w.subtitle, rings.subtitle);
  const std::string_view chapters = FieldText(inventory.chapters);
  w.chapters->setPlainText(QString::fromUtf8(chapters.data(), static_cast<qsizetype>(chapters.size())));
  // A new source leaves the verdict line to the bitrate budget.
  if (panel.source_text.empty()) w.info->clear();

  const bool loaded = panel.add_enabled;
  w.add->setEnabled(loaded);
  w.out->setEnabled(loaded);
  w.chapters->setEnabled(loaded);
  w.scan->setEnabled(panel.scan_enabled);
  w.advanced->setEnabled(panel.advanced_enabled);
  // PANEL_OUT shares its row with the TMDb button: hidden, the path takes
  // the whole width.
  w.imdb->setVisible(panel.imdb_visible);
  w.imdb->setEnabled(panel.imdb_visible);
  w.mode3d->setVisible(panel.mode3d_visible);
  w.bitrate->setMaximum(panel.bitrate_max);

  if (panel.focus == SourceFocus::kOpenBdmv) w.open_bdmv->setFocus();
  if (panel.focus == SourceFocus::kOpenVideo) w.open_video->setFocus();
}

}  // namespace dp::ui
