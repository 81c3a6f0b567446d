// mirelo-cli profiles, sheet and command: the catalog, the option sheet and the encoder command
// line, exactly as the desktop program holds and builds them.

#include "cli/Cli.h"

#include "convert/EncoderCommand.h"
#include "convert/TimeString.h"
#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "tools/ToolLocator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace mirelo::cli {

namespace {

void printJson(const QJsonValue& value) {
    const QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray())
                                              : QJsonDocument(value.toObject());
    out() << QString::fromUtf8(doc.toJson(QJsonDocument::Indented));
    out().flush();
}

int usageError(const QString& message) { return fail(kUsage, message); }

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
                 category ? QJsonValue() : QJsonValue(outputExtension(text))},
                {QStringLiteral("icon"), category ? QJsonValue(row.icon) : QJsonValue()},
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
                         .arg(outputExtension(text));
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

int runCommand(const QStringList& args) {
    QString error;
    const auto parsed = parseArgs(args,
                                  {{"--profile", true},
                                   {"--input", true},
                                   {"--output", true},
                                   {"--encoder", true},
                                   {"--no-preset", false},
                                   {"--pick", true},
                                   {"--set", true},
                                   {"--start", true},
                                   {"--end", true},
                                   {"--argv", false}},
                                  &error);
    if (!parsed)
        return usageError(error);
    if (!parsed->positionals.isEmpty())
        return usageError(QStringLiteral("unexpected argument %1").arg(parsed->positionals[0]));
    for (const char* required : {"--profile", "--input", "--output"})
        if (!parsed->has(QLatin1String(required)))
            return usageError(QStringLiteral("command needs %1").arg(QLatin1String(required)));

    const std::optional<int> position = parsePosition(parsed->last(QStringLiteral("--profile")));
    if (!position)
        return usageError(QStringLiteral("--profile: a profile position is a number from 1 to %1")
                              .arg(kCatalogSize));
    std::optional<int> times[2];
    const char* timeOptions[2] = {"--start", "--end"};
    for (int i = 0; i < 2; ++i) {
        const QString text = parsed->last(QLatin1String(timeOptions[i]), QStringLiteral("0:00:00"));
        times[i] = parseTimeString(text);
        if (!times[i])
            return usageError(QStringLiteral("%1 \"%2\": expected a time H:MM:SS")
                                  .arg(QLatin1String(timeOptions[i]), text));
    }

    OptionSheet sheet;
    const bool noPreset = parsed->has(QStringLiteral("--no-preset"));
    if (const int rc = buildSheet(sheet, *parsed, noPreset ? 0 : *position, &error); rc != kOk)
        return fail(rc, error);

    QString encoder = parsed->last(QStringLiteral("--encoder"));
    if (encoder.isEmpty())
        encoder = locateEncoder();
    if (encoder.isEmpty())
        encoder = encoderDisplayName();
    const std::optional<EncoderRequest> request = gatherEncoderRequest(
        sheet, *position, encoder, parsed->last(QStringLiteral("--input")),
        parsed->last(QStringLiteral("--output")), *times[0], *times[1], &error);
    if (!request)
        return fail(kFailed, error);

    const EncoderCommand command = buildEncoderCommand(*request);
    if (parsed->has(QStringLiteral("--argv"))) {
        out() << command.program() << '\n';
        for (const QString& a : command.arguments())
            out() << a << '\n';
    } else {
        out() << command.text() << '\n';
    }
    out().flush();
    return kOk;
}

} // namespace mirelo::cli
