// Pop-ups of a command that goes on to change the queue: each is printed to
// stderr as "TITLE: text" and answered by the next --answer, the label of a
// button as the window shows it. A question with no answer left, or with an
// answer that is none of its buttons, is not guessed: it is answered "no"
// and the command must then store nothing. A pop-up with only OK asks
// nothing; it takes an "OK" when that is the next answer, so a script may
// answer every pop-up in turn.
#pragma once

#include <deque>
#include <string>

#include "app/prompter.h"

namespace dp::cli {

class AnsweredPopups : public Prompter {
 public:
  explicit AnsweredPopups(std::deque<std::string> answers) : answers_(std::move(answers)) {}

  Answer Ask(std::string_view title, std::string_view text, Buttons buttons) override;
  int Choose(std::string_view title, std::string_view text,
             std::span<const std::string_view> buttons) override;

  // A question found no answer left (exit 3).
  bool unanswered() const { return unanswered_; }
  // The answer given that matched no button of its pop-up (exit 2).
  const std::string& wrong_answer() const { return wrong_answer_; }

 private:
  // The index of the button the next answer names; -1 when it names none
  // (or there is none, or an earlier question went unanswered).
  int Take(std::span<const std::string_view> buttons);

  std::deque<std::string> answers_;
  bool unanswered_ = false;
  std::string wrong_answer_;
};

// The popup line: "TITLE: text" with each newline written as "\n".
void PrintPopup(std::string_view title, std::string_view text);

}  // namespace dp::cli
