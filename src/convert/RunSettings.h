#pragma once

#include <QString>

namespace mirelo {

class AppSettings;

// The settings a conversion run reads, as stored ("outputfolder", "existedfile", "autoshut").
// The run reads them afresh at each start (and "autoshut" again at the end).
struct RunSettings {
    QString outputFolder; // empty: the application folder
    QString existedFile;  // "1": overwrite; anything else keeps existing files
    QString autoShut;     // "1": power off when the run completes
};

// The three values as stored, read now. The values are kept as text: the run decides what a
// stored value means.
RunSettings readRunSettings(const AppSettings& settings);

} // namespace mirelo
