#include "base/IniFile.h"

#include "base/SafeRead.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QMutex>
#include <QSaveFile>
#include <QSet>

namespace mirelo {

// ---- Text and bytes ----

namespace {

constexpr char16_t kKeptByteBase = 0xDC00; // a kept byte b is U+DC00 + b (b >= 0x80)

bool isKeptByte(char16_t u) {
    return u >= kKeptByteBase + 0x80 && u <= kKeptByteBase + 0xFF;
}

// Length of the valid UTF-8 sequence at bytes[i] and its code point; 0 when the byte there does
// not start one (overlong forms, surrogates and values past U+10FFFF are not valid).
int utf8Sequence(const QByteArray& bytes, qsizetype i, char32_t& codePoint) {
    const auto lead = uchar(bytes[i]);
    int length = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, codePoint = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, codePoint = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, codePoint = lead & 0x07, smallest = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const auto next = uchar(bytes[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint >= smallest && codePoint <= 0x10FFFF && !surrogate ? length : 0;
}

void appendUtf8(QByteArray& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

QString decodeSettingsText(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = uchar(bytes[i]);
        char32_t c = 0;
        const int length = b < 0x80 ? 1 : utf8Sequence(bytes, i, c);
        if (length == 0) {
            text += QChar(char16_t(kKeptByteBase + b));
            ++i;
            continue;
        }
        if (length == 1) {
            text += QChar(b);
        } else if (QChar::requiresSurrogates(c)) {
            text += QChar(QChar::highSurrogate(c));
            text += QChar(QChar::lowSurrogate(c));
        } else {
            text += QChar(char16_t(c));
        }
        i += length;
    }
    return text;
}

std::optional<QByteArray> encodeSettingsText(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            appendUtf8(bytes, QChar::surrogateToUcs4(u, text[i + 1].unicode()));
            ++i;
        } else if (isKeptByte(u)) {
            bytes += char(u - kKeptByteBase);
        } else if (QChar::isSurrogate(u)) {
            return std::nullopt;
        } else {
            appendUtf8(bytes, u);
        }
    }
    return bytes;
}

QString printableSettingsText(const QString& text) {
    QString shown;
    for (const QChar c : text) {
        if (isKeptByte(c.unicode()))
            shown +=
                QStringLiteral("\\x") + QString::number(c.unicode() - kKeptByteBase, 16).toUpper();
        else
            shown += c;
    }
    return shown;
}

bool pathReachesFileSystemIntact(const QString& path) {
    return QFile::decodeName(QFile::encodeName(path)) == path;
}

// ---- Reading the file ----

namespace {

struct Reporter {
    QMutex mutex;
    IniProblemReporter report;
    QSet<QString> reported;
};

Reporter& problemReporter() {
    static Reporter r;
    return r;
}

void reportOnce(const QString& message) {
    Reporter& r = problemReporter();
    IniProblemReporter report;
    {
        const QMutexLocker lock(&r.mutex);
        if (r.reported.contains(message))
            return;
        r.reported.insert(message);
        report = r.report;
    }
    if (report)
        report(message);
    else
        qWarning("%s", qUtf8Printable(message));
}

QString refusal(const QString& file, const QString& reason) {
    return QStringLiteral("The settings file %1 %2: it is neither read nor written, and the "
                          "defaults are used.")
        .arg(QDir::toNativeSeparators(file), reason);
}

// The file's bytes; empty for a missing file; nullopt (reported) for a file that is not read.
std::optional<QByteArray> readSettingsFile(const QString& file) {
    const SmallFileRead read = readSmallRegularFile(file, kLargestSettingsFile);
    if (read.missing)
        return QByteArray();
    if (!read.bytes)
        reportOnce(refusal(file, read.problem));
    return read.bytes;
}

// ---- Lines ----

// The file as lines of bytes. A line keeps a CR that ended it; joining with LF gives back the
// bytes read.
struct IniLines {
    QList<QByteArray> lines;
    bool finalLineEnd = true; // the last line ended with LF (or there are no lines)

    static IniLines split(const QByteArray& content) {
        IniLines r;
        if (content.isEmpty())
            return r;
        r.lines = content.split('\n');
        r.finalLineEnd = content.endsWith('\n');
        if (r.finalLineEnd)
            r.lines.removeLast(); // the empty piece after the last LF
        return r;
    }

    QByteArray join() const {
        QByteArray out;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            out += lines[i];
            if (i + 1 < lines.size() || finalLineEnd)
                out += '\n';
        }
        return out;
    }

    // New lines follow the file's own line ends: CR LF when its first line has one.
    QByteArray lineEnd() const {
        return !lines.isEmpty() && lines.first().endsWith('\r') ? QByteArray("\r") : QByteArray();
    }

