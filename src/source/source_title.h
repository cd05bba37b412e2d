// The raw title a source goes by before it is cleaned up: the disc's folder
// name (or the label of the filesystem mounted there), else the file name.
#pragma once

#include <string>

#include "platform/volume_label.h"

namespace dp {

// For ".../<disc>/BDMV/...", the label of the filesystem mounted at <disc>
// when it is a mount point with a label, else "<disc>"; for any other path
// with a "." past its first character, the file name without its
// extension; else empty.
std::string SourceTitleFromPath(const std::string& path, const MountRoots& roots = {});

}  // namespace dp
