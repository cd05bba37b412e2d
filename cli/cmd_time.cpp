#include <cstdio>
#include <memory>
#include <string>

#include "args.h"
#include "command.h"
#include "util/text.h"
#include "util/time.h"

namespace dp::cli {
namespace {

struct Verb {
  const char* name;
  const char* description;
  const char* argument;
  std::string (*run)(const std::string& text);
};

constexpr Verb kVerbs[] = {
    {"seconds-to-hms", "seconds as H:MM:SS", "SECONDS",
     [](const std::string& t) { return Seconds_To_HHMMSS(LeadingDouble(t)); }},
    {"hms-to-s", "H:MM:SS text to seconds", "TEXT",
     [](const std::string& t) { return std::to_string(hms_to_s(t)); }},
    {"hms-to-ms", "H:MM:SS.mmm text to milliseconds", "TEXT",
     [](const std::string& t) { return Format("%.0f", hms_to_ms(t)); }},
    {"fraction", "a frame rate fraction (24000/1001) as a number", "TEXT",
     [](const std::string& t) { return Format("%.17g", fraction_to_double(t)); }},
};

void Setup(CLI::App& group) {
  auto text = std::make_shared<std::string>();
  for (const Verb& verb : kVerbs) {
    CLI::App* command = group.add_subcommand(verb.name, verb.description);
    command->add_option(verb.argument, *text)->required();
    OnRun(*command, [text, run = verb.run] {
      std::printf("%s\n", run(*text).c_str());
      return int{kOk};
    });
  }
}

const RegisterCommand reg("time", "time and frame rate texts", Setup);

}  // namespace
}  // namespace dp::cli
