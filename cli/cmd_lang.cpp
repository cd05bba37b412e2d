#include <cstdio>
#include <string_view>

#include "command.h"
#include "lang/iso639.h"

namespace dp::cli {
namespace {

int CmdLang(const Args& args) {
  if (args.size() != 2) return Usage("lang");
  std::string_view result;
  if (args[0] == "name") {
    result = LanguageNameOf(args[1]);
  } else if (args[0] == "alpha3") {
    result = Alpha3Of(args[1]);
  } else {
    return Usage("lang");
  }
  if (!result.empty()) std::printf("%.*s\n", static_cast<int>(result.size()), result.data());
  return kOk;
}

const RegisterCommand reg("lang",
                          "  discpress-cli lang name CODE      English name of a three-letter code\n"
                          "  discpress-cli lang alpha3 CODE    three-letter code of a two-letter code\n",
                          CmdLang);
}  // namespace
}  // namespace dp::cli
