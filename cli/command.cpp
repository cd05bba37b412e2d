#include "command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <map>
#include <string>

namespace dp::cli {
namespace {

struct Entry {
  const char* description;
  SetupFn setup;
};

std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> registry;
  return registry;
}

int g_exit_status = kOk;

}  // namespace

RegisterCommand::RegisterCommand(const char* group, const char* description, SetupFn setup) {
  Registry()[group] = Entry{description, setup};
}

void AddCommands(CLI::App& app) {
  for (const auto& [name, entry] : Registry()) {
    CLI::App* group = app.add_subcommand(name, entry.description);
    entry.setup(*group);
    // A group of verbs runs one of them; a group without verbs runs itself.
    if (!group->get_subcommands([](CLI::App*) { return true; }).empty()) group->require_subcommand(1);
  }
}

void OnRun(CLI::App& command, std::function<int()> run) {
  command.callback([run = std::move(run)] { g_exit_status = run(); });
}

int ExitStatus() { return g_exit_status; }

int Fail(int code, std::string_view text) {
  std::fprintf(stderr, "discpress-cli: %.*s\n", static_cast<int>(text.size()), text.data());
  return code;
}

}  // namespace dp::cli
