// Where things are on this machine: the running program, the user's home and
// temporary folders, and the folder the outside tools are looked up below.
#pragma once

#include <filesystem>

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

}  // namespace dp
