#include "platform/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace dp {

namespace fs = std::filesystem;

namespace {

const char* NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

}  // namespace

fs::path ProgramPath() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe;
}

fs::path ProgramDir() { return ProgramPath().parent_path(); }

fs::path HomeDir() {
  if (const char* home = NonEmptyEnv("HOME")) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
      *found->pw_dir) {
    return found->pw_dir;
  }
  return "/";
}

fs::path TempDir() {
  if (const char* tmp = NonEmptyEnv("TMPDIR")) return tmp;
  return "/tmp";
}

fs::path ToolsDir() {
  if (const char* dir = NonEmptyEnv("DISCPRESS_TOOLS_DIR")) return dir;
  return ProgramDir();
}

bool IsExecutableFile(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

Result<std::string> FindProgram(std::string_view name, std::string_view dirs) {
  if (name.find('/') != std::string_view::npos) return std::string(name);
  int err = ENOENT;
  if (!name.empty() && !dirs.empty()) {
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = std::min(dirs.find(':', start), dirs.size());
      const std::string_view dir = dirs.substr(start, end - start);
      std::string candidate = (dir.empty() ? std::string(".") : std::string(dir)) + "/" + std::string(name);
      if (IsExecutableFile(candidate)) return candidate;
      // As execvp: a file that cannot run is remembered, and a later folder
      // may still hold one that can.
      struct stat st {};
      if (::stat(candidate.c_str(), &st) == 0) err = EACCES;
      if (end == dirs.size()) break;
      start = end + 1;
    }
  }
  return ErrnoFailure(err);
}

std::string ProgramSearchPath() {
  if (const char* path = NonEmptyEnv("PATH")) return path;
  return "/bin:/usr/bin";
}

}  // namespace dp
