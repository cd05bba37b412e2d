#include "command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace dp::cli {
namespace {

struct Entry {
  const char* text;  // description, or the usage of a legacy group
  SetupFn setup = nullptr;
  CommandFn legacy = nullptr;
};

std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> registry;
  return registry;
}

int g_exit_status = kOk;

// A legacy group takes every word after its name as it stands; only "--help"
// is answered here, wherever it is.
void AddLegacy(CLI::App& app, const std::string& name, const Entry& entry) {
  // The first usage line, without the program name, stands for the group in
  // the program's help.
  std::string first(entry.text, std::strcspn(entry.text, "\n"));
  first.erase(0, first.find_first_not_of(' '));
  if (first.starts_with("discpress-cli ")) first.erase(0, 14);
  CLI::App* group = app.add_subcommand(name, first);
  group->prefix_command();
  group->footer(std::string("usage:\n") + entry.text);
  const CommandFn fn = entry.legacy;
  OnRun(*group, [group, fn] {
    const Args args = group->remaining();
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
      std::fputs(group->help().c_str(), stdout);
      return int{kOk};
    }
    return fn(args);
  });
}

}  // namespace

RegisterCommand::RegisterCommand(const char* group, const char* description, SetupFn setup) {
  Registry()[group] = Entry{description, setup, nullptr};
}

RegisterCommand::RegisterCommand(const char* group, const char* usage, CommandFn fn) {
  Registry()[group] = Entry{usage, nullptr, fn};
}

void AddCommands(CLI::App& app) {
  for (const auto& [name, entry] : Registry()) {
    if (entry.legacy) {
      AddLegacy(app, name, entry);
      continue;
    }
    CLI::App* group = app.add_subcommand(name, entry.text);
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

int Usage(std::string_view group) {
  auto it = Registry().find(std::string(group));
  if (it == Registry().end()) return Fail(kUsage, "unknown command");
  std::fprintf(stderr, "usage:\n%s", it->second.text);
  return kUsage;
}

}  // namespace dp::cli
