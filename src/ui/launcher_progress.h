// Progress on the desktop's taskbar or dock entry, through the freedesktop
// "LauncherEntry" signal on the session bus. Desktops that do not listen
// simply ignore it; without a session bus nothing is sent at all.
#pragma once

namespace dp::ui {

enum class TaskbarState { kNoProgress, kIndeterminate, kNormal };

class LauncherProgress {
 public:
  LauncherProgress();
  bool available() const { return available_; }
  void SetState(TaskbarState state);
  void SetValue(int completed, int total);

 private:
  void Send(double progress, bool visible);
  bool available_ = false;
  double progress_ = 0;
  bool visible_ = false;
};

}  // namespace dp::ui
