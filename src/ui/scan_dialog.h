// The Scan Bitrates pop-up and the scan behind it: the worker counts on its
// own thread, a one-second tick shows its figures, Cancel and Close stop it
// after the buffer in hand. The scan outlives the pop-up: after Close the
// tick goes on until it sees the stop, and the final figures still reach the
// source lists.
#pragma once

#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <functional>

#include "app/prompter.h"
#include "scanner/scan_texts.h"
#include "scanner/ts_scanner.h"
#include "source/inventory.h"
#include "source/source_state.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

namespace dp::ui {

// PAN_SCAN: the progress line, the progress bar, the stream table.
class ScanDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ScanDialog(QWidget* parent);

  void SetTotal(std::uint64_t total_packets);
  void ShowRows(const std::vector<ScanRow>& rows);
  void ShowProgress(const QString& line, std::uint64_t scanned_packets);

  QLabel* line() const { return line_; }
  QTableWidget* table() const { return table_; }
  QPushButton* cancel() const { return cancel_; }
  QPushButton* close_button() const { return close_; }

 private:
  QLabel* line_ = nullptr;         // PAN_SCAN_CAD
  QProgressBar* bar_ = nullptr;    // PAN_SCAN_NUM
  QTableWidget* table_ = nullptr;  // PAN_SCAN_LIST
  QPushButton* cancel_ = nullptr;  // PAN_SCAN_CANCEL
  QPushButton* close_ = nullptr;   // PAN_SCAN_CLOSE
  int shift_ = 0;                  // the bar counts packets >> shift_, to stay within int
};

class ScanBitratesRun : public QObject, public ScanObserver {
  Q_OBJECT
 public:
  struct Hooks {
    // The final figures are in the inventory: redraw the source rings (with
    // the scan's elapsed time) and recompute the bitrate.
    std::function<void(double elapsed_ms)> scanned;
    // Close: the focus goes to Add to Queue.
    std::function<void()> closed;
    // A source opening owns the inventory: a scan left running after Close
    // then stops touching it.
    std::function<bool()> busy;
  };
  ScanBitratesRun(QWidget* window, const SourceState& state, SourceInventory& inventory, Prompter& prompter,
                  Hooks hooks);
  ~ScanBitratesRun() override;

  // ScanBitrates: false when a file of the scan could not be opened (nothing
  // is shown then).
  bool ScanBitrates();
  // TimerScanProgressProc.
  void Tick();
  void CallCancelScan();
  void CallCloseScan();

  ScanDialog* dialog() const { return dialog_; }
  bool ticking() const;
  const TsScanner& scanner() const { return scanner_; }

 private:
  void ScanEnded(const ScanResult& result) override;
  void Finished(const ScanResult& result);

  QWidget* window_;
  const SourceState& state_;
  SourceInventory& inventory_;
  Prompter& prompter_;
  Hooks hooks_;
  QPointer<ScanDialog> dialog_;
  QTimer* timer_ = nullptr;
  std::uint64_t previous_scanned_packets_ = 0;
  std::uint64_t scan_id_ = 0;
  TsScanner scanner_;  // last member: its worker may call ScanEnded until it is gone
};

}  // namespace dp::ui
