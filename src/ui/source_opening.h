// Runs the opening of a source on a thread of its own, one at a time, so the
// window keeps repainting while eac3to and MediaInfo work. The opening's
// dialogs and message boxes come to the window's thread through a bridge.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

#include "source/source_open.h"
#include "ui/ui_bridge.h"
#include "ui/window_source_view.h"

namespace dp::ui {

class SourceOpening : public QObject {
  Q_OBJECT
 public:
  // view and prompter live on this object's thread.
  SourceOpening(const Settings& settings, SourceView& view, Prompter& prompter);
  // Lets a worker still running finish (its dialogs answer as cancelled) and
  // waits for it.
  ~SourceOpening() override;

  // The state and the inventory belong to the worker while it runs: read
  // them only in a view call or when running() is false.
  SourceState& state() { return state_; }
  bool running() const { return running_; }

  // Back to no source, shown on the view; nothing while an opening runs.
  void ResetSource();
  // Starts job on the worker; false when an opening already runs.
  bool Start(std::function<void(SourceOpener&)> job);

 signals:
  void RunningChanged(bool running);

 private:
  void Finished();

  UiBridge bridge_;
  BridgedSourceView view_;
  BridgedPrompter prompter_;
  SourceState state_{};
  SourceOpener opener_;
  std::thread worker_;
  std::atomic<bool> running_ = false;
};

}  // namespace dp::ui
