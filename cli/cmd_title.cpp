#include <langinfo.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "scraper/title_text.h"

namespace dp::cli {
namespace {

// Arguments arrive as UTF-8; under a non-UTF-8 locale (such as "C") only
// ASCII letters would have an upper case.
void EnsureUtf8Ctype() {
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}

int CmdTitle(const Args& in_args) {
  Args args = in_args;
  const bool skip_year = TakeFlag(args, "--skip-year");
  if (args.size() != 2) return Usage("title");
  const std::string& verb = args[0];
  if (skip_year && verb != "parse") return Usage("title");
  std::string text = args[1];
  if (verb == "parse") {
    ParseTitle(text, skip_year ? 1 : 0);
  } else if (verb == "case") {
    EnsureUtf8Ctype();
    TitleCase(text);
  } else if (verb == "safe") {
    ReplaceInvalidChars(text);
  } else if (verb == "url") {
    UrlEncode(text);
  } else {
    return Usage("title");
  }
  std::printf("%s\n", text.c_str());
  return kOk;
}

const RegisterCommand reg("title",
                          "  discpress-cli title parse [--skip-year] TEXT\n"
                          "  discpress-cli title case TEXT | safe TEXT | url TEXT\n",
                          CmdTitle);
}  // namespace
}  // namespace dp::cli
