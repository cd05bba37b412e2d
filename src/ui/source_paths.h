// Paths cross between the window and the core as the file system's bytes:
// a name that is not UTF-8 still opens, and shows as the platform decodes it.
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace dp::ui {

inline std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }
inline QString PathText(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace dp::ui
