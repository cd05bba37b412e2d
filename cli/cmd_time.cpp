#include <cstdio>

#include "command.h"
#include "util/text.h"
#include "util/time.h"

namespace dp::cli {
namespace {

int CmdTime(const Args& args) {
  if (args.size() != 2) return Usage("time");
  const std::string& verb = args[0];
  const std::string& text = args[1];
  if (verb == "seconds-to-hms") {
    std::printf("%s\n", Seconds_To_HHMMSS(LeadingDouble(text)).c_str());
  } else if (verb == "hms-to-s") {
    std::printf("%d\n", hms_to_s(text));
  } else if (verb == "hms-to-ms") {
    std::printf("%s\n", Format("%.0f", hms_to_ms(text)).c_str());
  } else if (verb == "fraction") {
    std::printf("%s\n", Format("%.17g", fraction_to_double(text)).c_str());
  } else {
    return Usage("time");
  }
  return kOk;
}

const RegisterCommand reg("time",
                          "  discpress-cli time seconds-to-hms SECONDS\n"
                          "  discpress-cli time hms-to-s TEXT | hms-to-ms TEXT | fraction TEXT\n",
                          CmdTime);
}  // namespace
}  // namespace dp::cli
