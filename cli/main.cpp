#include <clocale>
#include <cstdio>
#include <map>
#include <string>

#include "command.h"
#include "platform/locale.h"

namespace dp::cli {
namespace {
struct Entry {
  const char* usage;
  CommandFn fn;
};
std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> registry;
  return registry;
}
}  // namespace

RegisterCommand::RegisterCommand(const char* group, const char* usage, CommandFn fn) {
  Registry()[group] = Entry{usage, fn};
}

int Fail(int code, std::string_view text) {
  std::fprintf(stderr, "discpress-cli: %.*s\n", static_cast<int>(text.size()), text.data());
  return code;
}

int Usage(std::string_view group) {
  auto it = Registry().find(std::string(group));
  if (it == Registry().end()) return Fail(kUsage, "unknown command");
  std::fprintf(stderr, "usage:\n%s", it->second.usage);
  return kUsage;
}

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

bool ParseInt(std::string_view text, long long& value) {
  if (text.empty()) return false;
  std::size_t i = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i >= text.size()) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    if (v > (9223372036854775807LL - (text[i] - '0')) / 10) return false;
    v = v * 10 + (text[i] - '0');
  }
  value = negative ? -v : v;
  return true;
}

}  // namespace dp::cli

int main(int argc, char** argv) {
  using namespace dp::cli;
  std::setlocale(LC_ALL, "");
  dp::UseCNumericLocale();
  if (argc < 2) {
    std::fprintf(stderr, "usage: discpress-cli COMMAND ...\ncommands:");
    for (const auto& [name, entry] : Registry()) std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
    return kUsage;
  }
  auto it = Registry().find(argv[1]);
  if (it == Registry().end()) return Fail(kUsage, std::string("unknown command: ") + argv[1]);
  Args args(argv + 2, argv + argc);
  return it->second.fn(args);
}
