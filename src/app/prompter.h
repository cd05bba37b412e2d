// How the core asks the user something or tells them: the desktop window
// answers with a message box, the CLI on the terminal, tests by script.
#pragma once

#include <span>
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
  // A pop-up with buttons of its own ("BD Remux (recommended)", "Lossless"):
  // the index of the button pressed, or -1 when it was dismissed without a
  // choice, which the caller takes as a "no". A front end that cannot show
  // such a pop-up answers -1.
  virtual int Choose(std::string_view title, std::string_view text,
                     std::span<const std::string_view> buttons) {
    (void)title, (void)text, (void)buttons;
    return -1;
  }
};

}  // namespace dp
