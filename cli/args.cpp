#include "args.h"

#include <algorithm>
#include <string>
#include <vector>

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

CLI::Validator OneOf(std::span<const int> values) {
  std::string list;
  for (const int v : values) list += (list.empty() ? "" : ", ") + std::to_string(v);
  return CLI::Validator(
      [allowed = std::vector<int>(values.begin(), values.end()), list](std::string& text) -> std::string {
        long long v = 0;
        if (!ParseInt(text, v)) return "'" + text + "' is not a number";
        if (std::find(allowed.begin(), allowed.end(), v) == allowed.end())
          return "'" + text + "' is not one of " + list;
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
