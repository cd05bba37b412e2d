// Keeping the machine awake while the queue runs, and powering it off when
// the user asked for it at the end of the run.
#pragma once

#include <sys/types.h>

#include <mutex>

namespace dp {

class PowerControl {
 public:
  virtual ~PowerControl() = default;
  virtual void KeepAwake(bool on) = 0;
  virtual bool PowerOff() = 0;
};

// Through systemd-logind: a sleep/idle inhibitor lock held by a
// systemd-inhibit child for as long as the run lasts, and logind's PowerOff
// call. Where there is no system bus or no systemd tools both fail quietly.
class LogindPower : public PowerControl {
 public:
  ~LogindPower() override;
  void KeepAwake(bool on) override;
  bool PowerOff() override;

 private:
  std::mutex mutex_;
  pid_t inhibitor_ = 0;
};

}  // namespace dp
