#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "args.h"
#include "command.h"
#include "lang/iso639.h"

namespace dp::cli {
namespace {

// Prints the row's answer; nothing when no row matches.
int Print(std::string_view result) {
  if (!result.empty()) std::printf("%.*s\n", static_cast<int>(result.size()), result.data());
  return kOk;
}

void Setup(CLI::App& group) {
  auto code = std::make_shared<std::string>();
  CLI::App* name = group.add_subcommand("name", "English name of a three-letter code");
  name->add_option("CODE", *code)->required();
  OnRun(*name, [code] { return Print(LanguageNameOf(*code)); });
  CLI::App* alpha3 = group.add_subcommand("alpha3", "three-letter code of a two-letter code");
  alpha3->add_option("CODE", *code)->required();
  OnRun(*alpha3, [code] { return Print(Alpha3Of(*code)); });
}

const RegisterCommand reg("lang", "language codes and names", Setup);

}  // namespace
}  // namespace dp::cli
