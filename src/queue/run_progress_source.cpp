#include "queue/run_progress_source.h"

namespace dp {

std::shared_ptr<ToolProcess> RunProgressSource::Tool() const {
  auto run = control_.CurrentRun();
  return run ? run->tool() : nullptr;
}

ProgressReader RunProgressSource::StepReader() {
  auto run = control_.CurrentRun();
  return run ? run->reader() : ProgressReader::kNone;
}

std::string RunProgressSource::ReadPipe(std::size_t max_bytes) {
  auto tool = Tool();
  return tool ? tool->ReadOutput(max_bytes) : std::string();
}

std::string RunProgressSource::ConsoleTitle() {
  auto tool = Tool();
  return tool ? tool->ConsoleTitle() : std::string();
}

}  // namespace dp
