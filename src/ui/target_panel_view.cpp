#include "ui/target_panel_view.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <algorithm>

#include "ui/advanced_dialog.h"
#include "ui/source_paths.h"
#include "util/text.h"

namespace dp::ui {
namespace {

// The Video Bitrate field shows nothing at its minimum: a budget without an
// answer.
constexpr int kNoValue = -1;

void FillRing(QComboBox* ring, const std::vector<RingItem>& items, int index, bool enabled) {
  ring->clear();
  for (const RingItem& item : items) ring->addItem(QString::fromStdString(item.label), item.value);
  ring->setCurrentIndex(items.empty() ? -1 : index);
  ring->setEnabled(enabled && !items.empty());
}

void SelectData(QComboBox* ring, int value) {
  const int index = ring->findData(value);
  if (index >= 0) ring->setCurrentIndex(index);
}

}  // namespace

TargetPanelView::TargetPanelView(QWidget* window, const Settings& settings, SourceState& source,
                                 const SourceInventory& inventory, const SourceWidgets& sw,
                                 const TargetWidgets& tw, std::function<bool()> busy)
    : QObject(window),
      window_(window),
      settings_(settings),
      source_(source),
      inventory_(inventory),
      sw_(sw),
      tw_(tw),
      busy_(std::move(busy)),
      planner_(settings, source, inventory, panel_, advanced_) {
  panel_.media = DefaultMediaItems();
  sw_.bitrate->setMinimum(kNoValue);
  sw_.bitrate->setSpecialValueText(QStringLiteral(" "));
  Connect();
}

TargetHooks TargetPanelView::Hooks() {
  TargetHooks h;
  // ReadSource_2's hand-over: the rings start on their first streams.
  h.apply_settings = [this](bool mvc) {
    panel_.source_video = panel_.source_audio = panel_.source_subtitle = 0;
    planner_.AplicaPreferencies(mvc);
    planner_.ActualitzaTarjetAudio();
    planner_.ActualitzaTarjetSubt();
    planner_.CalculaBitrate(false);
    Draw();
  };
  h.video_changed = [this] { Edit([this] { planner_.CallSourceVideo(); }); };
  h.audio_changed = [this] {
    Edit([this] {
      panel_.source_audio = SourceRingValue(sw_.audio);
      planner_.CallSourceAudio();
    });
  };
  h.subtitle_changed = [this] {
    Edit([this] {
      panel_.source_subtitle = SourceRingValue(sw_.subtitle);
      planner_.CallSourceSubt();
    });
  };
  h.mode3d_accepted = [this](int mode) {
    planner_.CallPanel3Daccept(mode);
    Draw();
  };
  // The panel refills the source rings on every showing; without a source
  // the target rings go too.
  h.shown = [this] {
    if (!source_.panel.add_enabled) {
      panel_.audio.clear();
      panel_.subtitle.clear();
      panel_.audio_index = panel_.subtitle_index = 0;
      panel_.source_video = panel_.source_audio = panel_.source_subtitle = 0;
      panel_.verdict.clear();
    }
    Draw();
  };
  return h;
}

void TargetPanelView::ApplySettings(const MainWindowSettings& ui) {
  panel_.media[kMediaCustom] = {ui.custom_media_label, ui.custom_media_value};
  if (ui.media_index >= 0 && ui.media_index < kMediaCount) panel_.media_index = ui.media_index;
  panel_.preset = ui.preset;
  if (ui.bitrate_field == BitrateField::kCrf) panel_.bitrate_label = kCrfLabel;
  if (ui.bitrate_field != BitrateField::kUnchanged) panel_.bitrate = ui.bitrate_value;
  panel_.bitrate_enabled = ui.bitrate_field != BitrateField::kDisabled;
  Draw();
}

void TargetPanelView::ReapplyPreferences() {
  if (busy_() || !source_.panel.add_enabled) return;
  planner_.AplicaPreferencies(false);
  planner_.ActualitzaTarjetAudio();
  planner_.ActualitzaTarjetSubt();
  planner_.CalculaBitrate(false);
  Draw();
}

void TargetPanelView::Connect() {
  // A target ring's choice goes into its panel field, then to its callback.
  const auto ring = [this](QComboBox* combo, int TargetPanel::*field, void (TargetPlanner::*call)()) {
    connect(combo, &QComboBox::activated, this, [this, field, call](int index) {
      Edit([this, field, call, index] {
        panel_.*field = index;
        (planner_.*call)();
      });
    });
  };
  ring(sw_.media, &TargetPanel::media_index, &TargetPlanner::CallMedia);
  ring(tw_.audio, &TargetPanel::audio_index, &TargetPlanner::CallAudio);
  ring(tw_.subtitle, &TargetPanel::subtitle_index, &TargetPlanner::CallSubt);
  connect(sw_.bitrate, &QSpinBox::valueChanged, this, [this](int value) {
    Edit([this, value] {
      panel_.has_value = value != kNoValue;
      panel_.bitrate = panel_.has_value ? value : 0;
      planner_.CallBitrate();
    });
  });
  connect(tw_.presets, &QComboBox::activated, this,
          [this] { panel_.preset = tw_.presets->currentText().toStdString(); });
  connect(sw_.out, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (!busy_()) source_.panel.output_path = PathBytes(text);
  });
  connect(sw_.advanced, &QPushButton::clicked, this, &TargetPanelView::CallAdvanced);
}

