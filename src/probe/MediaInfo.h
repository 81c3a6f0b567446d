#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

#include <optional>

namespace mirelo {

// What the media player's identify mode tells about a file.
struct MediaInfo {
    int width = 0;  // ID_VIDEO_WIDTH, 0 when not reported
    int height = 0; // ID_VIDEO_HEIGHT, 0 when not reported
    // ID_LENGTH in seconds as printed (fractions kept); nullopt when not reported, or when it is
    // not a length a file can have (negative, not finite, over kLongestTimeSeconds).
    std::optional<double> lengthSeconds;
    QString videoFormat;         // ID_VIDEO_FORMAT as printed, empty when not reported
    bool hasVideoStream = false; // an ID_VIDEO_ID line was seen
    bool hasAudioStream = false; // an ID_AUDIO_ID line was seen

    // The length rounded to whole seconds (an exact half rounds up: 83.5 -> 84).
    std::optional<qint64> wholeSeconds() const;
    // "640x480"; "0x0" without video lines.
    QString sizeText() const;
    // The length as a time string "H:MM:SS" (hours past 23 for a day or more); empty without a
    // length.
    QString lengthText() const;
    // True when the output held anything about the file: a stream, a length or a frame size.
    bool recognized() const;
};

// The texts a probed row shows, in the list's column terms.
struct ProbeColumns {
    QString start;     // always "0:00:00"
    QString end;       // the length, or empty
    QString size;      // "WxH" or "0x0"
    QString format;    // video format or empty
    QString videoTime; // the length, or empty
};
ProbeColumns probeColumns(const MediaInfo& info);

// Parses the identification lines of the player's output (key=value; exact, case-sensitive keys;
// the last value of a key wins). Lines may end in CR LF, LF or a bare CR.
MediaInfo parseIdentifyOutput(const QString& output);

// The probe's arguments: identify mode, one second decoded as fast as possible, no sound, no
// video output, the path last as a single argument.
QStringList identifyArguments(const QString& path);

// The player prints no length for a file without video when sound is off (it finds nothing to
// play and stops before the length line). A second, quick run with sound decoded to a null output
// and no frames played reports it.
bool needsAudioLengthPass(const MediaInfo& info);
QStringList audioLengthArguments(const QString& path);

} // namespace mirelo

Q_DECLARE_METATYPE(mirelo::MediaInfo)
