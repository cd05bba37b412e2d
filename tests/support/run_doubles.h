// Stand-ins for the machine and the user while a test runs whole jobs: the
// machine is never kept awake or powered off, and every question is
// answered Yes (OK where there is no Yes).
#pragma once

#include "app/prompter.h"
#include "platform/power.h"

namespace dp::test {

struct NoPower : PowerControl {
  void KeepAwake(bool) override {}
  bool PowerOff() override { return false; }
};

struct YesPrompter : Prompter {
  Answer Ask(std::string_view, std::string_view, Buttons b) override {
    return b == Buttons::kYesNo ? Answer::kYes : Answer::kOk;
  }
};

}  // namespace dp::test
