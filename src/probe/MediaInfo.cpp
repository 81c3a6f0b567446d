#include "probe/MediaInfo.h"

#include "base/TimeString.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace mirelo {

namespace {

bool plausibleLength(double seconds) {
    // NaN fails both comparisons.
    return seconds >= 0.0 && seconds <= double(kLongestTimeSeconds);
}

} // namespace

std::optional<qint64> MediaInfo::wholeSeconds() const {
    if (!lengthSeconds || !plausibleLength(*lengthSeconds))
        return std::nullopt;
    return std::llround(*lengthSeconds); // an exact half rounds up
}

QString MediaInfo::sizeText() const {
    return QStringLiteral("%1x%2").arg(width).arg(height);
}

QString MediaInfo::lengthText() const {
    const std::optional<qint64> s = wholeSeconds();
    return s ? formatTimeString(*s) : QString();
}

bool MediaInfo::recognized() const {
    return hasVideoStream || hasAudioStream || lengthSeconds || width != 0 || height != 0 ||
           !videoFormat.isEmpty();
}

ProbeColumns probeColumns(const MediaInfo& info) {
    return {formatTimeString(0), info.lengthText(), info.sizeText(), info.videoFormat,
            info.lengthText()};
}

namespace {

// The leading decimal number of a text, 0 when it does not start with one. The player prints
// "inf" or "nan" for a length it could not work out; those, and numbers too large for a double,
// come back as not finite.
double leadingNumber(const QString& text) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?|[+-]?(?:inf|nan))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return 0.0;
    const QString number = m.captured(1).toLower();
    if (number.endsWith(QLatin1String("nan")))
        return std::numeric_limits<double>::quiet_NaN();
    if (number.endsWith(QLatin1String("inf")))
        return std::numeric_limits<double>::infinity();
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : std::numeric_limits<double>::infinity(); // out of range
}

// A length that is not a number of seconds a file can last (negative, not finite, past the
// longest length) is unknown: no time string, and the probe treats it as not reported.
void readLength(const QString& value, MediaInfo& info) {
    const double seconds = leadingNumber(value);
    info.lengthSeconds = plausibleLength(seconds) ? std::optional<double>(seconds) : std::nullopt;
}

// A whole number of pixels; anything else leaves the previous value.
void readPixels(const QString& value, int& target) {
    bool ok = false;
    const int n = value.trimmed().toInt(&ok);
    if (ok && n >= 0)
        target = n;
}

using KeyHandler = void (*)(MediaInfo&, const QString&);

struct KeyRule {
    const char* key;
    KeyHandler apply;
};

// The identification keys used; every other line is ignored.
const KeyRule kKeyRules[] = {
    {"ID_VIDEO_WIDTH", [](MediaInfo& m, const QString& v) { readPixels(v, m.width); }},
    {"ID_VIDEO_HEIGHT", [](MediaInfo& m, const QString& v) { readPixels(v, m.height); }},
    {"ID_LENGTH", [](MediaInfo& m, const QString& v) { readLength(v, m); }},
    {"ID_VIDEO_FORMAT", [](MediaInfo& m, const QString& v) { m.videoFormat = v; }},
    {"ID_VIDEO_ID", [](MediaInfo& m, const QString&) { m.hasVideoStream = true; }},
    {"ID_AUDIO_ID", [](MediaInfo& m, const QString&) { m.hasAudioStream = true; }},
};

} // namespace

MediaInfo parseIdentifyOutput(const QString& output) {
    // Status lines of the player end in a bare CR, so it counts as a line end too.
    static const QRegularExpression lineEnd(QStringLiteral("\\r\\n|\\n|\\r"));
    MediaInfo info;
    for (const QString& line : output.split(lineEnd)) {
        const QStringList pieces = line.split(QLatin1Char('='));
        if (pieces.size() < 2)
            continue;
        for (const KeyRule& rule : kKeyRules) {
            if (pieces[0] == QLatin1String(rule.key))
                rule.apply(info, pieces[1]);
        }
    }
    return info;
}

namespace {

// A relative path beginning with a dash would be read as an option.
QString pathArgument(const QString& path) {
    return path.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + path : path;
}

} // namespace

QStringList identifyArguments(const QString& path) {
    return {QStringLiteral("-identify"),  QStringLiteral("-benchmark"),
            QStringLiteral("-nosound"),   QStringLiteral("-vo"),
            QStringLiteral("null"),       QStringLiteral("-vf"),
            QStringLiteral("cropdetect"), QStringLiteral("-endpos"),
            QStringLiteral("1"),          pathArgument(path)};
}

bool needsAudioLengthPass(const MediaInfo& info) {
    return info.hasAudioStream && !info.lengthSeconds;
}

QStringList audioLengthArguments(const QString& path) {
    return {QStringLiteral("-identify"), QStringLiteral("-vo"),     QStringLiteral("null"),
            QStringLiteral("-ao"),       QStringLiteral("null"),    QStringLiteral("-frames"),
            QStringLiteral("0"),         QStringLiteral("-endpos"), QStringLiteral("1"),
            pathArgument(path)};
}

} // namespace mirelo
