#include "planning/env_checks.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "util/text.h"

extern char** environ;

namespace dp {
namespace {

namespace fs = std::filesystem;

// A runtime that hangs on "-version" must not hang the window that asked.
constexpr auto kRunTimeLimit = std::chrono::seconds(30);

// AviSynth+ names its library by its interface version; the unversioned
// name exists where the development files are installed.
const std::vector<std::string> kAvisynthLibraries = {"libavisynth.so", "libavisynth.so.10",
                                                     "libavisynth.so.9"};

bool IsExecutableFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
}

std::string FindOnPath(std::string_view name, std::string_view path_env) {
  for (std::string_view dir : Tokenize(path_env, ":")) {
    const fs::path candidate = fs::path(std::string(dir)) / std::string(name);
    if (IsExecutableFile(candidate)) return candidate.string();
  }
  return {};
}

int RunQuietly(const std::vector<std::string>& argv) {
  if (argv.empty()) return -1;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int err = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) return -1;

  const auto deadline = std::chrono::steady_clock::now() + kRunTimeLimit;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string LoadFirstLibrary(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    void* handle = ::dlopen(name.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle) continue;
    std::string file = name;
    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name)
      file = map->l_name;
    ::dlclose(handle);
    std::error_code ec;
    const fs::path real = fs::canonical(file, ec);
    return ec ? file : real.string();
  }
  return {};
}

std::string EnvText(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

EnvProbe SystemEnvProbe() {
  EnvProbe probe;
  probe.java_home = EnvText("JAVA_HOME");
  probe.path = EnvText("PATH");
  probe.run = RunQuietly;
  probe.find_library = LoadFirstLibrary;
  return probe;
}

int DetectaJava(std::string& java_path, const EnvProbe& probe) {
  std::string java;
  if (!probe.java_home.empty()) {
    const fs::path candidate = fs::path(probe.java_home) / "bin" / "java";
    if (IsExecutableFile(candidate)) java = candidate.string();
  }
  if (java.empty()) java = FindOnPath("java", probe.path);
  if (java.empty()) return 0;
  java_path = java;
  return probe.run && probe.run({java, "-version"}) == 0 ? 1 : 0;
}

int DetectaJava(std::string& java_path) { return DetectaJava(java_path, SystemEnvProbe()); }

int DetectaDotNet4(const EnvProbe& probe) { return FindOnPath("mono", probe.path).empty() ? 0 : 1; }

int DetectaDotNet4() { return DetectaDotNet4(SystemEnvProbe()); }

int DetectaAvisynth(const EnvProbe& probe) {
  if (!probe.find_library) return kAvisynthNone;
  return probe.find_library(kAvisynthLibraries).empty() ? kAvisynthNone : kAvisynthPlus;
}

int DetectaAvisynth() { return DetectaAvisynth(SystemEnvProbe()); }

std::optional<AvisynthVersion> AvisynthVersionFromFileName(std::string_view file) {
  const std::string name = fs::path(std::string(file)).filename().string();
  const std::size_t so = name.rfind(".so.");
  if (so == std::string::npos) return std::nullopt;
  const std::string_view numbers = std::string_view(name).substr(so + 4);
  if (numbers.empty() || numbers[0] < '0' || numbers[0] > '9') return std::nullopt;
  AvisynthVersion version = {0, 0, 0, 0};
  const std::vector<std::string_view> parts = Tokenize(numbers, ".");
  for (std::size_t i = 0; i < parts.size() && i < version.size(); ++i) version[i] = LeadingInt(parts[i]);
  return version;
}

int CheckAvisynthVersion(int kind, std::string* version, const EnvProbe& probe) {
  if (!probe.find_library) return -1;
  const std::string file = probe.find_library(kAvisynthLibraries);
  if (file.empty()) return -1;
  const std::optional<AvisynthVersion> v = AvisynthVersionFromFileName(file);
  if (!v) return -1;
  const auto [major, minor, build, revision] = *v;
  if (version) *version = Format("%d.%d.%d.%d", major, minor, build, revision);
  return kind == kAvisynthPlus || (major == 2 && minor >= 6) ? 1 : 0;
}

int CheckAvisynthVersion(int kind, std::string* version) {
  return CheckAvisynthVersion(kind, version, SystemEnvProbe());
}

}  // namespace dp
