#pragma once

#include "settings/RunSettings.h"

#include <QString>

namespace mirelo {

// What a run needs before any row starts, checked: the encoder, and the output folder as an
// absolute path to a local folder (made when missing). An address or a name starting with "-" is
// a folder of that name under the current one, never something the encoder would read as an
// address or an option.
struct RunStart {
    QString encoder;
    QString outputFolder;
    QString error; // why the run cannot start, naming the program or folder; empty when it can
};

// encoderPath: the encoder to use; empty: the one the tool locator finds.
RunStart checkRunStart(const RunSettings& settings, const QString& encoderPath);

} // namespace mirelo
