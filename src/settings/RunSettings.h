#pragma once

#include "settings/SimultaneousJobs.h"

#include <QString>

namespace mirelo {

// What a run does when an output name is taken by a file that exists already.
enum class ExistingFilePolicy {
    AddNew,   // keep the existing file; the new one gets "_New" after its name
    Overwrite // replace the existing file (never a source file)
};

// The settings a conversion run uses, as AppSettings::runSettings() reads them. The desktop
// program reads them afresh at each start (and the shutdown flag again at the end).
struct RunSettings {
    QString outputFolder; // empty: the application folder
    ExistingFilePolicy existingFile = ExistingFilePolicy::AddNew;
    bool shutDown = false; // power the computer off when a run completes
    SimultaneousJobs jobs; // one row at a time unless asked otherwise
};

} // namespace mirelo
