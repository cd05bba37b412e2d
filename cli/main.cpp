#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/version.h"
#include "command.h"
#include "platform/locale.h"

int main(int argc, char** argv) {
  using namespace dp::cli;
  std::setlocale(LC_ALL, "");
  dp::UseCNumericLocale();
  CLI::App app("The headless front end of DiscPress: the same core, store and queue as the desktop program.",
               "discpress-cli");
  app.set_version_flag("--version", std::string(dp::program_name) + " " + dp::program_version);
  app.require_subcommand(1);
  AddCommands(app);
  if (argc < 2) {
    std::fputs(app.help().c_str(), stderr);
    return kUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::RequiredError& e) {
    // CLI11 asks for what is missing before it looks at stray words; a stray
    // word is the better clue.
    const std::vector<std::string> stray = app.remaining(true);
    if (stray.empty()) return Fail(kUsage, e.what());
    const std::string& word = stray.front();
    if (word.starts_with('-')) return Fail(kUsage, "unknown option: " + word);
    const bool verb = std::string_view(e.what()).find("subcommand") != std::string_view::npos;
    return Fail(kUsage, (verb ? "unknown command: " : "unexpected argument: ") + word);
  } catch (const CLI::ParseError& e) {
    return Fail(kUsage, e.what());
  }
  return ExitStatus();
}
