// Questions and notices of the core shown as message boxes.
#pragma once

#include <QWidget>

#include "app/prompter.h"

namespace dp::ui {

class QtPrompter : public Prompter {
 public:
  explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
  void set_parent(QWidget* parent) { parent_ = parent; }
  Answer Ask(std::string_view title, std::string_view text, Buttons buttons) override;
  int Choose(std::string_view title, std::string_view text,
             std::span<const std::string_view> buttons) override;

 private:
  QWidget* parent_;
};

}  // namespace dp::ui
