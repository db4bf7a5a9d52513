#pragma once

// Small helpers for the file work the league code does through Qt Core
// (QFile, QSaveFile): Unicode paths on every platform and error texts that
// name the file and the reason.

#include <QFileDevice>
#include <QString>

#include <filesystem>
#include <string>

#include "db/Error.h"

namespace tavrin {

inline QString ToQString(const std::filesystem::path& p) { return QString::fromStdU16String(p.u16string()); }

// "Cannot <verb> <path>: <reason>", as an Error that ends the step.
[[noreturn]] inline void ThrowFileError(const char* verb, const std::filesystem::path& p, const QString& reason) {
    throw Error(std::string("Cannot ") + verb + " " + PathText(p) + ": " + reason.toStdString());
}

[[noreturn]] inline void ThrowFileError(const char* verb, const std::filesystem::path& p, const QFileDevice& file) {
    ThrowFileError(verb, p, file.errorString());
}

}  // namespace tavrin
