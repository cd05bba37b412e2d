#include <langinfo.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "args.h"
#include "command.h"
#include "scraper/title_text.h"

namespace dp::cli {
namespace {

// Arguments arrive as UTF-8; under a non-UTF-8 locale (such as "C") only
// ASCII letters would have an upper case.
void EnsureUtf8Ctype() {
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}

struct Input {
  std::string text;
  bool skip_year = false;
};

CLI::App* AddVerb(CLI::App& group, const char* name, const char* description, Input& input) {
  CLI::App* command = group.add_subcommand(name, description);
  command->add_option("TEXT", input.text)->required();
  return command;
}

// Runs change on the text and prints what it made of it.
void OnText(CLI::App& command, std::shared_ptr<Input> input, void (*change)(Input& input)) {
  OnRun(command, [input, change] {
    change(*input);
    std::printf("%s\n", input->text.c_str());
    return int{kOk};
  });
}

void Setup(CLI::App& group) {
  auto input = std::make_shared<Input>();
  CLI::App* parse = AddVerb(group, "parse", "the title a file or folder name stands for", *input);
  parse->add_flag("--skip-year", input->skip_year, "leave a year as it is, not in brackets");
  OnText(*parse, input, [](Input& in) { ParseTitle(in.text, in.skip_year ? 1 : 0); });
  OnText(*AddVerb(group, "case", "the text in title case", *input), input, [](Input& in) {
    EnsureUtf8Ctype();
    TitleCase(in.text);
  });
  OnText(*AddVerb(group, "safe", "the text without characters a file name cannot hold", *input), input,
         [](Input& in) { ReplaceInvalidChars(in.text); });
  OnText(*AddVerb(group, "url", "the text encoded for a URL query", *input), input,
         [](Input& in) { UrlEncode(in.text); });
}

const RegisterCommand reg("title", "title texts from names", Setup);

}  // namespace
}  // namespace dp::cli
