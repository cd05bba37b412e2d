#include "ui/source_opening.h"

namespace dp::ui {

SourceOpening::SourceOpening(const Settings& settings, SourceView& view, Prompter& prompter)
    : bridge_(this),
      view_(bridge_, view),
      prompter_(bridge_, prompter),
      opener_(settings, state_, source_inventory, view_, prompter_) {}

SourceOpening::~SourceOpening() {
  bridge_.Close();
  if (worker_.joinable()) worker_.join();
}

bool SourceOpening::Start(std::function<void(SourceOpener&)> job) {
  if (running_) return false;
  running_ = true;
  emit RunningChanged(true);
  worker_ = std::thread([this, job = std::move(job)] {
    job(opener_);
    QMetaObject::invokeMethod(this, &SourceOpening::Finished, Qt::QueuedConnection);
  });
  return true;
}

void SourceOpening::ResetSource() {
  if (!running_) opener_.ResetSource();
}

void SourceOpening::Finished() {
  worker_.join();
  running_ = false;
  emit RunningChanged(false);
}

}  // namespace dp::ui
