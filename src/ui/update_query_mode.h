// "discpress /che...": ask the update service and answer with the exit code,
// without any window.
#pragma once

#include <optional>
#include <string>

namespace dp::ui {

// The arguments after the program name joined by single blanks.
std::string CommandLineText(int argc, char** argv);

// Nothing when the command line does not start with "/che"; otherwise the
// exit code: 69 when another DiscPress runs, -1 when the service refused the
// reference (the text from the eighth character on), else 99.
std::optional<int> RunUpdateQueryMode(int argc, char** argv, bool is_64bit);

}  // namespace dp::ui
