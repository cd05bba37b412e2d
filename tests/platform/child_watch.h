// Watching the processes a test starts: waiting until something holds, and
// reading the process table.
#pragma once

#include <sys/types.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace dp::test {

// Whether `done` comes true within ten seconds.
inline bool Eventually(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

struct ProcessEntry {
  pid_t pid = 0;
  char state = 0;
  pid_t ppid = 0;
  pid_t pgrp = 0;
};

// Every process /proc shows; one that ends while it is read is left out
// (getline, as its stat then fails to read).
inline std::vector<ProcessEntry> Processes() {
  std::vector<ProcessEntry> all;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (!std::isdigit(static_cast<unsigned char>(name[0]))) continue;
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    std::getline(in, stat);
    const std::size_t close = stat.rfind(')');
    ProcessEntry p{std::atoi(name.c_str())};
    if (close != std::string::npos &&
        std::sscanf(stat.c_str() + close + 1, " %c %d %d", &p.state, &p.ppid, &p.pgrp) == 3)
      all.push_back(p);
  }
  return all;
}

// Processes of `group` that have not died (zombies count as dead).
inline int LiveMembers(pid_t group) {
  int live = 0;
  for (const ProcessEntry& p : Processes()) live += p.pgrp == group && p.state != 'Z' && p.state != 'X';
  return live;
}

}  // namespace dp::test
