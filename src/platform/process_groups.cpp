#include "platform/process_groups.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "util/text.h"

namespace dp {

namespace {

struct ProcState {
  char state = 0;  // 0: no such process
  std::int64_t start = 0;
};

// The state and start time (clock ticks since boot) of a process, from
// /proc/<pid>/stat. The command name in parentheses may hold anything, so
// the fields are counted from the last ')'.
ProcState ReadProc(pid_t pid) {
  ProcState p;
  const std::string path = Format("/proc/%d/stat", static_cast<int>(pid));
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return p;
  char buf[1024];
  ssize_t got;
  do {
    got = ::read(fd, buf, sizeof buf - 1);
  } while (got < 0 && errno == EINTR);
  ::close(fd);
  if (got <= 0) return p;
  const std::string_view text(buf, static_cast<std::size_t>(got));
  const std::size_t paren = text.rfind(')');
  if (paren == std::string_view::npos) return p;
  // Field 3 (the state) comes first after the name; the start time is field 22.
  const std::vector<std::string_view> fields = Tokenize(text.substr(paren + 1), " \n");
  if (fields.size() < 20 || fields[0].empty()) return p;
  p.state = fields[0][0];
  p.start = LeadingInt64(fields[19]);
  return p;
}

struct Entry {
  pid_t owner = 0;
  std::int64_t owner_start = 0;
  pid_t leader = 0;
  std::int64_t leader_start = 0;
};

std::vector<Entry> ParseEntries(std::string_view text) {
  std::vector<Entry> entries;
  for (std::string_view line : Tokenize(text, "\n")) {
    const std::vector<std::string_view> f = Tokenize(line, " ");
    if (f.size() != 4) continue;
    const Entry e{LeadingInt(f[0]), LeadingInt64(f[1]), LeadingInt(f[2]), LeadingInt64(f[3])};
    if (e.owner > 0 && e.leader > 0) entries.push_back(e);
  }
  return entries;
}

std::string FormatEntries(const std::vector<Entry>& entries) {
  std::string text;
  for (const Entry& e : entries) {
    text += Format("%d %lld %d %lld\n", static_cast<int>(e.owner), static_cast<long long>(e.owner_start),
                   static_cast<int>(e.leader), static_cast<long long>(e.leader_start));
  }
  return text;
}

// Reads, changes and writes the record under an exclusive lock on the file,
// so that two programs never lose each other's groups.
void Update(const std::filesystem::path& file, const std::function<void(std::vector<Entry>&)>& change) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  std::string text;
  char buf[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buf, static_cast<std::size_t>(got));
  }
  std::vector<Entry> entries = ParseEntries(text);
  change(entries);
  const std::string out = FormatEntries(entries);
  if (out != text && ::ftruncate(fd, 0) == 0) {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t put = ::pwrite(fd, out.data() + done, out.size() - done, static_cast<off_t>(done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) break;
      done += static_cast<std::size_t>(put);
    }
  }
  ::close(fd);  // and with it the lock
}

// The process that had this start time still exists (a zombie, too: its
// pid cannot have passed to another one).
bool Exists(pid_t pid, std::int64_t start) {
  const ProcState p = ReadProc(pid);
  return p.state != 0 && p.start == start;
}

bool Running(pid_t pid, std::int64_t start) {
  const ProcState p = ReadProc(pid);
  return p.state != 0 && p.state != 'Z' && p.start == start;
}

// Waits a moment for a killed leader to be gone, so that a job started next
// cannot meet its last writes.
void AwaitEnd(pid_t pid, std::int64_t start) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (Running(pid, start) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

struct Recorder {
  std::mutex mutex;
  std::filesystem::path file;
  pid_t self = 0;
  std::int64_t self_start = 0;
};

Recorder& TheRecorder() {
  static Recorder recorder;
  return recorder;
}

}  // namespace

int StartGroupRecord(const std::filesystem::path& file) {
  Recorder& r = TheRecorder();
  std::lock_guard lock(r.mutex);
  r.file = file;
  if (file.empty()) return 0;
  r.self = ::getpid();
  r.self_start = ReadProc(r.self).start;
  std::vector<Entry> ended;
  Update(file, [&](std::vector<Entry>& entries) {
    std::erase_if(entries, [&](const Entry& e) {
      if (Running(e.owner, e.owner_start)) return false;
      if (Exists(e.leader, e.leader_start)) {
        ::kill(-e.leader, SIGKILL);
        ::kill(e.leader, SIGKILL);  // also when it has left its group
        ended.push_back(e);
      }
      return true;
    });
  });
  for (const Entry& e : ended) AwaitEnd(e.leader, e.leader_start);
  return static_cast<int>(ended.size());
}

void RecordGroup(pid_t leader) {
  Recorder& r = TheRecorder();
  std::lock_guard lock(r.mutex);
  if (r.file.empty() || leader <= 0) return;
  const Entry entry{r.self, r.self_start, leader, ReadProc(leader).start};
  Update(r.file, [&](std::vector<Entry>& entries) { entries.push_back(entry); });
}

void ForgetGroup(pid_t leader) {
  Recorder& r = TheRecorder();
  std::lock_guard lock(r.mutex);
  if (r.file.empty() || leader <= 0) return;
  Update(r.file, [&](std::vector<Entry>& entries) {
    std::erase_if(entries, [&](const Entry& e) {
      return e.owner == r.self && e.owner_start == r.self_start && e.leader == leader;
    });
  });
}

}  // namespace dp
