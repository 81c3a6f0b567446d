#include "process/OutputLines.h"

#include <algorithm>

namespace mirelo {

QStringList LineSplitter::feed(const QByteArray& bytes) {
    QStringList lines;
    qsizetype start = 0;
    const auto takeLine = [&](qsizetype end) {
        m_pending.append(bytes.constData() + start, end - start);
        if (!m_pending.isEmpty())
            lines += QString::fromUtf8(m_pending);
        m_pending.clear();
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' || bytes[i] == '\r') {
            takeLine(i);
            start = i + 1;
        } else if (m_pending.size() + (i - start) + 1 >= kMaxLineBytes) {
            takeLine(i + 1);
            start = i + 1;
        }
    }
    m_pending.append(bytes.constData() + start, bytes.size() - start);
    return lines;
}

QStringList LastLines::feed(const QByteArray& bytes) {
    const QStringList lines = m_splitter.feed(bytes);
    for (const QString& line : lines)
        add(line);
    return lines;
}

void LastLines::add(const QString& line) {
    m_lines.push_back(line);
    while (m_lines.size() > std::size_t(std::max(0, m_keep)))
        m_lines.pop_front();
}

QStringList LastLines::lines() const {
    QStringList all(m_lines.begin(), m_lines.end());
    const QString pending = m_splitter.pending();
    if (!pending.isEmpty())
        all += pending;
    return all.mid(std::max<qsizetype>(0, all.size() - m_keep));
}

void LastLines::clear() {
    m_lines.clear();
    m_splitter.clear();
}

} // namespace mirelo
