#pragma once

#include "convert/CodecNames.h"
#include "profiles/OptionValues.h"
#include "profiles/ProfileId.h"
#include "profiles/SheetValues.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace mirelo {

// An encoder command line as the pieces it is made of: fixed text, option values and quoted
// paths. The text is what the user is shown. The argument vector splits only the fixed text on
// blanks: a path is one argument and a value lies inside one argument, whatever they hold, so
// that no value can add an argument of its own.
class EncoderCommand {
public:
    void addText(const QString& text);
    void addValue(const QString& value);
    void addQuotedPath(const QString& path);

    QString text() const;
    QStringList arguments() const; // everything after the encoder program
    QString program() const;       // the first quoted path

private:
    enum class Kind { Text, Value, Path };
    struct Piece {
        Kind kind;
        QString text;
    };
    std::vector<Piece> m_pieces;
};

// Everything the command line is made from, gathered from the sheet and the row.
struct EncoderRequest {
    QString encoderPath;
    QString inputPath;
    QString outputPath;
    ProfileId position;
    QString videoCodec;
    QString videoSize;
    QString videoBitrate;
    QString videoFramerate;
    QString videoQuality; // "Auto" or the constant-quality number; newer rows only
    QString audioCodec;
    QString disableAudio;
    QString sampleRate;
    int audioBitrate = 0;
    int audioChannel = 0;
    int clipStartSeconds = 0;
    int clipDurationSeconds = 0;
    // The streams a copy row takes and the container an extracted audio stream goes to, as
    // options; chosen from the source's streams by the plan.
    QString sourceOptions;
};

// Reads the sheet's options into a request. Fails, with a message naming the item, when an item
// holds a value it cannot (a bitrate, frame rate, sample rate or channel count that is not a
// number, a size that is not WxH), or "Original" that only the newer rows can keep.
std::optional<EncoderRequest> gatherEncoderRequest(const SheetValues& sheet, ProfileId profile,
                                                   const QString& encoderPath,
                                                   const QString& inputPath,
                                                   const QString& outputPath, int clipStartSeconds,
                                                   int clipEndSeconds, QString* error);

// The command line of the profile's layout. Positions outside the table give an empty command.
EncoderCommand buildEncoderCommand(const EncoderRequest& request);

} // namespace mirelo
