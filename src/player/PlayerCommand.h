#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace mirelo {

// The preview player's fixed options, exactly as the product has always passed them.
inline constexpr const char* kPlayerOptions =
    " -priority   abovenormal   -framedrop   -colorkey  0  "
    "-nokeepaspect   -framedrop   -autosync   100   -vf   "
    "screenshot ";

// One player command line: the text shown to the user (PreviewPlayer::playerCommandLine()), and the
// program with its argument vector (the media path or address always one argument).
struct PlayerCommand {
    QString text;
    QString program;
    QStringList arguments;
};

// The command line that plays `media` into the native window `windowId`, from `offset` whole
// seconds when given.
PlayerCommand buildPlayerCommand(const QString& playerPath, quint64 windowId, const QString& media,
                                 std::optional<int> offset = std::nullopt);

// The arguments the installed player accepts: an option it does not know is left out together
// with its value (the next argument, when that is not an option itself). The media path, the
// last argument, always stays.
QStringList compatiblePlayerArguments(const QStringList& arguments,
                                      const QSet<QString>& knownOptions);

} // namespace mirelo
