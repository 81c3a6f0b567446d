#pragma once

#include <QString>

namespace mirelo {

// Makes sure the folder that is to hold `file` exists, creating it (and its parents) when it is
// missing. Returns why the folder cannot be used, naming it; empty when it can.
QString prepareCaptureFolder(const QString& file);

} // namespace mirelo
