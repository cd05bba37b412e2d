// The "TMDB Results" dialog: what each way out of it answers; the address
// "View on TMDB" opens.
#include "ui/scrape_dialog.h"

#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "ui/tmdb_page.h"

namespace dp::ui {

class ScrapeDialogTest : public QObject {
  Q_OBJECT

 private slots:
  // The first hit starts selected; Select Title, Enter and a double click
  // answer the selected hit, Cancel, Escape and the close box -1.
  void eachWayOutAnswers() {
    const std::vector<std::string> labels = {"Matrix (1999)", "Matrix Reloaded (2003)",
                                             "Amélie - Le Fabuleux Destin d'Amélie Poulain (2001)"};
    enum Act { kSelect, kEnter, kDouble, kCancel, kEscape, kClose };
    // clang-format off
    struct { Act act; int row; int chosen; bool empty; } rows[] = {
        {kSelect, -1, 0, false}, {kSelect, 2, 2, false}, {kEnter, 1, 1, false}, {kDouble, 2, 2, false},
        {kCancel, 1, -1, false}, {kEscape, 1, -1, false}, {kClose, 2, -1, false}, {kSelect, -1, -1, true},
    };
    // clang-format on
    for (const auto& r : rows) {
      ScrapeDialog dialog(nullptr, r.empty ? std::vector<std::string>{} : labels);
      auto* list = dialog.findChild<QListWidget*>(QStringLiteral("SCRAPE_LISTBOX"));
      int first_row = -2;
      QTimer::singleShot(0, [&] {
        first_row = list->currentRow();
        if (r.row >= 0) list->setCurrentRow(r.row);
        switch (r.act) {
          case kSelect:
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("SCRAPE_SELECT")),
                              Qt::LeftButton);
            break;
          case kEnter:
            QTest::keyClick(list, Qt::Key_Return);
            break;
          case kDouble: {
            const QPoint at = list->visualItemRect(list->item(r.row)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            break;
          }
          case kCancel:
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("SCRAPE_SELECT_2")),
                              Qt::LeftButton);
            break;
          case kEscape:
            QTest::keyClick(&dialog, Qt::Key_Escape);
            break;
          case kClose:
            dialog.close();
            break;
        }
      });
      bool stuck = false;  // a way out that failed: fail, not hang
      QTimer::singleShot(3000, &dialog, [&] {
        stuck = true;
        dialog.reject();
      });
      const int chosen = dialog.Choose();
      QVERIFY2(!stuck, QByteArray::number(int(&r - rows)).constData());
      QCOMPARE(chosen, r.chosen);
      QCOMPARE(first_row, r.empty ? -1 : 0);
    }
  }

  // Labels come as UTF-8 and a long one fits the list without a scroll.
  void labelsShowWhole() {
    const std::string longest = "Le Fabuleux Destin d'Amélie Poulain - Die fabelhafte Welt (2001)";
    ScrapeDialog dialog(nullptr, {"Crouching Tiger (2000)", longest});
    QCOMPARE(dialog.windowTitle(), QStringLiteral("TMDB Results"));
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("SCRAPE_SELECT"))->text(),
             QStringLiteral("&Select Title"));
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("SCRAPE_SELECT_2"))->text(),
             QStringLiteral("&Cancel"));
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("SCRAPE_LISTBOX"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(list->item(1)->text(), QString::fromUtf8(longest.c_str()));
    QVERIFY(list->fontMetrics().horizontalAdvance(list->item(1)->text()) < list->viewport()->width());
  }

  void tmdbPageAddress() {
    // clang-format off
    struct { const char* path; const char* url; } rows[] = {
        {"movie/603", "https://www.themoviedb.org/movie/603"},
        {"tv/1399/season/1/episode/2", "https://www.themoviedb.org/tv/1399/season/1/episode/2"},
        {"/tv/1399", "https://www.themoviedb.org/tv/1399"},
        {"", ""}, {"/", ""},
    };
    // clang-format on
    for (const auto& r : rows) QCOMPARE(TmdbPageUrl(r.path), std::string(r.url));
  }
};

}  // namespace dp::ui

QTEST_MAIN(dp::ui::ScrapeDialogTest)
#include "scrape_dialog_test.moc"
