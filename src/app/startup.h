// Start-up and exit rules of the desktop program that need no window.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/prompter.h"
#include "app/run_state.h"

namespace dp {

inline constexpr char kMissingFilesText[] =
    "FATAL ERROR: Some needed .dll are missing!!\n\nReinstall/repair software can fix the problem.";
inline constexpr char kAnotherInstanceText[] = "Another instance of DiscPress is already running!";
inline constexpr char kExitQuestion[] = "If you exit now will stop the current job.\n\nAre you sure?";
inline constexpr char kShutdownTitleSuffix[] = "  *** SHUTDOWN COMPUTER WHEN FINISH ALL JOBS ***";

// Files the program needs in its own folder, checked in this order.
const std::vector<std::string>& CompanionFiles();
// The MediaInfo library DiscPress loads at run time.
inline constexpr char kMediaInfoLibrary[] = "libmediainfo.so.0";

// True when every companion file is in program_dir and the MediaInfo
// library can be loaded; the first missing one ends the check and is named
// in missing.
bool CheckIntegrity(const std::filesystem::path& program_dir, std::string* missing = nullptr);

// "DiscPress v3.3.0   (64-bit mode)", with the shutdown suffix when asked.
std::string MainWindowTitle(bool is_64bit, bool shutdown_when_done);

// The exit path: with a job running, asks first; on "yes" stops the job.
// True when the program should quit.
bool Salir(RunState& run, Prompter& prompter, const std::function<void()>& stop_job);

// The desktop session ends: a running job is stopped without a question.
void SessionEnding(RunState& run, const std::function<void()>& stop_job);

}  // namespace dp
