#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

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

}  // namespace dp
