#include "popup_answers.h"

#include <array>
#include <cstdio>

#include "util/text.h"

namespace dp::cli {
namespace {

// A label as the window shows it: the mnemonic marks ("__X", "&X") dropped.
std::string Shown(std::string_view label) {
  std::string text;
  for (std::size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '&' || (label[i] == '_' && i + 1 < label.size() && label[i + 1] == '_')) {
      if (label[i] == '_') ++i;
      continue;
    }
    text += label[i];
  }
  return text;
}

}  // namespace

void PrintPopup(std::string_view title, std::string_view text) {
  std::string line(text);
  for (std::size_t at; (at = line.find('\n')) != npos;) line.replace(at, 1, "\\n");
  std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(title.size()), title.data(), line.c_str());
}

int AnsweredPopups::Take(std::span<const std::string_view> buttons) {
  if (answers_.empty()) {
    unanswered_ = true;
    return -1;
  }
  const std::string answer = answers_.front();
  answers_.pop_front();
  for (std::size_t i = 0; i < buttons.size(); ++i)
    if (IEquals(Shown(buttons[i]), answer)) return static_cast<int>(i);
  wrong_answer_ = answer;
  return -1;
}

Answer AnsweredPopups::Ask(std::string_view title, std::string_view text, Buttons buttons) {
  // After a question left open the command has stopped: what follows is not shown.
  if (unanswered_ || !wrong_answer_.empty()) return buttons == Buttons::kOk ? Answer::kOk : Answer::kNo;
  PrintPopup(title, text);
  if (buttons == Buttons::kOk) {
    if (!answers_.empty() && IEquals(answers_.front(), "OK")) answers_.pop_front();
    return Answer::kOk;
  }
  static constexpr std::array<std::string_view, 2> kYesNo = {"Yes", "No"};
  return Take(kYesNo) == 0 ? Answer::kYes : Answer::kNo;
}

int AnsweredPopups::Choose(std::string_view title, std::string_view text,
                           std::span<const std::string_view> buttons) {
  if (unanswered_ || !wrong_answer_.empty()) return -1;
  PrintPopup(title, text);
  return Take(buttons);
}

}  // namespace dp::cli
