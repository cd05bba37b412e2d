// The machine identifier sent with the update query and the banner address.
#pragma once

#include <filesystem>

#include "app/settings.h"

namespace dp {

// The 16 bytes of the machine-id file (32 hexadecimal digits) in bytes 4-19,
// the part the update query sends. When that file cannot be read, the
// identifier of the file system holding volume_of goes into bytes 16-19
// (lowest byte first) and the rest stays zero.
MachineId ReadMachineId(const std::filesystem::path& machine_id_file, const std::filesystem::path& volume_of);

// /etc/machine-id, falling back to the volume of the program's folder.
MachineId ReadMachineId();

}  // namespace dp
