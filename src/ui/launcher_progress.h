// Progress on the desktop's taskbar or dock entry, through the freedesktop
// "LauncherEntry" signal on the session bus. Desktops that do not listen
// simply ignore it; without a session bus nothing is sent at all.
#pragma once

#include <functional>

namespace dp::ui {

enum class TaskbarState { kNoProgress, kIndeterminate, kNormal };

class LauncherProgress {
 public:
  LauncherProgress();
  // Sends each update (progress 0..1, bar shown) to `sink` instead of the bus.
  using Sink = std::function<void(double progress, bool visible)>;
  explicit LauncherProgress(Sink sink) : available_(true), sink_(std::move(sink)) {}
  bool available() const { return available_; }
  void SetState(TaskbarState state);
  void SetValue(int completed, int total);

 private:
  void Send(double progress, bool visible);
  bool available_ = false;
  double progress_ = 0;
  bool visible_ = false;
  Sink sink_;
};

}  // namespace dp::ui
