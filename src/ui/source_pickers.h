// The file and folder pickers of the two open buttons. Both answer the
// chosen path as bytes, or an empty text when cancelled.
#pragma once

#include <string>

class QWidget;

namespace dp::ui {

inline constexpr char kBdFolderPickerTitle[] = "Select a BLU-RAY folder:\n\n(already decrypted)";
inline constexpr char kVideoFilePickerTitle[] = "Select a Video File";
inline constexpr char kVideoFileFilter[] = "Video Files (m2ts, mpls, mkv) (*.mkv *.m2ts *.mpls)";

std::string PickBdFolder(QWidget* parent, const std::string& last_source_path);
std::string PickVideoFile(QWidget* parent);

}  // namespace dp::ui
