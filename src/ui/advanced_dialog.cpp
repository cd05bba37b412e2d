#include "ui/advanced_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "ui/dialog_buttons.h"
#include "ui/mnemonic.h"

namespace dp::ui {
namespace {

struct Item {
  const char* label;
  const char* value;
};
constexpr Item kX264Tunes[] = {{"none", "none"},   {"film (default)", "film"},   {"animation", "animation"},
                               {"grain", "grain"}, {"stillimage", "stillimage"}, {"psnr", "psnr"},
                               {"ssim", "ssim"},   {"fastdecode", "fastdecode"}};
constexpr Item kX265Tunes[] = {{"none (default)", "none"}, {"grain", "grain"},
                               {"animation", "animation"}, {"psnr", "psnr"},
                               {"ssim", "ssim"},           {"fast-decode", "fast-decode"}};
struct Crop {
  const char* label;
  int height;
};
constexpr Crop kCrops[] = {{"none  (1920 x 1080)", 0},    {"1.85:1  (1920 x 1040)", 1040},
                           {"2.20:1 (1920 x 868)", 868},  {"2.35:1  (1920 x 816)", 816},
                           {"2.37:1  (1920 x 808)", 808}, {"2.39:1  (1920 x 804)", 804},
                           {"2.40:1  (1920 x 800)", 800}};
constexpr char kNoiseTip[] =
    "Range 0 - 2000. Improves compressibility of noisily sources, in return, some sharpness may be lost.";

template <typename W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace

AdvancedEnabling AdvancedRules(const AdvancedContext& c) {
  AdvancedEnabling e;
  e.x265 = c.media == kMediaMkvCrf && c.use_x265;
  e.crop = c.media == kMediaMkvCrf && c.is_2d && c.bitrate != 1;
  e.resize = c.full_hd_progressive && c.is_2d && c.media != kMediaBdRemux && c.media != kMediaMkvRemux &&
             c.bitrate != 1 && !c.video_untouched;
  return e;
}

AdvancedDialog::AdvancedDialog(QWidget* parent, const AdvancedContext& context,
                               const AdvancedOptions& current)
    : QDialog(parent) {
  const AdvancedEnabling rules = AdvancedRules(context);
  setObjectName(QStringLiteral("P_ADVANCED"));
  setWindowTitle(QStringLiteral("Advanced Options"));
  setModal(true);
  auto* grid = new QGridLayout(this);

  tune_ = Named(new QComboBox, "P_ADVANCED_TUNE");
  if (rules.x265) {
    for (const Item& t : kX265Tunes)
      tune_->addItem(QString::fromLatin1(t.label), QString::fromLatin1(t.value));
  } else {
    for (const Item& t : kX264Tunes)
      tune_->addItem(QString::fromLatin1(t.label), QString::fromLatin1(t.value));
  }
  // A tune the list lacks (the other encoder's) shows the list's default.
  int tune = tune_->findData(QString::fromStdString(current.tune));
  if (tune < 0) tune = tune_->findData(QString::fromLatin1(rules.x265 ? "none" : "film"));
  tune_->setCurrentIndex(tune);
  grid->addWidget(new QLabel(QString::fromLatin1(rules.x265 ? "x265 Tune" : "x264 Tune")), 0, 0);
  grid->addWidget(tune_, 0, 1);

  params_ = Named(new QLineEdit(QString::fromStdString(current.params)), "P_ADVANCED_PARAM");
  params_->setMinimumWidth(360);
  grid->addWidget(new QLabel(QString::fromLatin1(rules.x265 ? "x265 Aditional parameters (advanced users)"
                                                            : "x264 aditional parameters (advanced users)")),
                  1, 0, 1, 2);
  grid->addWidget(params_, 2, 0, 1, 2);

  crop_ = Named(new QComboBox, "P_ADVANCED_CROP");
  for (const Crop& c : kCrops) crop_->addItem(QString::fromLatin1(c.label), c.height);
  const int crop = rules.crop ? crop_->findData(current.crop_height) : 0;
  crop_->setCurrentIndex(crop < 0 ? 0 : crop);
  crop_->setEnabled(rules.crop);
  grid->addWidget(new QLabel(QStringLiteral("Crop (MKV output only)")), 3, 0);
  grid->addWidget(crop_, 3, 1);

  resize_ = Named(new QCheckBox(QStringLiteral("Resize to 720p")), "P_ADVANCED_RESIZE");
  resize_->setChecked(current.resize_720p != 0);
  resize_->setEnabled(rules.resize);
  grid->addWidget(resize_, 4, 0, 1, 2);

  noise_ = Named(new QSpinBox, "P_ADVANCED_NR");
  noise_->setRange(0, 2000);
  noise_->setValue(current.noise_reduction);
  noise_->setEnabled(rules.x265);
  auto* noise_label = new QLabel(QStringLiteral("x265 noise reduction"));
  noise_label->setEnabled(rules.x265);
  for (QWidget* w : {static_cast<QWidget*>(noise_), static_cast<QWidget*>(noise_label)})
    w->setToolTip(QString::fromLatin1(kNoiseTip));
  grid->addWidget(noise_label, 5, 0);
  grid->addWidget(noise_, 5, 1);

  grid->addLayout(AcceptCancelRow(this, Mnemonic("__Apply"), "P_ADVANCED_APPLY", Mnemonic("__Cancel"),
                                  "P_ADVANCED_CANCEL"),
                  6, 0, 1, 2);
}

AdvancedOptions AdvancedDialog::chosen() const {
  AdvancedOptions o;
  o.tune = tune_->currentData().toString().toStdString();
  o.params = params_->text().toStdString();
  o.crop_height = crop_->currentData().toInt();
  o.resize_720p = resize_->isChecked() ? 1 : 0;
  o.noise_reduction = noise_->value();
  return o;
}

}  // namespace dp::ui
