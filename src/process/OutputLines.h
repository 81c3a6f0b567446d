#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>

namespace mirelo {

// Cuts a program's output into lines as it arrives: "\r" ends a line as "\n" does (progress and
// status lines are redrawn with "\r"), empty lines are dropped. A line longer than kMaxLineBytes is
// handed on in pieces of that size, so output without line ends cannot grow memory.
class LineSplitter {
public:
    static constexpr qsizetype kMaxLineBytes = 64 * 1024;

    // Feeds raw output; returns the lines it completed, in order.
    QStringList feed(const QByteArray& bytes);
    // The unfinished last line, if any.
    QString pending() const { return QString::fromUtf8(m_pending); }
    void clear() { m_pending.clear(); }

private:
    QByteArray m_pending;
};

// The last lines of a program's output, for the user when something fails.
class LastLines {
public:
    explicit LastLines(int keep = 12) : m_keep(keep) {}
    // Feeds raw output; returns the complete lines it ended.
    QStringList feed(const QByteArray& bytes);
    // Keeps one line already split off.
    void add(const QString& line);
    // The kept lines, an unfinished last line included.
    QStringList lines() const;
    void clear();

private:
    int m_keep;
    LineSplitter m_splitter;
    std::deque<QString> m_lines;
};

} // namespace mirelo
