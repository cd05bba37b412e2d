// What a drop on the main window brings: local files and folders, as the
// file system's bytes, in the order they were dropped.
#pragma once

#include <string>
#include <vector>

class QMimeData;

namespace dp::ui {

inline constexpr char kDropRefusedText[] =
    "Only a Blu-Ray folder or a video file (.mpls, .m2ts, .mkv) can be dropped here.";

std::vector<std::string> DroppedPaths(const QMimeData* data);

}  // namespace dp::ui
