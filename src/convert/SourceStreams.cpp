#include "convert/SourceStreams.h"

#include "convert/EncoderOutput.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <array>
#include <utility>

namespace mirelo {

namespace {

StreamKind kindOf(const QString& word) {
    if (word == QLatin1String("Video"))
        return StreamKind::Video;
    if (word == QLatin1String("Audio"))
        return StreamKind::Audio;
    if (word == QLatin1String("Subtitle"))
        return StreamKind::Subtitle;
    return StreamKind::Other;
}

// The comma-separated fields of a stream line after "Video: " or "Audio: ", ignoring commas
// inside parentheses ("yuv420p(tv, progressive)").
QStringList topLevelFields(const QString& text) {
    QStringList fields;
    QString current;
    int depth = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('(') || c == QLatin1Char('['))
            ++depth;
        else if ((c == QLatin1Char(')') || c == QLatin1Char(']')) && depth > 0)
            --depth;
        if (c == QLatin1Char(',') && depth == 0) {
            fields << current.trimmed();
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.trimmed().isEmpty())
        fields << current.trimmed();
    return fields;
}

void readVideoFields(const QStringList& fields, SourceStream& s) {
    // The field after the codec: "yuv420p10le(tv, bt709, progressive)".
    if (fields.size() > 1)
        s.pixelFormat = fields[1].section(QLatin1Char('('), 0, 0).trimmed();
    static const QRegularExpression size(QStringLiteral("^(\\d{1,5})x(\\d{1,5})\\b"));
    for (const QString& f : fields) {
        const QRegularExpressionMatch m = size.match(f);
        if (m.hasMatch()) {
            s.width = m.captured(1).toInt();
            s.height = m.captured(2).toInt();
            return;
        }
    }
}

void readAudioFields(const QStringList& fields, SourceStream& s) {
    static const QRegularExpression rate(QStringLiteral("^(\\d{1,7}) Hz$"));
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const QRegularExpressionMatch m = rate.match(fields[i]);
        if (!m.hasMatch())
            continue;
        s.sampleRate = m.captured(1).toInt();
        if (i + 1 < fields.size())
            s.channels = channelsOfLayout(fields[i + 1]);
        return;
    }
}

std::optional<SourceStream> parseStreamLine(const QString& line, int input) {
    static const QRegularExpression head(QStringLiteral(
        "^\\s*Stream #(\\d+):(\\d+)(?:\\[0x[0-9a-fA-F]+\\])?(?:\\((\\w+)\\))?: (\\w+): (.*)$"));
    const QRegularExpressionMatch m = head.match(line);
    if (!m.hasMatch() || m.captured(1) != QString::number(input))
        return std::nullopt;
    SourceStream s;
    s.index = m.captured(2).toInt();
    s.language = m.captured(3) == QLatin1String("und") ? QString() : m.captured(3);
    s.kind = kindOf(m.captured(4));
    const QString rest = m.captured(5);
    const QStringList fields = topLevelFields(rest);
    s.codec = fields.isEmpty() ? QString() : fields.first().section(QLatin1Char(' '), 0, 0);
    s.isDefault = rest.contains(QLatin1String("(default)"));
    s.isCoverPicture = rest.contains(QLatin1String("(attached pic)"));
    if (s.kind == StreamKind::Video)
        readVideoFields(fields, s);
    else if (s.kind == StreamKind::Audio)
        readAudioFields(fields, s);
    return s;
}

struct KeptStreams {
    qint64 size = 0;
    QDateTime modified;
    SourceStreams streams;
};

QHash<QString, KeptStreams>& keptStreams() {
    static QHash<QString, KeptStreams> kept;
    return kept;
}

} // namespace

const SourceStreams* cachedSourceStreams(const QString& path) {
    const auto it = keptStreams().constFind(path);
    if (it == keptStreams().constEnd())
        return nullptr;
    const QFileInfo info(path);
    if (info.size() != it->size || info.lastModified() != it->modified)
        return nullptr; // the file changed since
    return &it->streams;
}

void storeSourceStreams(const QString& path, const SourceStreams& streams) {
    const QFileInfo info(path);
    keptStreams().insert(path, {info.size(), info.lastModified(), streams});
}

int channelsOfLayout(const QString& layout) {
    static const std::array<std::pair<const char*, int>, 18> kLayouts{{
        {"mono", 1},
        {"stereo", 2},
        {"2.1", 3},
        {"3.0", 3},
        {"3.0(back)", 3},
        {"3.1", 4},
        {"4.0", 4},
        {"quad", 4},
        {"quad(side)", 4},
        {"4.1", 5},
        {"5.0", 5},
        {"5.0(side)", 5},
        {"5.1", 6},
        {"5.1(side)", 6},
        {"6.1", 7},
        {"7.1", 8},
        {"7.1(wide)", 8},
        {"downmix", 2},
    }};
    const QString name = layout.trimmed();
    for (const auto& [text, channels] : kLayouts)
        if (name == QLatin1String(text))
            return channels;
    static const QRegularExpression counted(QStringLiteral("^(\\d{1,3}) channels"));
    const QRegularExpressionMatch m = counted.match(name);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

SourceStreams parseSourceStreams(const QString& report, int input) {
    static const QRegularExpression rotation(
        QStringLiteral("displaymatrix: rotation of (-?\\d+(?:\\.\\d+)?) degrees"));
    static const QRegularExpression title(QStringLiteral("^\\s+title\\s*: (.*)$"));
    SourceStreams result;
    const QString header = QStringLiteral("Input #%1,").arg(input);
    bool inInput = false;
    for (const QString& line : report.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Input #"))) {
            inInput = line.startsWith(header);
            continue;
        }
        if (line.startsWith(QLatin1String("Output #")) ||
            (!line.startsWith(QLatin1Char(' ')) && !line.isEmpty() && inInput)) {
            inInput = false;
            continue;
        }
        if (!inInput)
            continue;
        if (const std::optional<SourceStream> s = parseStreamLine(line, input)) {
            result.streams.push_back(*s);
            continue;
        }
        if (result.streams.empty()) {
            if (!result.duration)
                result.duration = parseDurationLine(line);
            continue;
        }
        SourceStream& last = result.streams.back();
        if (const QRegularExpressionMatch m = rotation.match(line); m.hasMatch())
            last.rotation = m.captured(1).toDouble();
        else if (const QRegularExpressionMatch t = title.match(line); t.hasMatch())
            last.title = t.captured(1).trimmed();
    }
    return result;
}

bool SourceStreams::hasVideo() const {
    return firstVideo() != nullptr;
}

bool SourceStreams::hasAudio() const {
    return audioCount() > 0;
}

const SourceStream* SourceStreams::firstVideo() const {
    for (const SourceStream& s : streams)
        if (s.kind == StreamKind::Video && !s.isCoverPicture)
            return &s;
    return nullptr;
}

const SourceStream* SourceStreams::coverPicture() const {
    for (const SourceStream& s : streams)
        if (s.kind == StreamKind::Video && s.isCoverPicture)
            return &s;
    return nullptr;
}

const SourceStream* SourceStreams::chosenAudio() const {
    const SourceStream* first = nullptr;
    for (const SourceStream& s : streams) {
        if (s.kind != StreamKind::Audio)
            continue;
        if (s.isDefault)
            return &s;
        if (!first)
            first = &s;
    }
    return first;
}

int SourceStreams::audioCount() const {
    int n = 0;
    for (const SourceStream& s : streams)
        n += s.kind == StreamKind::Audio ? 1 : 0;
    return n;
}

} // namespace mirelo
