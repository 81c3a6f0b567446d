// mirelo-cli profiles, sheet and command: the catalog, the option sheet and the encoder command
// line, exactly as the desktop program holds, builds and runs them.

#include "cli/Cli.h"

#include "base/TimeString.h"
#include "base/ToolLocator.h"
#include "convert/ConversionPlan.h"
#include "convert/EncoderCapabilities.h"
#include "process/ProgramRunner.h"
#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "settings/AppSettings.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace mirelo::cli {

namespace {

void printJson(const QJsonValue& value) {
    const QJsonDocument doc =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    out() << QString::fromUtf8(doc.toJson(QJsonDocument::Indented));
    out().flush();
}

int usageError(const QString& message) {
    return fail(kUsage, message);
}

} // namespace

int runProfiles(const QStringList& args) {
    QString error;
    const auto parsed = parseArgs(args, {{"--json", false}}, &error);
    if (!parsed)
        return usageError(error);
    if (!parsed->positionals.isEmpty())
        return usageError(QStringLiteral("profiles takes no file arguments"));

    if (parsed->has(QStringLiteral("--json"))) {
        QJsonArray rows;
        for (const CatalogRow& row : catalogRows()) {
            const bool category = row.kind == RowKind::Category;
            const QString text = QString::fromUtf8(row.text);
            rows.append(QJsonObject{
                {QStringLiteral("position"), row.position},
                {QStringLiteral("kind"),
                 category ? QStringLiteral("category") : QStringLiteral("profile")},
                {QStringLiteral("text"), text},
                {QStringLiteral("extension"),
                 category ? QJsonValue() : QJsonValue(outputExtension(row))},
                {QStringLiteral("icon"), category ? QJsonValue(row.icon) : QJsonValue()},
                {QStringLiteral("note"),
                 row.note ? QJsonValue(QString::fromUtf8(row.note)) : QJsonValue()},
            });
        }
        printJson(rows);
        return kOk;
    }
    for (const CatalogRow& row : catalogRows()) {
        const QString text = QString::fromUtf8(row.text);
        if (row.kind == RowKind::Category)
            out() << QStringLiteral("%1  %2\n").arg(row.position, 2).arg(text);
        else
            out() << QStringLiteral("%1      %2  %3\n")
                         .arg(row.position, 2)
                         .arg(text, -50)
                         .arg(outputExtension(row));
    }
    out().flush();
    return kOk;
}

int runSheet(const QStringList& args) {
    QString error;
    const auto parsed =
        parseArgs(args, {{"--json", false}, {"--pick", true}, {"--set", true}}, &error);
    if (!parsed)
        return usageError(error);
    if (!parsed->positionals.isEmpty())
        return usageError(QStringLiteral("sheet takes no file arguments"));
    OptionSheet sheet;
    if (const int rc = buildSheet(sheet, *parsed, 0, &error); rc != kOk)
        return fail(rc, error);

    if (parsed->has(QStringLiteral("--json"))) {
        QJsonArray categories;
        for (const OptionSheet::Category& c : sheet.categories()) {
            QJsonArray items;
            for (const OptionSheet::Item& i : c.items)
                items.append(QJsonObject{
                    {QStringLiteral("name"), i.name},
                    {QStringLiteral("kind"), i.kind == OptionSheet::ItemKind::List
                                                 ? QStringLiteral("list")
                                                 : QStringLiteral("text")},
                    {QStringLiteral("value"), i.value},
                    {QStringLiteral("list"), QJsonArray::fromStringList(i.list)},
                    {QStringLiteral("readOnly"), i.readOnly},
                });
            categories.append(
                QJsonObject{{QStringLiteral("name"), c.name}, {QStringLiteral("items"), items}});
        }
        printJson(QJsonObject{{QStringLiteral("categories"), categories}});
        return kOk;
    }
    for (const OptionSheet::Category& c : sheet.categories()) {
        out() << c.name << '\n';
        for (const OptionSheet::Item& i : c.items) {
            out() << "  " << i.name << " = " << i.value;
            if (i.readOnly)
                out() << "  (read-only)";
            if (i.kind == OptionSheet::ItemKind::List)
                out() << "  [" << i.list.join(QStringLiteral(", ")) << ']';
            out() << '\n';
        }
    }
    out().flush();
    return kOk;
}

