#include "app/startup.h"

#include <dlfcn.h>

#include <system_error>

#include "app/version.h"
#include "util/text.h"

namespace dp {

const std::vector<std::string>& CompanionFiles() {
  // The headless front end and the MVC tools ship beside the program; the
  // other outside tools are looked up when a job needs them.
  static const std::vector<std::string> files = {"discpress-cli", "MVCenc", "MVCdec"};
  return files;
}

bool CheckIntegrity(const std::filesystem::path& program_dir, std::string* missing) {
  for (const auto& name : CompanionFiles()) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(program_dir / name, ec)) {
      if (missing) *missing = name;
      return false;
    }
  }
  void* lib = dlopen(kMediaInfoLibrary, RTLD_LAZY | RTLD_LOCAL);
  if (!lib) {
    if (missing) *missing = kMediaInfoLibrary;
    return false;
  }
  dlclose(lib);
  return true;
}

std::string MainWindowTitle(bool is_64bit, bool shutdown_when_done) {
  std::string title = Format("%s v%s   (%d-bit mode)", program_name, program_version, is_64bit ? 64 : 32);
  if (shutdown_when_done) title += kShutdownTitleSuffix;
  return title;
}

bool Salir(RunState& run, Prompter& prompter, const std::function<void()>& stop_job) {
  if (run.current_job.load() != -1) {
    if (prompter.Ask(program_name, kExitQuestion, Buttons::kYesNo) != Answer::kYes) return false;
    if (stop_job) stop_job();
  }
  return true;
}

void SessionEnding(RunState& run, const std::function<void()>& stop_job) {
  if (run.current_job.load() != -1 && stop_job) stop_job();
}

}  // namespace dp
