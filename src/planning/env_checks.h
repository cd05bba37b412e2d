// Checks for the outside runtimes some jobs need: a Java runtime (BDSup2Sub),
// Mono standing in for the .NET Framework 4 (subtitles of half side-by-side
// and top-bottom 3D), and AviSynth+ (the frame server of the 3D and x265
// scripts). Each returns a plain integer and changes nothing; job creation
// turns the answers into warnings, the pipeline picks tools and skips steps
// by them.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace dp {

// How the checks see the machine. Tests replace each piece.
struct EnvProbe {
  std::string java_home;  // $JAVA_HOME
  std::string path;       // $PATH
  // Runs argv (argv[0] a path) with no input and its output thrown away: its
  // exit code, or why it has none (it cannot start, or does not end in time).
  std::function<Result<int>(const std::vector<std::string>& argv)> run;
  // Loads the first library of `names` that loads and gives its file, links
  // resolved; empty when none loads.
  std::function<std::string(const std::vector<std::string>& names)> find_library;
};

// The probe of this process: its environment, a real child process, dlopen.
EnvProbe SystemEnvProbe();

// 1 when a Java runtime is found and "java -version" exits 0, else 0. The
// runtime is $JAVA_HOME/bin/java when that is an executable file, else
// "java" on PATH; its path is written to java_path whenever one is found,
// also when it then fails to run.
int DetectaJava(std::string& java_path, const EnvProbe& probe);
int DetectaJava(std::string& java_path);

// 1 when Mono (the .NET runtime here) is on PATH, else 0.
int DetectaDotNet4(const EnvProbe& probe);
int DetectaDotNet4();

inline constexpr int kAvisynthNone = 0;
inline constexpr int kAvisynthClassic = 1;
inline constexpr int kAvisynthPlus = 2;

// 0 when no AviSynth library loads; otherwise 2, as the library on this
// platform is always AviSynth+.
int DetectaAvisynth(const EnvProbe& probe);
int DetectaAvisynth();

using AvisynthVersion = std::array<int, 4>;  // major, minor, build, revision

// The version in a library file name such as "libavisynth.so.3.7.3": the
// numbers after ".so.", missing ones 0. None when it holds no number.
std::optional<AvisynthVersion> AvisynthVersionFromFileName(std::string_view file);

// 1 acceptable (AviSynth+, or version 2.6 or later of the 2.x line), 0 too
// old or too new, -1 when no version can be read (`version` then untouched,
// else "%d.%d.%d.%d").
int CheckAvisynthVersion(int kind, std::string* version, const EnvProbe& probe);
int CheckAvisynthVersion(int kind, std::string* version = nullptr);

}  // namespace dp
