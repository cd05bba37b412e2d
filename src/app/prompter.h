// How the core asks the user something or tells them: the desktop window
// answers with a message box, the CLI on the terminal, tests by script.
#pragma once

#include <string_view>

namespace dp {

enum class Buttons { kOk, kYesNo };
enum class Answer { kOk, kYes, kNo };

class Prompter {
 public:
  virtual ~Prompter() = default;
  // title is one of the fixed pop-up titles ("WARNING", "CONFIRM",
  // "DiscPress", ...); text is shown as it stands.
  virtual Answer Ask(std::string_view title, std::string_view text, Buttons buttons) = 0;
};

}  // namespace dp
