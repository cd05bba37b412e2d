// Where things are on this machine: the running program, the user's home and
// temporary folders, the folder the outside tools are looked up below, and
// the one search of a program on PATH.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace dp {

// The running program's full path (/proc/self/exe) and its folder.
std::filesystem::path ProgramPath();
std::filesystem::path ProgramDir();
// $HOME, else the password database's home folder, else "/".
std::filesystem::path HomeDir();
// $TMPDIR when set, else "/tmp".
std::filesystem::path TempDir();
// $DISCPRESS_TOOLS_DIR when set (tests and stand-in tools), else ProgramDir().
std::filesystem::path ToolsDir();

// A regular file this user may run.
bool IsExecutableFile(const std::filesystem::path& path);

// The program a start of `name` runs: a name with a slash as it is, else the
// first executable file called `name` in the ':'-separated folders of `dirs`
// (a PATH value; an empty entry is the current folder, as for the shell).
// Fails with the reason as strerror words: no such file, or permission
// denied when only files that cannot run were found.
Result<std::string> FindProgram(std::string_view name, std::string_view dirs);
// The folders a program is looked up in: $PATH, else "/bin:/usr/bin".
std::string ProgramSearchPath();

}  // namespace dp
