#include "ui/progress_view.h"

namespace dp::ui {

std::string RunProgressSource::ReadPipe(std::size_t max_bytes) {
  auto run = control_.CurrentRun();
  auto tool = run ? run->tool() : nullptr;
  return tool ? tool->ReadOutput(max_bytes) : std::string();
}

std::string RunProgressSource::ConsoleTitle() {
  auto run = control_.CurrentRun();
  auto tool = run ? run->tool() : nullptr;
  return tool ? tool->ConsoleTitle() : std::string();
}

}  // namespace dp::ui
