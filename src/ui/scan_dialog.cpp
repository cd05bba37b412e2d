#include "ui/scan_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <climits>

#include "scanner/scan_inventory.h"
#include "ui/mnemonic.h"

namespace dp::ui {
namespace {

constexpr int kColumns = 7;
// Language code and name share one heading.
const char* const kHeadings[kColumns] = {"PID", "Codec", "Language", "", "Seconds", "Bitrate", "Packets"};
constexpr int kFirstRightColumn = 4;

}  // namespace

ScanDialog::ScanDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PAN_SCAN"));
  setWindowTitle(QStringLiteral("Scan Bitrates"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName(QStringLiteral("PAN_SCAN_LIST"));
  QStringList headings;
  for (const char* h : kHeadings) headings << QString::fromUtf8(h);
  table_->setHorizontalHeaderLabels(headings);
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // A read-only figure sheet: no selection, no focus frame, rows as tight as
  // the list box lines they stand for.
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->setFocusPolicy(Qt::NoFocus);
  table_->setShowGrid(false);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  for (int c = 0; c < kColumns; ++c)
    table_->horizontalHeaderItem(c)->setTextAlignment(
        (c >= kFirstRightColumn ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  layout->addWidget(table_);
  line_ = new QLabel(this);
  line_->setObjectName(QStringLiteral("PAN_SCAN_CAD"));
  layout->addWidget(line_);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("PAN_SCAN_NUM"));
  bar_->setTextVisible(false);
  layout->addWidget(bar_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  cancel_ = new QPushButton(Mnemonic("Cancel __Scan"), this);
  cancel_->setObjectName(QStringLiteral("PAN_SCAN_CANCEL"));
  close_ = new QPushButton(Mnemonic("__Close"), this);
  close_->setObjectName(QStringLiteral("PAN_SCAN_CLOSE"));
  buttons->addWidget(cancel_);
  buttons->addWidget(close_);
  layout->addLayout(buttons);
  // Room for a dozen streams before the table scrolls.
  const int row = table_->verticalHeader()->defaultSectionSize();
  resize(QSize(row * 34, row * 20));
}

void ScanDialog::SetTotal(std::uint64_t total_packets) {
  shift_ = 0;
  while ((total_packets >> shift_) > static_cast<std::uint64_t>(INT_MAX)) ++shift_;
  bar_->setRange(0, static_cast<int>(total_packets >> shift_));
  bar_->setValue(0);
}

void ScanDialog::ShowRows(const std::vector<ScanRow>& rows) {
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    for (int c = 0; c < kColumns; ++c) {
      auto* item =
          new QTableWidgetItem(QString::fromUtf8(rows[static_cast<std::size_t>(r)].columns[c].c_str()));
      item->setData(Qt::UserRole, rows[static_cast<std::size_t>(r)].pid);
      item->setTextAlignment((c >= kFirstRightColumn ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
      table_->setItem(r, c, item);
    }
  }
}

void ScanDialog::ShowProgress(const QString& line, std::uint64_t scanned_packets) {
  line_->setText(line);
  bar_->setValue(static_cast<int>(std::min<std::uint64_t>(scanned_packets >> shift_, INT_MAX)));
}

ScanBitratesRun::ScanBitratesRun(QWidget* window, const SourceState& state, SourceInventory& inventory,
                                 Prompter& prompter, Hooks hooks)
    : window_(window), state_(state), inventory_(inventory), prompter_(prompter), hooks_(std::move(hooks)) {
  timer_ = new QTimer(this);
  timer_->setInterval(kScanTickMs);
  connect(timer_, &QTimer::timeout, this, &ScanBitratesRun::Tick);
}

ScanBitratesRun::~ScanBitratesRun() {
  scanner_.RequestStop();
  scanner_.Wait();
  delete dialog_.data();
}

bool ScanBitratesRun::ticking() const { return timer_->isActive(); }

bool ScanBitratesRun::ScanBitrates() {
  PreparedScan scan;
  if (!PrepareSourceScan(state_, inventory_, scan)) return false;
  timer_->stop();
  delete dialog_.data();
  dialog_ = new ScanDialog(window_);
  dialog_->setAttribute(Qt::WA_DeleteOnClose);
  dialog_->SetTotal(scan.total_packets);
  dialog_->ShowRows(ScanRows(inventory_, false, 0));
  connect(dialog_->cancel(), &QPushButton::clicked, this, &ScanBitratesRun::CallCancelScan);
  connect(dialog_->close_button(), &QPushButton::clicked, this, &ScanBitratesRun::CallCloseScan);
  // The window's close box acts as Close.
  connect(dialog_, &QDialog::rejected, this, &ScanBitratesRun::CallCloseScan);
  dialog_->show();
  timer_->start();
  previous_scanned_packets_ = 0;
  scan_id_ = scanner_.Start(std::move(scan), this);
  if (scan_id_ == 0) CallCloseScan();
  return scan_id_ != 0;
}

void ScanBitratesRun::Tick() {
  if (hooks_.busy && hooks_.busy()) {
    timer_->stop();
    return;
  }
  const int state = scanner_.scan_state();
  const ScanResult now = scanner_.Progress();
  const QString line = QString::fromUtf8(ScanProgressLine(scanner_.scan_file_name(), now.scanned_packets,
                                                          now.total_packets, previous_scanned_packets_)
                                             .c_str());
  if (dialog_) dialog_->ShowProgress(line, now.scanned_packets);
  previous_scanned_packets_ = now.scanned_packets;
  // The live figures go into the inventory for the sparse-track test, even
  // with the pop-up closed.
  ApplyScanResult(now, inventory_);
  if (dialog_)
    dialog_->ShowRows(
        ScanRows(inventory_, true, ElapsedMs(now.scanned_packets, now.total_packets, now.duration_ms)));
  if (state == kScanRunning) return;
  if (dialog_) dialog_->ShowProgress(QString(), 0);
  timer_->stop();
  if (state == kScanSyncError) prompter_.Ask(kSyncWarningTitle, kSyncWarningText, Buttons::kOk);
}

void ScanBitratesRun::CallCancelScan() { scanner_.RequestStop(); }

void ScanBitratesRun::CallCloseScan() {
  scanner_.RequestStop();
  if (dialog_) {
    ScanDialog* d = dialog_;
    dialog_ = nullptr;
    d->disconnect(this);
    d->close();
  }
  if (hooks_.closed) hooks_.closed();
}

void ScanBitratesRun::ScanEnded(const ScanResult& result) {
  QMetaObject::invokeMethod(
      this, [this, result] { Finished(result); }, Qt::QueuedConnection);
}

void ScanBitratesRun::Finished(const ScanResult& result) {
  if (result.scan_id != scan_id_ || !result.finished || (hooks_.busy && hooks_.busy())) return;
  ApplyScanResult(result, inventory_);
  if (hooks_.scanned) hooks_.scanned(result.elapsed_ms);
}

}  // namespace dp::ui
