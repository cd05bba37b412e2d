// The Scan Bitrates pop-up on a generated clip: its texts, the tick, Cancel
// and Close, and the warning of a damaged file.
#include "ui/scan_dialog.h"

#include <QLabel>
#include <QTableWidget>
#include <QtTest>
#include <cstring>
#include <fstream>
#include <memory>

#include "support/media_gen.h"
#include "support/run_doubles.h"
#include "support/temp_dir.h"

namespace dp::ui {

class ScanDialogTest : public QObject {
  Q_OBJECT

  struct Fixture {
    test::TempDir dir;
    std::unique_ptr<SourceInventory> inv = std::make_unique<SourceInventory>();
    SourceState state;
    test::ScriptedPrompter prompter;
    int scanned = 0, closed = 0;
    std::unique_ptr<ScanBitratesRun> run;
    explicit Fixture(bool damaged) {
      const std::string clip = (dir / "00001.m2ts").string();
      QVERIFY(test::MakeBlurayClip(clip, 3, "320x240"));
      if (damaged)
        std::fstream(clip, std::ios::in | std::ios::out | std::ios::binary).seekp(192 * 9000 + 4).put(0);
      state.panel.source_text = clip;
      inv->video_count = inv->audio_count = 1;
      inv->video[0].pid = 0x1011;
      inv->video[0].duration_ms = 3000;
      inv->audio[0].pid = 0x1100;
      run = std::make_unique<ScanBitratesRun>(
          nullptr, state, *inv, prompter,
          ScanBitratesRun::Hooks{[this](double) { ++scanned; }, [this] { ++closed; }, {}});
    }
  };

  static void Set(char* field, const char* text) { std::strcpy(field, text); }

 private slots:
  void Texts() {
    // clang-format off
    const struct { std::uint64_t scanned, previous; const char* line; } lines[] = {
        {5208, 0, "Scanning 00001.m2ts 5208 packets of 9000 (1.00 MB/s)..."},
        {9000, 9000, "Scanning 00001.m2ts 9000 packets of 9000 (0.00 MB/s)..."},
    };
    // clang-format on
    for (const auto& l : lines) QCOMPARE(ScanProgressLine("00001.m2ts", l.scanned, 9000, l.previous), l.line);

    auto inv = std::make_unique<SourceInventory>();
    inv->video_count = 1, inv->audio_count = 2, inv->subtitle_count = 3;
    inv->video[0] = {};
    inv->video[0].pid = 4113, inv->video[0].packet_count = 10000;
    Set(inv->video[0].format, "AVC");
    inv->audio[0].pid = 4352, inv->audio[0].bitrate_kbps = 640, inv->audio[0].packet_count = 1;
    Set(inv->audio[0].format, "AC-3");
    Set(inv->audio[0].language_code, "en"), Set(inv->audio[0].language_name, "English");
    inv->audio[1].pid = 4353, inv->audio[1].has_core = 1, inv->audio[1].packet_count = 2000;
    Set(inv->audio[1].format, "DTS"), Set(inv->audio[1].format_profile, "MA");
    const std::int32_t forced[] = {12, -1, 0};
    for (int i = 0; i < 3; ++i) {
      inv->subtitle[i].pid = 4608 + i, inv->subtitle[i].forced_count = forced[i];
      Set(inv->subtitle[i].format, "PGS");
    }
    const std::vector<ScanRow> first = ScanRows(*inv, false, 0), live = ScanRows(*inv, true, 2000);
    QCOMPARE(live.size(), std::size_t{6});
    // clang-format off
    const struct { int row; int column; const char* first; const char* live; } cells[] = {
        {0, 0, "4113 (0x1011)", "4113 (0x1011)"}, {0, 5, "", "7360 kbps"}, {0, 4, "", "2.0"},
        {1, 5, "", "640 kbps"}, {1, 3, "(English)", "(English)"}, {2, 1, "DTS", "DTS MA"}, {2, 5, "", "1472 kbps"},
        {3, 0, "4608 (0x1200)", "4608 (0x1200)"}, {3, 1, "PGS", "PGS (12 forced)"}, {4, 1, "PGS", "PGS (forced track)"},
        {5, 1, "PGS", "PGS"}, {5, 5, "", "0.00 kbps"}, {5, 6, "", "0"},
    };
    // clang-format on
    for (const auto& c : cells) {
      QCOMPARE(first[c.row].columns[c.column], c.first);
      QCOMPARE(live[c.row].columns[c.column], c.live);
    }
  }

  // Each row: damaged file, stop with Cancel / Close at once, what remains.
  void Scans() {
    // clang-format off
    const struct { bool damaged; int stop; bool warned; } cases[] = {
        {false, 0, false}, {true, 0, true}, {false, 1, false}, {false, 2, false},
    };
    // clang-format on
    for (const auto& c : cases) {
      Fixture f(c.damaged);
      QVERIFY(f.run->ScanBitrates());
      QCOMPARE(f.run->dialog()->table()->rowCount(), 2);
      if (c.stop == 1) f.run->CallCancelScan();
      if (c.stop == 2) f.run->CallCloseScan();
      // A scan left alone may already have read its small file by now.
      if (c.stop != 0) QVERIFY(f.run->scanner().scan_state() != kScanRunning);
      QCOMPARE(f.closed, c.stop == 2 ? 1 : 0);
      QCOMPARE(f.run->dialog() != nullptr, c.stop != 2);
      // The source lists get the final figures, pop-up or not.
      QTRY_COMPARE(f.scanned, 1);
      QVERIFY(f.run->ticking());
      f.run->Tick();
      QVERIFY(!f.run->ticking());
      QCOMPARE(f.prompter.asked.size(), std::size_t{c.warned ? 1u : 0u});
      if (c.warned)
        QVERIFY(QString::fromStdString(f.prompter.asked[0]).startsWith("WARNING|Sync byte missing!"));
      if (c.stop != 0) continue;
      QVERIFY(f.inv->video[0].scanned_bitrate_kbps > 0);
      QCOMPARE(f.run->dialog()->line()->text(), QString());
      QCOMPARE(f.run->dialog()->table()->item(0, 6)->text().toUInt(), f.inv->video[0].packet_count);
    }
  }
};

}  // namespace dp::ui

QTEST_MAIN(dp::ui::ScanDialogTest)
#include "scan_dialog_test.moc"
