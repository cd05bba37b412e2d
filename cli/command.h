// Command groups of discpress-cli register themselves here; main() finds the
// group by its first word and hands it the remaining words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dp::cli {

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

using Args = std::vector<std::string>;
using CommandFn = int (*)(const Args& args);  // args after the group word

struct RegisterCommand {
  RegisterCommand(const char* group, const char* usage, CommandFn fn);
};

// Prints "discpress-cli: <text>" to stderr; returns code.
int Fail(int code, std::string_view text);
int Usage(std::string_view group);

// Removes "--name" from args; true when it was there.
bool TakeFlag(Args& args, std::string_view name);
// Removes "--name VALUE" from args and returns VALUE; false when absent.
// A "--name" without a value sets missing_value.
bool TakeOption(Args& args, std::string_view name, std::string& value, bool& missing_value);
// Every "--name VALUE" in order (for repeated options).
std::vector<std::string> TakeAll(Args& args, std::string_view name, bool& missing_value);

// A whole-number argument; false on anything else.
bool ParseInt(std::string_view text, long long& value);

}  // namespace dp::cli
