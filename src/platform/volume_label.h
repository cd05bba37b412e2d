// The label of the filesystem mounted at a folder: what a disc or a stick
// was named when it was made, the title a disc folder at a mount point goes
// by.
#pragma once

#include <string>

namespace dp {

// Where the mount table and the devices are read; a test points them at a
// tree of its own.
struct MountRoots {
  std::string mountinfo = "/proc/self/mountinfo";
  std::string dev = "/dev";  // its disk/by-label links name the devices' labels
};

// The label of the filesystem mounted exactly at `folder`; empty when the
// folder is no mount point or its device has no label.
std::string VolumeLabel(const std::string& folder, const MountRoots& roots = {});

}  // namespace dp
