#pragma once

#include "profiles/ProfileId.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace mirelo {

class OptionSheet;

// An encoder command line as the pieces it is made of: fixed text and quoted paths. The text is
// what the user is shown; the argument vector keeps every path one argument, whatever it holds.
class EncoderCommand {
public:
    void addText(const QString& text);
    void addQuotedPath(const QString& path);

    QString text() const;
    QStringList arguments() const; // everything after the encoder program
    QString program() const;       // the first quoted path

private:
    struct Piece {
        bool isPath;
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
    QString audioCodec;
    QString disableAudio;
    QString sampleRate;
    int audioBitrate = 0;
    int audioChannel = 0;
    int clipStartSeconds = 0;
    int clipDurationSeconds = 0;
};

// Option text to a 16-bit integer: nearest integer, ties to even ("12.2" gives 12, "2.5" gives 2);
// nullopt for text that is not a number or lies outside the 16-bit range.
std::optional<int> toInteger16(const QString& text);

QString encoderVideoCodec(const QString& sheetValue);
QString encoderAudioCodec(const QString& sheetValue);

// Reads the sheet's options into a request. Fails, with a message naming the item, when
// "Audio Bitrate" or "Audio Channel" is not a number.
std::optional<EncoderRequest> gatherEncoderRequest(const OptionSheet& sheet, ProfileId profile,
                                                   const QString& encoderPath,
                                                   const QString& inputPath,
                                                   const QString& outputPath, int clipStartSeconds,
                                                   int clipEndSeconds, QString* error);

// The command line of the profile's layout. Positions outside 1..92 give an empty command.
EncoderCommand buildEncoderCommand(const EncoderRequest& request);

} // namespace mirelo
