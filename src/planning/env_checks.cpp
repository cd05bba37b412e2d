#include "planning/env_checks.h"

#include <dlfcn.h>
#include <link.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "platform/paths.h"
#include "platform/run_program.h"
#include "util/text.h"

namespace dp {
namespace {

namespace fs = std::filesystem;

// A runtime that hangs on "-version" must not hang the window that asked.
constexpr auto kRunTimeLimit = std::chrono::seconds(30);

// AviSynth+ names its library by its interface version; the unversioned
// name exists where the development files are installed.
const std::vector<std::string> kAvisynthLibraries = {"libavisynth.so", "libavisynth.so.10",
                                                     "libavisynth.so.9"};

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
  probe.run = [](const std::vector<std::string>& argv) { return RunQuietly(argv, kRunTimeLimit); };
  probe.find_library = LoadFirstLibrary;
  return probe;
}

int DetectaJava(std::string& java_path, const EnvProbe& probe) {
  std::string java;
  if (!probe.java_home.empty()) {
    const fs::path candidate = fs::path(probe.java_home) / "bin" / "java";
    if (IsExecutableFile(candidate)) java = candidate.string();
  }
  if (java.empty()) {
    if (const Result<std::string> found = FindProgram("java", probe.path)) java = *found;
  }
  if (java.empty()) return 0;
  java_path = java;
  if (!probe.run) return 0;
  const Result<int> code = probe.run({java, "-version"});
  return code && *code == 0 ? 1 : 0;
}

int DetectaJava(std::string& java_path) { return DetectaJava(java_path, SystemEnvProbe()); }

int DetectaDotNet4(const EnvProbe& probe) { return FindProgram("mono", probe.path) ? 1 : 0; }

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
