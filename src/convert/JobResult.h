#pragma once

#include "convert/JobOrder.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace mirelo {

enum class JobOutcome { Ok, Fail, Cancel, MissingInput };

struct JobResult {
    JobOutcome outcome = JobOutcome::Fail;
    JobOrder job;             // what was converted
    QString outputPath;       // as the user reads it
    QByteArray outputBytes;   // the output's name on disk when it is not UTF-8; else empty
    QString message;          // why the row did not end "OK"
    QStringList encoderLines; // the encoder's last lines
    QString commandLine;      // the profile's command line, as shown to the user
    QString program;          // the encoder that ran
    QStringList arguments;    // the argument vector that ran
    QStringList notes;        // what was chosen for this source (its audio track, a downmix)

    // Everything the user may want to read about the row (tooltip, log).
    QString detail() const;
};

// The argument vector as one line a user can read and paste into a shell.
QString displayArguments(const QString& program, const QStringList& arguments);

} // namespace mirelo
