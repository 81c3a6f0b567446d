#pragma once

#include <QString>

namespace mirelo {

// The title every window and message of the product carries, and the version the build states
// (the project's version in CMakeLists.txt).
inline QString applicationTitle() {
    return QStringLiteral("Mirelo Video Converter");
}

QString productVersion();

} // namespace mirelo
