#pragma once

#include "convert/EncoderCommand.h"
#include "convert/SourceStreams.h"
#include "profiles/ProfileId.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace mirelo {

class OutputReservations;
class StandInLinks;
struct EncoderCapabilities;
struct SourceStreams;

// Run-wide values every job of a run shares.
struct JobSettings {
    QString outputFolder;
    bool overwrite = false; // existing-file policy "1"
    QString encoderPath;
    const EncoderCapabilities* capabilities = nullptr; // none: no encoder or format is replaced
    // The names the run's rows have taken; none: only the output folder's files count.
    OutputReservations* reservations = nullptr;
    // The links through which inputs named by bytes that are not UTF-8 are read; an output named
    // after such an input takes its byte name. None: every input is read by its own name.
    const StandInLinks* standIns = nullptr;
    int threads = 0; // per encoder while several run at once; 0: the encoder's own choice
};

// A row of the list as a conversion reads it when it starts.
struct PlanRow {
    QString inputPath;
    QString clipStart; // "H:MM:SS"
    QString clipEnd;   // "H:MM:SS"; empty or unreadable: to the end of the file
    std::optional<double> probedLength;
    QString outputPath; // empty: a name in the output folder, by the naming rules
    // What the encoder found in the file; none: not read, the profile's vector runs as it is.
    const SourceStreams* streams = nullptr;
};

// Everything one conversion will do, decided before anything runs.
struct ConversionPlan {
    QString outputPath;            // the name the output takes when its row ends "OK"
    QString temporaryPath;         // where the encoder writes until then
    EncoderCommand profileCommand; // the profile's command line, to the final name
    QString program;               // the encoder
    QStringList arguments;         // what runs: the profile's vector after the compatibility rules
    double clipStart = 0;          // seconds
    std::optional<double> clipLength;    // seconds; none: to the end of the input
    double expectedSeconds = 0;          // the output's expected length; 0: not known yet
    QString stem;                        // the input's name stem and the output extension: a
    QString extension;                   //   later free name is made from them
    QString audioEncoder;                // the one that runs; empty: no sound is written
    std::optional<QString> videoEncoder; // empty: no picture encoded; none: the format's default
    QStringList notes; // what the plan chose for this source, for the row's details
};

struct PlanOutcome {
    std::optional<ConversionPlan> plan;
    QString error; // why there is no plan
};

// Plans the conversion of a row with a profile, the option sheet and the run's settings. It
// starts nothing and changes nothing; it only looks which names the output folder holds. A source
// whose streams are given and lack what the profile writes is refused. The
// desktop program, `mirelo-cli convert` and `mirelo-cli command` all take what they run from here.
PlanOutcome planConversion(const PlanRow& row, const SheetValues& sheet, ProfileId profile,
                           const JobSettings& settings);

// The name planConversion gives the output, without planning the rest; empty where it refuses the
// row. Rows running at once take their names in list order with it, before their sources are read.
QString plannedOutputPath(const PlanRow& row, ProfileId profile, const JobSettings& settings);

// True when a profile picks among the source's streams: read them before planning.
bool needsSourceStreams(ProfileId profile);

// The length a conversion should write: the clip, cut at the end of the source when its length
// is known; 0 when neither is known.
double expectedLength(double clipStart, std::optional<double> clipLength,
                      std::optional<double> sourceLength);

} // namespace mirelo