namespace {

// The encoder's capability lists, read the way a conversion run reads them; nullptr (with the
// reason in *error) when the encoder cannot list them.
const EncoderCapabilities* loadCapabilities(const QString& encoder, QString* error) {
    if (const EncoderCapabilities* known = cachedCapabilities(encoder))
        return known;
    CapabilityLoader loader;
    QEventLoop loop;
    QObject::connect(&loader, &CapabilityLoader::loaded, &loop, &QEventLoop::quit);
    QObject::connect(&loader, &CapabilityLoader::failed, &loop, [&](const QString& message) {
        *error = message;
        loop.quit();
    });
    loader.start(encoder);
    loop.exec();
    return cachedCapabilities(encoder);
}

// The source's streams for the rows that choose among them, as the encoder reports them; none
// when the input or the encoder cannot be read.
std::optional<SourceStreams> readSourceStreams(const QString& encoder, const QString& input) {
    if (!QFileInfo(input).isFile())
        return std::nullopt;
    ProgramRunner report;
    report.setOutputs(ProgramRunner::Outputs::ErrorOnly);
    report.setLineChannel(ProgramRunner::Channel::Error);
    report.setTailLines(100000);
    report.setProgram(encoder, {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),
                                QStringLiteral("-i"), input});
    report.start();
    report.waitForFinished(30000);
    SourceStreams streams = parseSourceStreams(report.tail().join(QLatin1Char('\n')));
    return streams.streams.empty() ? std::nullopt : std::optional<SourceStreams>(streams);
}

// One argument a line; an input named by bytes that are not UTF-8 is printed as those bytes.
void printArguments(const QString& program, const QStringList& arguments) {
    printWithByteNames(program + QLatin1Char('\n') + arguments.join(QLatin1Char('\n')) +
                       QLatin1Char('\n'));
}

} // namespace

int runCommand(const QStringList& args) {
    QString error;
    const auto parsed = parseArgs(args,
                                  {{"--profile", true},
                                   {"--input", true, true},
                                   {"--output", true},
                                   {"--encoder", true},
                                   {"--no-preset", false},
                                   {"--pick", true},
                                   {"--set", true},
                                   {"--start", true},
                                   {"--end", true},
                                   {"--argv", false},
                                   {"--run-argv", false},
                                   {"--existing", true}},
                                  &error);
    if (!parsed)
        return usageError(error);
    if (!parsed->positionals.isEmpty())
        return usageError(QStringLiteral("unexpected argument %1").arg(parsed->positionals[0]));
    for (const char* required : {"--profile", "--input", "--output"})
        if (!parsed->has(QLatin1String(required)))
            return usageError(QStringLiteral("command needs %1").arg(QLatin1String(required)));
    const bool runArgv = parsed->has(QStringLiteral("--run-argv"));
    if (runArgv && parsed->has(QStringLiteral("--argv")))
        return usageError(QStringLiteral("--argv and --run-argv: choose one"));

    const std::optional<ProfileId> profile =
        parsePosition(parsed->last(QStringLiteral("--profile")));
    if (!profile)
        return usageError(QStringLiteral("--profile: a profile position is a number from 1 to %1")
                              .arg(kCatalogSize));
    QString times[2];
    const char* timeOptions[2] = {"--start", "--end"};
    for (int i = 0; i < 2; ++i) {
        times[i] = parsed->last(QLatin1String(timeOptions[i]), QStringLiteral("0:00:00"));
        if (!parseTimeString(times[i]))
            return usageError(QStringLiteral("%1 \"%2\": expected a time H:MM:SS")
                                  .arg(QLatin1String(timeOptions[i]), times[i]));
    }
    const std::optional<ExistingFilePolicy> policy = existingFilePolicy(*parsed, &error);
    if (!policy)
        return usageError(error);

    OptionSheet sheet;
    const bool noPreset = parsed->has(QStringLiteral("--no-preset"));
    if (const int rc = buildSheet(sheet, *parsed, noPreset ? ProfileId() : *profile, &error);
        rc != kOk)
        return fail(rc, error);

    JobSettings settings;
    settings.overwrite = *policy == ExistingFilePolicy::Overwrite;
    settings.encoderPath = parsed->last(QStringLiteral("--encoder"));
    if (settings.encoderPath.isEmpty())
        settings.encoderPath = locateEncoder();
    if (runArgv) {
        if (settings.encoderPath.isEmpty())
            return fail(
                kFailed,
                QStringLiteral("The encoder \"%1\" was not found.").arg(encoderDisplayName()));
        settings.capabilities = loadCapabilities(settings.encoderPath, &error);
        if (!settings.capabilities)
            return fail(kFailed, error);
    } else if (settings.encoderPath.isEmpty()) {
        settings.encoderPath = encoderDisplayName();
    }
    const QString input = parsed->last(QStringLiteral("--input"));
    const std::optional<SourceStreams> streams =
        needsSourceStreams(*profile) ? readSourceStreams(settings.encoderPath, input)
                                     : std::nullopt;
    const PlanRow row{input,
                      times[0],
                      times[1],
                      {},
                      parsed->last(QStringLiteral("--output")),
                      streams ? &*streams : nullptr};
    const PlanOutcome planned = planConversion(row, sheet, *profile, settings);
    if (!planned.plan)
        return fail(kFailed, planned.error);

    const ConversionPlan& plan = *planned.plan;
    if (runArgv)
        printArguments(plan.program, plan.arguments);
    else if (parsed->has(QStringLiteral("--argv")))
        printArguments(plan.profileCommand.program(), plan.profileCommand.arguments());
    else
        printWithByteNames(plan.profileCommand.text() + QLatin1Char('\n'));
    return kOk;
}

} // namespace mirelo::cli
