#pragma once

#include "profiles/ProfileId.h"
#include "profiles/SheetValues.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace mirelo {

struct PlanRow;
struct SourceStreams;

// The file a job converts, with what is known of it before its encoder reads it.
struct JobSource {
    QString path;                 // what the encoder opens
    QByteArray byteName;          // the file's own name when it is not UTF-8 (path is then a
                                  // stand-in link to it); empty otherwise
    std::optional<double> length; // seconds, as the probe or a read ahead found it; none: not known

    bool operator==(const JobSource&) const = default;
};

// One conversion, fixed when its run starts: the source, the profile, the option values, the
// clip and where the output goes. Whatever changes in the window afterwards applies to the next
// run. A job writes itself as JSON and reads itself back exactly, so a job can be stored and
// compared between the desktop program and mirelo-cli.
struct JobOrder {
    JobSource source;
    ProfileId profile;
    SheetValues options;
    int clipStart = 0;          // seconds
    std::optional<int> clipEnd; // seconds; none: to the end of the file
    QString outputFolder;
    bool overwrite = false; // the existing-file policy: replace, else a "_New" name

    // The row as the plan reads it; streams: what the encoder found in the file, if read.
    PlanRow planRow(const SourceStreams* streams) const;

    QJsonObject toJson() const;
    // nullopt, with the reason, for JSON that is not a job this version writes.
    static std::optional<JobOrder> fromJson(const QJsonObject& json, QString* error);

    bool operator==(const JobOrder&) const = default;
};

} // namespace mirelo
