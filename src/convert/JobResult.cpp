#include "convert/JobResult.h"

#include <algorithm>

namespace mirelo {

namespace {

QString quoteForShell(const QString& a) {
    static const QString safe = QStringLiteral("-_./:=+,@%");
    const bool plain = !a.isEmpty() && std::all_of(a.begin(), a.end(), [](QChar c) {
        return c.isLetterOrNumber() || safe.contains(c);
    });
    if (plain)
        return a;
    return QLatin1Char('\'') + QString(a).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

} // namespace

QString JobResult::detail() const {
    QStringList parts;
    if (!message.isEmpty())
        parts += message;
    if (!notes.isEmpty())
        parts += notes.join(QLatin1Char('\n'));
    if (outcome != JobOutcome::Ok && !encoderLines.isEmpty())
        parts += QStringLiteral("Encoder output:\n") + encoderLines.join(QLatin1Char('\n'));
    if (!commandLine.isEmpty())
        parts += QStringLiteral("Profile command line:\n") + commandLine;
    if (!arguments.isEmpty())
        parts += QStringLiteral("Ran:\n") + displayArguments(program, arguments);
    return parts.join(QStringLiteral("\n\n"));
}

QString displayArguments(const QString& program, const QStringList& arguments) {
    QStringList quoted{quoteForShell(program)};
    for (const QString& a : arguments)
        quoted += quoteForShell(a);
    return quoted.join(QLatin1Char(' '));
}

} // namespace mirelo
