#include "player/PlayerCommand.h"

#include "player/PlayerCapabilities.h"

namespace mirelo {

namespace {

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QStringList words(const QString& text) {
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

PlayerCommand buildPlayerCommand(const QString& playerPath, quint64 windowId, const QString& media,
                                 std::optional<int> offset) {
    QString options;
    if (offset)
        options += QStringLiteral(" -ss ") + QString::number(*offset);
    options += QStringLiteral(" -wid ") + QString::number(windowId);
    options += QLatin1String(kPlayerOptions);

    PlayerCommand command;
    command.text = quoted(playerPath) + options + quoted(media);
    command.program = playerPath;
    command.arguments = words(options);
    command.arguments += media;
    return command;
}

QStringList compatiblePlayerArguments(const QStringList& arguments,
                                      const QSet<QString>& knownOptions) {
    QStringList kept;
    const qsizetype last = arguments.size() - 1;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (i == last || !arg.startsWith(QLatin1Char('-')) ||
            playerAcceptsOption(knownOptions, arg.mid(1))) {
            kept += arg;
            continue;
        }
        const bool valueFollows = i + 1 < last && !arguments.at(i + 1).startsWith(QLatin1Char('-'));
        if (valueFollows)
            ++i;
    }
    return kept;
}

} // namespace mirelo
