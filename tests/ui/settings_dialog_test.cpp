// The Settings dialog against a real store, and the About box.
#include "ui/settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>
#include <fstream>

#include "support/run_doubles.h"
#include "support/temp_dir.h"
#include "ui/about_dialog.h"

namespace dp::ui {
namespace {

// "PANEL_PREF_SUBS#2" is row 2 of the font table.
void Set(QDialog& d, const QString& name, const QVariant& v) {
  if (name.contains('#'))
    return d.findChild<QTableWidget*>(name.section('#', 0, 0))
        ->item(name.section('#', 1).toInt(), 0)
        ->setText(v.toString());
  QWidget* w = d.findChild<QWidget*>(name);
  if (auto* c = qobject_cast<QCheckBox*>(w)) c->setChecked(v.toBool());
  if (auto* s = qobject_cast<QSpinBox*>(w)) s->setValue(v.toInt());
  if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(v.toString());
  if (auto* r = qobject_cast<QComboBox*>(w)) r->setCurrentIndex(r->findData(v));
}

QVariant Get(QDialog& d, const QString& name) {
  if (name.contains('#'))
    return d.findChild<QTableWidget*>(name.section('#', 0, 0))->item(name.section('#', 1).toInt(), 0)->text();
  QWidget* w = d.findChild<QWidget*>(name);
  if (auto* c = qobject_cast<QCheckBox*>(w)) return c->isChecked();
  if (auto* s = qobject_cast<QSpinBox*>(w)) return s->value();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  return qobject_cast<QComboBox*>(w)->currentData();
}

}  // namespace

class SettingsDialogTest : public QObject {
  Q_OBJECT
  test::TempDir dir;
  std::unique_ptr<Store> store;
  Settings settings;
  test::ScriptedPrompter prompter;
  int reapplied = 0;

  std::unique_ptr<SettingsDialog> Open() {
    return std::make_unique<SettingsDialog>(nullptr, *store, settings, prompter, [this] { ++reapplied; });
  }
  Settings Stored() {
    Settings s;
    ReadSettingsOnly(*store, s);
    return s;
  }

 private slots:
  void init() {
    qputenv("HOME", QByteArray::fromStdString(dir.path().string()));
    qputenv("TMPDIR", QByteArray::fromStdString(dir.path().string()));
    store = Store::Open(dir / "store.db");
    LlegeixRegistre(*store, settings, &prompter);
    prompter.asked.clear();
    reapplied = 0;
  }

  void RoundTrip() {
    const QString sound = QString::fromStdString((dir / "done.wav").string());
    std::ofstream(sound.toStdString()) << std::string("RIFF\x24\0\0\0WAVEfmt ", 16);
    // clang-format off
    const std::vector<std::tuple<const char*, const char*, QVariant, QString>> rows = {
      {"TempPath", "PANEL_PREF_TEMP_FOLDER", QString::fromStdString(dir.path().string()), {}},
      {"OutPath", "PANEL_PREF_OUT_FOLDER", QString::fromStdString((dir / "out").string()), {}},
      {"AudioLang", "PANEL_PREF_AUDIO", "ger/deu", {}},
      {"SubtitleLang", "PANEL_PREF_SUBT", "spa", {}},
      {"ForcedSubtitle", "PANEL_PREF_FORCED", true, "1"},
      {"Media", "PANEL_PREF_MEDIA", 8, "8"},
      {"CustomMedia", "PANEL_PREF_CUSTOM_MEDIA", 3000, "3000"},
      {"Preset", "PANEL_PREF_PRESETS", "placebo", {}},
      {"CRF", "PANEL_PREF_CRF", 16, "16"},
      {"Down16", "PANEL_PREF_DOWN16", true, "1"},
      {"Down6", "PANEL_PREF_DOWN6", true, "1"},
      {"UseFlac", "PANEL_PREF_FLAC", true, "1"},
      {"DivXPlusHD", "PANEL_PREF_DIVX_PLUS_HD", true, "1"},
      {"UseX265", "PANEL_PREF_X265", true, "1"},
      {"SoundPath", "PANEL_PREF_SOUND", sound, {}},
      {"FontName", "PANEL_PREF_SUBS#0", "DejaVu Sans", {}},
      {"FontSize", "PANEL_PREF_SUBS#1", "48", "48"},
      {"FontColor", "PANEL_PREF_SUBS#2", "0x0000FF80", QString::number(0xFF80)},
      {"FontBorder", "PANEL_PREF_BORDER", 5, "5"},
      {"FontBottomOffset", "PANEL_PREF_OFFSET", 40, "40"},
    };
    // clang-format on
    auto dialog = Open();
    for (const auto& [setting, control, value, stored] : rows) Set(*dialog, control, value);
    QVERIFY(dialog->CallSettingsSave());
    QCOMPARE(reapplied, 1);
    Settings from_store = Stored();
    auto reopened = Open();
    for (const auto& [setting, control, value, stored] : rows) {
      const SettingInfo& info = *FindSetting(setting);
      const QString want = stored.isNull() ? value.toString() : stored;
      for (const Settings* s : {&settings, &from_store}) {
        const QString got = info.type == kRegSz ? QString::fromStdString(std::string(SettingText(*s, info)))
                                                : QString::number(SettingDword(*s, info));
        QVERIFY2(got == want, setting);
      }
      QVERIFY2(Get(*reopened, control).toString() == value.toString(), control);
    }
  }

