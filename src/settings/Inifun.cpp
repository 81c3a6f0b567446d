#include "settings/Inifun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <optional>

namespace mirelo {

namespace {

// The parsed view of one line: a section header, a key line, or anything else (kept verbatim).
struct LineView {
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    QString name;  // section or key name, trimmed
    QString value; // key lines: the text after the first "=", trimmed
};

bool isComment(const QString& trimmed) {
    return trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#'));
}

LineView parseLine(const QString& line) {
    const QString trimmed = line.trimmed();
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

// A name that would not parse back as itself: empty, padded, a line break, or characters that
// end a section header or a key.
bool validName(const QString& name, bool isSection) {
    if (name.isEmpty() || name != name.trimmed() || hasLineBreak(name))
        return false;
    if (isSection)
        return !name.contains(QLatin1Char(']'));
    return !name.contains(QLatin1Char('=')) && !name.startsWith(QLatin1Char('[')) &&
           !isComment(name);
}

std::optional<QStringList> readLines(const QString& file) {
    QFile f(file);
    if (!f.exists())
        return QStringList{};
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the final line break
    return lines;
}

// Half-open line range [begin, end) of a section's body; begin is the header line's index.
struct SectionRange {
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionRange findSection(const QStringList& lines, const QString& section) {
    SectionRange r;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const LineView v = parseLine(lines[i]);
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
        r.end = lines.size();
    return r;
}

qsizetype findKey(const QStringList& lines, const SectionRange& r, const QString& key) {
    for (qsizetype i = r.header + 1; i < r.end; ++i) {
        const LineView v = parseLine(lines[i]);
        if (v.kind == LineView::Kind::Key && sameName(v.name, key))
            return i;
    }
    return -1;
}

// Where a new key goes: after the section's last non-blank line, so blank lines that separate
// it from the next section stay in between.
qsizetype insertionPoint(const QStringList& lines, const SectionRange& r) {
    qsizetype at = r.end;
    while (at > r.header + 1 && lines[at - 1].trimmed().isEmpty())
        --at;
    return at;
}

bool saveLines(const QString& file, const QStringList& lines) {
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QByteArray data;
    for (const QString& line : lines)
        data += line.toUtf8() + '\n';
    // QSaveFile can miss an error of its final buffer flush (a full disk, a size limit) and
    // commit a cut file, so the flush is checked here before the rename.
    if (out.write(data) != data.size() || !out.flush() || out.error() != QFileDevice::NoError) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

} // namespace

bool WriteIniValue(const QString& file, const QString& section, const QString& key,
                   const QString& value) {
    if (!validName(section, true) || !validName(key, false) || hasLineBreak(value))
        return false;
    std::optional<QStringList> lines = readLines(file);
    if (!lines)
        return false;
    const QString keyLine = key + QLatin1Char('=') + value.trimmed();
    SectionRange r = findSection(*lines, section);
    if (r.header < 0) {
        if (!lines->isEmpty() && !lines->last().trimmed().isEmpty())
            lines->append(QString());
        lines->append(QLatin1Char('[') + section + QLatin1Char(']'));
        lines->append(keyLine);
        return saveLines(file, *lines);
    }
    const qsizetype at = findKey(*lines, r, key);
    if (at >= 0)
        (*lines)[at] = keyLine;
    else
        lines->insert(insertionPoint(*lines, r), keyLine);
    return saveLines(file, *lines);
}

QString ReadIniValue(const QString& file, const QString& section, const QString& key) {
    const std::optional<QStringList> lines = readLines(file);
    if (!lines)
        return {};
    const SectionRange r = findSection(*lines, section);
    if (r.header < 0)
        return {};
    const qsizetype at = findKey(*lines, r, key);
    return at < 0 ? QString() : parseLine((*lines)[at]).value;
}

} // namespace mirelo
