#include "cli/Cli.h"

#include "base/ByteNames.h"
#include "process/ProgramRunner.h"
#include "process/TerminationSignals.h"
#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "profiles/OptionValues.h"
#include "profiles/Presets.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>

#include <cstdio>

namespace mirelo::cli {

namespace {

std::function<void(int)>& takenOver() {
    static std::function<void(int)> handler;
    return handler;
}

} // namespace

void installTerminationHandling() {
    TerminationSignals& terminations = TerminationSignals::install();
    QObject::connect(&terminations, &TerminationSignals::received, &terminations, [](int number) {
        if (takenOver()) {
            takenOver()(number);
            return;
        }
        ProgramRunner::killAll();
        QCoreApplication::exit(128 + number);
    });
}

TerminationTakeOver::TerminationTakeOver(std::function<void(int)> handler) {
    takenOver() = std::move(handler);
}

TerminationTakeOver::~TerminationTakeOver() {
    takenOver() = nullptr;
}

int terminationExitCode() {
    if (!TerminationSignals::isInstalled())
        return 0;
    const int first = TerminationSignals::install().firstSignal();
    return first ? 128 + first : 0;
}

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}

QTextStream& err() {
    static QTextStream s(stderr);
    return s;
}

int fail(int code, const QString& message) {
    out().flush();
    err() << "mirelo-cli: " << standIns().visibleText(message) << Qt::endl;
    return code;
}

void printWithByteNames(const QString& text) {
    out().flush();
    const QByteArray bytes = standIns().originalBytes(text);
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

StandInLinks& standIns() {
    static StandInLinks links;
    return links;
}

std::optional<QStringList> subcommandArguments(int argc, char** argv, bool namesFiles,
                                               QString* error) {
    QStringList args;
    for (int i = 2; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        if (!namesFiles || isUtf8(bytes)) {
            args += QString::fromLocal8Bit(bytes);
            continue;
        }
        // "--name=VALUE": the name is text, the value may name a file.
        const qsizetype eq = bytes.startsWith("--") ? bytes.indexOf('=') : -1;
        const QByteArray option =
            eq > 0 && isUtf8(bytes.left(eq + 1)) ? bytes.left(eq + 1) : QByteArray();
        const QString link = standIns().add(bytes.mid(option.size()), error);
        if (link.isEmpty())
            return std::nullopt;
        args += QString::fromUtf8(option) + link;
    }
    return args;
}

QString ParsedArgs::last(const QString& name, const QString& fallback) const {
    const auto it = values.find(name);
    return it == values.end() || it->isEmpty() ? fallback : it->last();
}

std::optional<ParsedArgs> parseArgs(const QStringList& args,
                                    std::initializer_list<CliOption> options, QString* error) {
    ParsedArgs parsed;
    bool optionsEnded = false; // after "--" every argument is a name, whatever it starts with
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !a.startsWith(QLatin1String("--"))) {
            parsed.positionals += a;
            continue;
        }
        QString name = a;
        std::optional<QString> inlineValue;
        if (const qsizetype eq = a.indexOf(QLatin1Char('=')); eq > 0) {
            name = a.left(eq);
            inlineValue = a.mid(eq + 1);
        }
        const CliOption* found = nullptr;
        for (const CliOption& s : options)
            if (name == QLatin1String(s.name))
                found = &s;
        if (!found) {
            *error = QStringLiteral("unknown option %1").arg(name);
            return std::nullopt;
        }
        if (!found->takesValue) {
            if (inlineValue) {
                *error = QStringLiteral("option %1 takes no value").arg(name);
                return std::nullopt;
            }
            parsed.values[name];
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("option %1 needs a value").arg(name);
                return std::nullopt;
            }
            inlineValue = args[++i];
        }
        if (!found->namesInput && standIns().isStandIn(*inlineValue)) {
            *error =
                QStringLiteral("option %1: \"%2\" is not a UTF-8 name (only input files may be)")
                    .arg(name, standIns().visible(*inlineValue));
            return std::nullopt;
        }
        parsed.values[name] += *inlineValue;
    }
    return parsed;
}

std::optional<ProfileId> parsePosition(const QString& text) {
    bool ok = false;
    const int p = text.trimmed().toInt(&ok);
    if (!ok || !catalogRow(p))
        return std::nullopt;
    return p;
}

int buildSheet(OptionSheet& sheet, const ParsedArgs& args, ProfileId profile, QString* error) {
    resetToDefaults(sheet);
    for (const QString& pick : args.values.value(QStringLiteral("--pick"))) {
        const std::optional<ProfileId> p = parsePosition(pick);
        if (!p) {
            *error = QStringLiteral("--pick %1: a profile position is a number from 1 to %2")
                         .arg(pick)
                         .arg(kCatalogSize);
            return kUsage;
        }
        applyPresets(sheet, *p);
    }
    applyPresets(sheet, profile);
    for (const QString& set : args.values.value(QStringLiteral("--set"))) {
        // Item captions may hold "/" ("A/V Sync"); category captions never do.
        const qsizetype slash = set.indexOf(QLatin1Char('/'));
        const qsizetype eq = set.indexOf(QLatin1Char('='), slash + 1);
        if (slash <= 0 || eq <= slash + 1) {
            *error = QStringLiteral("--set \"%1\": expected \"CATEGORY/ITEM=VALUE\"").arg(set);
            return kUsage;
        }
        const QString category = set.left(slash);
        const QString item = set.mid(slash + 1, eq - slash - 1);
        const QString value = set.mid(eq + 1);
        if (!sheet.item(category, item)) {
            *error = QStringLiteral("--set \"%1\": the sheet has no item \"%2\" in category \"%3\"")
                         .arg(set, item, category);
            return kUsage;
        }
        if (const QString refused = optionValueError(category, item, value); !refused.isEmpty()) {
            *error = QStringLiteral("--set \"%1\": %2").arg(set, refused);
            return kUsage;
        }
        sheet.setValue(category, item, value);
    }
    return kOk;
}

std::optional<ExistingFilePolicy> existingFilePolicy(const ParsedArgs& args, QString* error) {
    if (!args.has(QStringLiteral("--existing")))
        return AppSettings::forApplication().runSettings().existingFile;
    const QString policy = args.last(QStringLiteral("--existing"));
    if (policy == QLatin1String("new"))
        return ExistingFilePolicy::AddNew;
    if (policy == QLatin1String("overwrite"))
        return ExistingFilePolicy::Overwrite;
    *error = QStringLiteral("--existing: \"new\" or \"overwrite\", not \"%1\"").arg(policy);
    return std::nullopt;
}

} // namespace mirelo::cli
