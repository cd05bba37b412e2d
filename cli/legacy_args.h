// Word-by-word argument reading for the groups not yet on CLI11: such a group
// gets the words after its name and takes its options out of them itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "whole_number.h"

namespace dp::cli {

using Args = std::vector<std::string>;
using CommandFn = int (*)(const Args& args);  // args after the group word

// Removes "--name" from args; true when it was there.
bool TakeFlag(Args& args, std::string_view name);
// Removes "--name VALUE" from args and returns VALUE; false when absent.
// A "--name" without a value sets missing_value.
bool TakeOption(Args& args, std::string_view name, std::string& value, bool& missing_value);
// Every "--name VALUE" in order (for repeated options).
std::vector<std::string> TakeAll(Args& args, std::string_view name, bool& missing_value);

}  // namespace dp::cli
