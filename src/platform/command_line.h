// Tool command lines are kept as one text (it is what the failure log
// records) and split into argv here, by the rules Windows programs use to
// read their command line, so that no shell ever sees the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dp {

// Splits a command line the way a Windows C run-time start-up code does.
// The first argument (the program) is read with quotes toggling and nothing
// escaped. After it: blanks (space, tab) separate arguments; a double quote
// toggles a quoted run, in which blanks are kept; 2n backslashes before a
// double quote give n backslashes and the quote acts; 2n+1 backslashes
// before a double quote give n backslashes and a literal quote; backslashes
// not before a double quote are literal; "" inside a quoted run is a literal
// quote and the run goes on. An empty quoted pair is an empty argument.
std::vector<std::string> SplitCommandLine(std::string_view text);

// Empty when `path` can stand between the double quotes of a command-line
// template ("%s") and come back unchanged from SplitCommandLine; otherwise
// the reason it cannot, for the user.
std::string CheckTemplatePath(std::string_view path);

}  // namespace dp