void TargetPanelView::SourceScanned() {
  Edit([this] {
    planner_.AplicaPreferencies(true);
    planner_.ActualitzaTarjetAudio();
    planner_.ActualitzaTarjetSubt();
    planner_.CalculaBitrate(false);
  });
}

void TargetPanelView::Edit(const std::function<void()>& fn) {
  if (busy_()) return;
  fn();
  Draw();
}

int TargetPanelView::SourceRingValue(QComboBox* ring) const {
  return ring->currentIndex() < 0 ? 0 : ring->currentData().toInt();
}

void TargetPanelView::Draw() {
  const bool loaded = source_.panel.add_enabled;
  const QSignalBlocker b1(sw_.media), b2(tw_.audio), b3(tw_.subtitle), b4(sw_.bitrate), b5(tw_.presets),
      b6(sw_.audio), b7(sw_.subtitle), b8(sw_.video), b9(sw_.out);

  for (int i = 0; i < static_cast<int>(panel_.media.size()) && i < sw_.media->count(); ++i) {
    sw_.media->setItemText(i, QString::fromStdString(panel_.media[i].label));
    sw_.media->setItemData(i, panel_.media[i].bytes);
  }
  sw_.media->setCurrentIndex(panel_.media_index);
  sw_.media->setEnabled(loaded);
  FillRing(tw_.audio, panel_.audio, panel_.audio_index, loaded);
  FillRing(tw_.subtitle, panel_.subtitle, panel_.subtitle_index, loaded);
  if (loaded) {
    if (sw_.video->count() > 0) sw_.video->setCurrentIndex(0);
    SelectData(sw_.audio, panel_.source_audio);
    SelectData(sw_.subtitle, panel_.source_subtitle);
  }

  tw_.bitrate_label->setText(QString::fromStdString(panel_.bitrate_label));
  const int shown = panel_.has_value ? panel_.bitrate : kNoValue;
  if (sw_.bitrate->value() != shown) sw_.bitrate->setValue(shown);
  sw_.bitrate->setEnabled(loaded && panel_.bitrate_enabled);
  const int preset = tw_.presets->findText(QString::fromStdString(panel_.preset));
  if (preset >= 0) tw_.presets->setCurrentIndex(preset);
  tw_.presets->setEnabled(loaded);

  // The user's own text is in output_path already: only a rename shows.
  const QString out = PathText(source_.panel.output_path);
  if (sw_.out->text() != out) sw_.out->setText(out);
  sw_.info->setText(QString::fromStdString(panel_.verdict));
  sw_.info->setStyleSheet(QStringLiteral("color: #%1").arg(panel_.verdict_colour, 6, 16, QLatin1Char('0')));
}

void TargetPanelView::CallAdvanced() {
  if (busy_()) return;
  AdvancedContext c;
  c.media = panel_.media_index;
  c.bitrate = panel_.bitrate;
  c.use_x265 = settings_.UseX265 != 0;
  c.is_2d = source_.selected_mode_3d == 0;
  if (inventory_.video_count > 0) {
    const VideoStream& v = inventory_.video[std::clamp(panel_.source_video, 0, inventory_.video_count - 1)];
    c.full_hd_progressive = v.width == 1920 && FieldText(v.scan_type) == "p";
  }
  c.video_untouched = source_.video_untouched_choice != 0;
  AdvancedDialog dialog(window_, c, advanced_);
  if (dialog.exec() != QDialog::Accepted) return;
  planner_.CallAdvancedApply(dialog.chosen());
  Draw();
}

AddResult TargetPanelView::AddJob(JobQueue& queue, Prompter& prompter) {
  const EnvProbe probe = SystemEnvProbe();
  AddResult result = CallAddJob(settings_, source_, inventory_, panel_, advanced_, queue, prompter, probe);
  Draw();
  return result;
}

}  // namespace dp::ui
