// A file name of the window as the engine's file functions take it: the
// local 8-bit encoding on POSIX systems (where a name is bytes), UTF-8 on
// Windows, whose file functions the engine calls with UTF-16 converted from
// UTF-8 (the ANSI code page, which QFile::encodeName gives there, has no
// room for many a Chinese name and turns it into '?').
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace levelnet::ui {

inline std::string localPath(const QString& path) {
#ifdef _WIN32
  return path.toStdString();
#else
  return QFile::encodeName(path).toStdString();
#endif
}

}  // namespace levelnet::ui
