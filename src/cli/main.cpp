// mirelo-cli: the converter's core without a window.

#include "base/ByteNames.h"
#include "base/IniFile.h"
#include "base/Product.h"
#include "cli/Cli.h"

#include <QCoreApplication>

namespace {

using namespace mirelo::cli;

struct Subcommand {
    const char* name;
    int (*run)(const QStringList& args);
    const char* usage;
    bool namesFiles = false; // takes input files, whose names may be any bytes
};

// Every subcommand, in the order --help lists them.
const Subcommand kSubcommands[] = {
    {"profiles", runProfiles, "profiles [--json]\n      The rows of the profile chooser."},
    {"sheet", runSheet,
     "sheet [--pick POS]... [--set \"CATEGORY/ITEM=VALUE\"]... [--json]\n"
     "      The option sheet at its defaults, after each pick's presets and each --set."},
    {"command", runCommand,
     "command --profile POS --input PATH --output PATH [--encoder PATH] [--no-preset]\n"
     "        [--pick POS]... [--set \"CATEGORY/ITEM=VALUE\"]... [--start H:MM:SS]\n"
     "        [--end H:MM:SS] [--argv | --run-argv [--existing new|overwrite]]\n"
     "      The encoder command line a conversion would build (--argv: one argument a line;\n"
     "      --run-argv: the vector that runs with the installed encoder, one argument a line).",
     true},
    {"import", runImport,
     "import URL [--json] [--download 22|34|35|5] [--dest DIR]\n"
     "      A watch page's fields and stream links; --download saves that stream into DIR."},
    {"probe", runProbe,
     "probe FILE... [--json]\n      Each file's row as the list shows it once probed.", true},
    {"convert", runConvert,
     "convert FILE... --profile POS [--output-folder DIR] [--existing new|overwrite] "
     "[--no-preset]\n        [--pick POS]... [--set \"CATEGORY/ITEM=VALUE\"]... [--start H:MM:SS] "
     "[--end H:MM:SS]\n        [--jobs N|auto] [--verbose] [--json]\n      Converts the files in "
     "order with the profile, N at once (default: the \"jobs\" setting,\n      else 1; auto: as "
     "many as there are idle cores); exit 0 all OK, 1 a row failed, 2 bad\n      arguments or a "
     "missing file, 130 interrupted.",
     true},
    {"settings", runSettingsCommand,
     "settings [--json] | settings set KEY VALUE | settings unset KEY\n"
     "      Every setting of the settings.dat this tool uses: key, value, default, meaning.\n"
     "      set stores a value once it is one of the setting's (exit 2 if not); unset puts the\n"
     "      setting back to its default."},
};

void printHelp(QTextStream& s) {
    s << "Usage: mirelo-cli SUBCOMMAND [OPTIONS]\n\n"
         "Mirelo Video Converter without a window. Subcommands:\n\n";
    for (const Subcommand& c : kSubcommands)
        s << "  " << c.usage << "\n\n";
    s << "Exit codes: 0 success, 1 failure, 2 bad arguments.\n";
    s.flush();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(mirelo::applicationTitle());
    mirelo::setIniProblemReporter(
        [](const QString& message) { err() << "mirelo-cli: warning: " << message << Qt::endl; });
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        printHelp(err());
        return kUsage;
    }
    if (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h") ||
        args[0] == QLatin1String("help")) {
        printHelp(out());
        return kOk;
    }
    for (const Subcommand& c : kSubcommands) {
        if (args[0] != QLatin1String(c.name))
            continue;
        if (args.contains(QStringLiteral("--help"))) {
            out() << "Usage: mirelo-cli " << c.usage << '\n';
            out().flush();
            return kOk;
        }
        QString error;
        const std::optional<QStringList> own =
            subcommandArguments(argc, argv, c.namesFiles, &error);
        if (!own)
            return fail(kFailed, error);
        installTerminationHandling();
        const int rc = c.run(*own);
        standIns().remove();
        // A signal ended the work: the exit code says which, whatever the subcommand made of it.
        if (const int signalled = terminationExitCode())
            return signalled;
        return rc;
    }
    return fail(kUsage,
                QStringLiteral("unknown subcommand \"%1\" (see mirelo-cli --help)").arg(args[0]));
}
