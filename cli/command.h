// Command groups of discpress-cli register themselves here; main() adds each
// group to the program's CLI11 parser, and the chosen subcommand's callback
// leaves the exit status.
#pragma once

#include <functional>
#include <string_view>

namespace CLI {
class App;
}

namespace dp::cli {

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

// Adds the group's options and subcommands to group (named and described
// already), each with an OnRun callback.
using SetupFn = void (*)(CLI::App& group);

struct RegisterCommand {
  RegisterCommand(const char* group, const char* description, SetupFn setup);
};

// Every registered group as a subcommand of app.
void AddCommands(CLI::App& app);

// run is called when command is the one chosen; what it returns becomes the
// exit status (ExitStatus()).
void OnRun(CLI::App& command, std::function<int()> run);
int ExitStatus();

// Prints "discpress-cli: <text>" to stderr; returns code.
int Fail(int code, std::string_view text);

}  // namespace dp::cli
