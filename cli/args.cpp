#include "args.h"

#include <string>

#include "queue/job_record.h"

namespace dp::cli {

CLI::Validator WholeNumber(long long low, long long high) {
  return CLI::Validator(
      [low, high](std::string& text) -> std::string {
        long long v = 0;
        if (!ParseInt(text, v)) return "'" + text + "' is not a number";
        if (v < low || v > high)
          return "'" + text + "' is not from " + std::to_string(low) + " to " + std::to_string(high);
        text = std::to_string(v);
        return {};
      },
      "");
}

CLI::Option* AddSlot(CLI::App& command, int& slot) {
  return command.add_option("SLOT", slot, "queue slot, 0 to 99")
      ->required()
      ->transform(WholeNumber(0, kQueueSlots - 1));
}

}  // namespace dp::cli
