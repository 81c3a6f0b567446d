#pragma once

#include "profiles/ProfileId.h"
#include "settings/RunSettings.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <initializer_list>
#include <optional>

namespace mirelo {
class OptionSheet;
class StandInLinks;
} // namespace mirelo

namespace mirelo::cli {

// Exit codes shared by every subcommand.
enum ExitCode { kOk = 0, kFailed = 1, kUsage = 2, kInterrupted = 130 };

QTextStream& out();
QTextStream& err();

// Prints "mirelo-cli: <message>" on stderr and returns the code, for `return fail(...)`.
int fail(int code, const QString& message);
// Prints text on stdout with each stand-in path in it put back as the bytes it stands for.
void printWithByteNames(const QString& text);

// Input files named by bytes that are not UTF-8 reach the subcommands as these links' paths.
StandInLinks& standIns();

// The subcommand's arguments from main's argv. With `namesFiles`, an argument that is not UTF-8
// becomes a stand-in link's path (an option's inline value, "--input=NAME", too); otherwise it is
// decoded as Qt decodes it. nullopt, with the reason in *error, when a link cannot be made.
std::optional<QStringList> subcommandArguments(int argc, char** argv, bool namesFiles,
                                               QString* error);

struct CliOption {
    const char* name; // with the dashes: "--json"
    bool takesValue;
    bool namesInput = false; // its value is an input file, whose name may be any bytes
};

struct ParsedArgs {
    QStringList positionals;
    QMap<QString, QStringList> values; // every value of an option, in the order given
    bool has(const QString& name) const { return values.contains(name); }
    QString last(const QString& name, const QString& fallback = {}) const;
};

// Parses a subcommand's arguments. Unknown options, missing values and values that are not UTF-8
// (only input files may be) are usage errors.
std::optional<ParsedArgs> parseArgs(const QStringList& args,
                                    std::initializer_list<CliOption> options, QString* error);

// A profile position given on the command line: a row of the table, else nullopt.
std::optional<ProfileId> parsePosition(const QString& text);

// Builds the sheet as the desktop program would hold it: defaults, each --pick's presets in order,
// then the profile's own presets (none for ProfileId()), then each --set ("CATEGORY/ITEM=VALUE").
// Returns kOk, or kUsage with a message in *error.
int buildSheet(OptionSheet& sheet, const ParsedArgs& args, ProfileId profile, QString* error);

// The existing-file policy: --existing ("new" or "overwrite") when given, else the stored one.
// nullopt, with a message in *error, for any other value.
std::optional<ExistingFilePolicy> existingFilePolicy(const ParsedArgs& args, QString* error);

// The signals that end the tool (Ctrl+C, SIGTERM, SIGHUP, SIGQUIT, a closed output). By default
// each one stops every child program and ends every event loop; a subcommand may take them over
// while it runs (convert cancels its run, which stops the encoder and removes its partial output).
void installTerminationHandling();
class TerminationTakeOver {
public:
    explicit TerminationTakeOver(std::function<void(int signalNumber)> handler);
    ~TerminationTakeOver();
    TerminationTakeOver(const TerminationTakeOver&) = delete;
    TerminationTakeOver& operator=(const TerminationTakeOver&) = delete;
};
// 128 + the first such signal received; 0 when none came.
int terminationExitCode();

int runProfiles(const QStringList& args);
int runSheet(const QStringList& args);
int runCommand(const QStringList& args);
int runImport(const QStringList& args);
int runProbe(const QStringList& args);
int runConvert(const QStringList& args);
int runSettingsCommand(const QStringList& args);

} // namespace mirelo::cli
