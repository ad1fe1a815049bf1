// Where Qt meets the core's types: UTF-8 strings and file paths.
#pragma once

#include <optional>
#include <string>

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QString>

namespace ivo {

inline QString toQt(const std::string& s) {
    return QString::fromStdString(s);
}

inline std::string fromQt(const QString& s) {
    return s.toStdString();
}

// A grey level of the interface (0 black, 1 white).
inline QColor grey(double level, double alpha = 1) {
    return QColor::fromRgbF(level, level, level, alpha);
}

// The absolute path with "." and ".." resolved (symbolic links are kept), so that two names
// of one file compare equal.
inline std::string standardizedPath(const std::string& path) {
    return fromQt(QDir::cleanPath(QFileInfo(toQt(path)).absoluteFilePath()));
}

}  // namespace ivo