  void DefaultsThenCancelKeepsDefaults() {
    settings.CRF = 25;
    settings.UseX265 = 1;
    EscriuRegistre(*store, settings);
    auto dialog = Open();
    QTest::mouseClick(dialog->findChild<QWidget*>("PANEL_PREF_DEFAULT"), Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QWidget*>("PANEL_PREF_CANCEL"), Qt::LeftButton);
    for (const Settings& s : {settings, Stored()}) QVERIFY(s.CRF == 20 && s.UseX265 == 0);
    QCOMPARE(reapplied, 1);
  }

  void NoSubtitlesDimsAtOnceAndOnReopening() {
    auto dialog = Open();
    auto dimmed = [](QDialog& d) {
      return !d.findChild<QWidget*>("PANEL_PREF_FORCED")->isEnabled() &&
             !d.findChild<QWidget*>("PANEL_PREF_SUBT")->isEnabled();
    };
    QVERIFY(!dimmed(*dialog));
    dialog->findChild<QCheckBox*>("PANEL_PREF_NO_SUBTITLE")->click();
    QVERIFY(dimmed(*dialog));
    QVERIFY(dialog->CallSettingsSave());
    QVERIFY(dimmed(*Open()));
  }

  void BadInputStoresNothing() {
    std::ofstream(dir / "plain.txt") << "not a sound";
    const QString file = QString::fromStdString((dir / "plain.txt").string());
    // clang-format off
    const std::vector<std::pair<const char*, QVariant>> rows = {
      {"PANEL_PREF_CUSTOM_MEDIA", 0},
      {"PANEL_PREF_SOUND", file},
      {"PANEL_PREF_SOUND", file + "x"},
      {"PANEL_PREF_OUT_FOLDER", file},
      {"PANEL_PREF_SUBS#1", "big"},
      {"PANEL_PREF_SUBS#2", "white"},
    };
    // clang-format on
    for (const auto& [control, value] : rows) {
      prompter.asked.clear();
      auto dialog = Open();
      Set(*dialog, "PANEL_PREF_CRF", 24);
      Set(*dialog, control, value);
      QVERIFY2(!dialog->CallSettingsSave(), control);
      QVERIFY2(prompter.asked.size() == 1 && settings.CRF == 20 && Stored().CRF == 20, control);
    }
  }

  void AboutShowsVersion() {
    AboutDialog about(nullptr);
    QCOMPARE(about.findChild<QLabel*>("PANEL_ABOU_VER")->text(), QStringLiteral("Version 3.3.0"));
    QVERIFY(!WebsiteUrl().isEmpty());
  }
};

}  // namespace dp::ui

QTEST_MAIN(dp::ui::SettingsDialogTest)
#include "settings_dialog_test.moc"
