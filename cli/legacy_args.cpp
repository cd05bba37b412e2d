#include "legacy_args.h"

namespace dp::cli {

bool TakeFlag(Args& args, std::string_view name) {
  for (auto it = args.begin(); it != args.end(); ++it) {
    if (*it == name) {
      args.erase(it);
      return true;
    }
  }
  return false;
}

bool TakeOption(Args& args, std::string_view name, std::string& value, bool& missing_value) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != name) continue;
    if (i + 1 >= args.size()) {
      missing_value = true;
      args.erase(args.begin() + static_cast<long>(i));
      return false;
    }
    value = args[i + 1];
    args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
    return true;
  }
  return false;
}

std::vector<std::string> TakeAll(Args& args, std::string_view name, bool& missing_value) {
  std::vector<std::string> values;
  std::string v;
  while (TakeOption(args, name, v, missing_value)) values.push_back(v);
  return values;
}

}  // namespace dp::cli