    void insert(qsizetype at, const QByteArray& line) {
        if (at == lines.size())
            finalLineEnd = true;
        lines.insert(at, line + lineEnd());
    }
};

// The parsed view of one line: a section header, a key line, or anything else (kept verbatim).
struct LineView {
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    QString name;  // section or key name, trimmed
    QString value; // key lines: the text after the first "=", trimmed
};

bool isComment(const QString& trimmed) {
    return trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'));
}

LineView parseLine(const QByteArray& bytes) {
    const QString trimmed = decodeSettingsText(bytes).trimmed();
    if (trimmed.isEmpty() || isComment(trimmed))
        return {};
    if (trimmed.startsWith(QLatin1Char('['))) {
        const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
        if (close < 0)
            return {};
        return {LineView::Kind::Section, trimmed.mid(1, close - 1).trimmed(), {}};
    }
    const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return {};
    return {LineView::Kind::Key, trimmed.left(eq).trimmed(), trimmed.mid(eq + 1).trimmed()};
}

bool isBlank(const QByteArray& line) {
    return decodeSettingsText(line).trimmed().isEmpty();
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasLineBreak(const QString& text) {
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0x2028) ||
            c == QChar(0x2029) || c == QChar(0x85) || c == QChar(0x0B) || c == QChar(0x0C))
            return true;
    }
    return false;
}

// Text that the file can hold and that reads back as itself.
bool storable(const QString& text) {
    const std::optional<QByteArray> bytes = encodeSettingsText(text);
    return bytes && decodeSettingsText(*bytes) == text;
}

// A name that would not parse back as itself: empty, padded, a line break, characters that end
// a section header or a key, or text the file cannot hold.
bool validName(const QString& name, bool isSection) {
    if (name.isEmpty() || name != name.trimmed() || hasLineBreak(name) || !storable(name))
        return false;
    if (isSection)
        return !name.contains(QLatin1Char(']'));
    return !name.contains(QLatin1Char('=')) && !name.startsWith(QLatin1Char('[')) &&
           !isComment(name);
}

// Line range of a section: its header line's index and the index past its last line.
struct SectionRange {
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionRange findSection(const IniLines& file, const QString& section) {
    SectionRange r;
    for (qsizetype i = 0; i < file.lines.size(); ++i) {
        const LineView v = parseLine(file.lines[i]);
        if (v.kind != LineView::Kind::Section)
            continue;
        if (r.header >= 0) {
            r.end = i;
            return r;
        }
        if (sameName(v.name, section))
            r.header = i;
    }
    if (r.header >= 0)
        r.end = file.lines.size();
    return r;
}

qsizetype findKey(const IniLines& file, const SectionRange& r, const QString& key) {
    for (qsizetype i = r.header + 1; i < r.end; ++i) {
        const LineView v = parseLine(file.lines[i]);
        if (v.kind == LineView::Kind::Key && sameName(v.name, key))
            return i;
    }
    return -1;
}

// Where a new key goes: after the section's last non-blank line, so blank lines that separate
// it from the next section stay in between.
qsizetype insertionPoint(const IniLines& file, const SectionRange& r) {
    qsizetype at = r.end;
    while (at > r.header + 1 && isBlank(file.lines[at - 1]))
        --at;
    return at;
}

bool saveBytes(const QString& file, const QByteArray& data) {
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    // QSaveFile can miss an error of its final buffer flush (a full disk, a size limit) and
    // commit a cut file, so the flush is checked here before the rename.
    if (out.write(data) != data.size() || !out.flush() || out.error() != QFileDevice::NoError) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

} // namespace

void setIniProblemReporter(IniProblemReporter reporter) {
    Reporter& r = problemReporter();
    const QMutexLocker lock(&r.mutex);
    r.report = std::move(reporter);
}

// ---- Keys ----

std::optional<QByteArray> iniWithValue(const QByteArray& content, const QString& section,
                                       const QString& key, const QString& value) {
    const QString stored = value.trimmed();
    if (!validName(section, true) || !validName(key, false) || hasLineBreak(value) ||
        !storable(stored))
        return std::nullopt;
    IniLines file = IniLines::split(content);
    const QByteArray keyLine = *encodeSettingsText(key + QLatin1Char('=') + stored);
    const SectionRange r = findSection(file, section);
    if (r.header < 0) {
        if (!file.lines.isEmpty() && !isBlank(file.lines.last()))
            file.insert(file.lines.size(), QByteArray());
        file.insert(file.lines.size(),
                    *encodeSettingsText(QLatin1Char('[') + section + QLatin1Char(']')));
        file.insert(file.lines.size(), keyLine);
        return file.join();
    }
    const qsizetype at = findKey(file, r, key);
    if (at >= 0) {
        QByteArray& line = file.lines[at];
        line = keyLine + (line.endsWith('\r') ? QByteArray("\r") : QByteArray());
    } else {
        file.insert(insertionPoint(file, r), keyLine);
    }
    return file.join();
}

QString iniValueIn(const QByteArray& content, const QString& section, const QString& key) {
    const IniLines file = IniLines::split(content);
    const SectionRange r = findSection(file, section);
    if (r.header < 0)
        return {};
    const qsizetype at = findKey(file, r, key);
    return at < 0 ? QString() : parseLine(file.lines[at]).value;
}

bool writeIniValue(const QString& file, const QString& section, const QString& key,
                   const QString& value) {
    const std::optional<QByteArray> content = readSettingsFile(file);
    if (!content)
        return false;
    const std::optional<QByteArray> changed = iniWithValue(*content, section, key, value);
    return changed && saveBytes(file, *changed);
}

QString readIniValue(const QString& file, const QString& section, const QString& key) {
    const std::optional<QByteArray> content = readSettingsFile(file);
    return content ? iniValueIn(*content, section, key) : QString();
}

} // namespace mirelo
