#include "convert/SourceReadAhead.h"

#include <QFileInfo>

#include <algorithm>

namespace mirelo {

namespace {

// An encoder's help, or its report on a file with many streams, is a few kilobytes.
constexpr qsizetype kMaxReportBytes = 1024 * 1024;
// Opening a file, or printing its help, takes the encoder well under a second.
constexpr int kReadTimeoutMs = 30000;

} // namespace

void prepareSourceRead(ProgramRunner& runner) {
    runner.setRole(QStringLiteral("encoder"));
    runner.setOutputs(ProgramRunner::Outputs::Merged);
    runner.setKeptOutputLimit(kMaxReportBytes);
    runner.setTimeout(kReadTimeoutMs);
}

QStringList sourceReadArguments(const QString& path) {
    return {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-i"), path};
}

SourceStreams takeSourceRead(const QString& path, const ProgramRunner& runner) {
    SourceStreams found = parseSourceStreams(QString::fromUtf8(runner.keptOutput()));
    if (!found.streams.empty())
        storeSourceStreams(path, found);
    return found;
}

SourceReadAhead::SourceReadAhead(const QString& encoderPath, QObject* parent)
    : QObject(parent), m_encoderPath(encoderPath) {
    prepareSourceRead(m_reader);
    connect(&m_reader, &ProgramRunner::finished, this, [this](const ProgramEnd&) {
        if (m_queue.empty()) // stopped
            return;
        const Pending done = m_queue.front();
        m_queue.pop_front();
        const SourceStreams streams = takeSourceRead(done.path, m_reader);
        startNext();
        Q_EMIT read(done.key, streams);
    });
}

SourceReadAhead::~SourceReadAhead() {
    m_reader.disconnect(this);
    m_reader.kill();
}

void SourceReadAhead::stop() {
    m_queue.clear();
    m_reader.kill();
}

void SourceReadAhead::enqueue(quint64 key, const QString& path) {
    m_queue.push_back({key, path});
    if (m_queue.size() == 1)
        startNext();
}

// The front of the queue is the file being read: its end is awaited.
void SourceReadAhead::forget(quint64 key) {
    if (m_queue.empty())
        return;
    const auto waiting = std::remove_if(m_queue.begin() + 1, m_queue.end(),
                                        [key](const Pending& p) { return p.key == key; });
    m_queue.erase(waiting, m_queue.end());
}

bool SourceReadAhead::isReading(quint64 key) const {
    return m_reader.isRunning() && !m_queue.empty() && m_queue.front().key == key;
}

// A file read already (by an earlier run, or listed twice) is not read again.
void SourceReadAhead::startNext() {
    while (!m_queue.empty()) {
        const Pending& next = m_queue.front();
        if (const SourceStreams* kept = cachedSourceStreams(next.path)) {
            const Pending done = next;
            const SourceStreams streams = *kept;
            m_queue.pop_front();
            Q_EMIT read(done.key, streams);
            continue;
        }
        if (!QFileInfo(next.path).isFile()) {
            m_queue.pop_front();
            continue;
        }
        m_reader.setProgram(m_encoderPath, sourceReadArguments(next.path));
        m_reader.start();
        return;
    }
}

} // namespace mirelo
