// The background update check of the desktop program and what the window
// does with its result: the texts of the notice, the click on it, and the
// installer opened at exit.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>

#include "app/run_state.h"
#include "app/settings.h"

namespace dp {

struct UpdateState {
  // Set when the window goes, so the check ends its transfer early.
  std::atomic<bool> abort{false};
  // The downloaded installer's file name; non-empty means the notice is
  // shown. Written by the check before it hands the notice to the window.
  std::string update_installer_name;
  bool launch_update_on_exit = false;
};

// `ComprovaVersioProc`: the query, then (unless it said "OK") the download;
// when the installer is ready, on_ready is called with the new version.
void ComprovaVersioProc(bool is_64bit, const MachineId& id, UpdateState& state,
                        const std::function<void(const std::string& new_version)>& on_ready);

// The notice's texts: the tip and the balloon's.
std::string UpdateTipText();
std::string UpdateBalloonText(const std::string& new_version);

// A click on the notice: stops a running job as Stop Jobs does, asks for the
// installer at exit and ends the event loop.
void OnUpdateNoticeClicked(RunState& run, UpdateState& state, const std::function<void()>& stop_job,
                           const std::function<void()>& quit);

// Where the installer lies, for opening it at exit; empty when it is not to
// be opened.
std::filesystem::path InstallerToLaunch(const UpdateState& state);

}  // namespace dp
