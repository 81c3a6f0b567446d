#include "convert/SourceReadAhead.h"

#include <QFileInfo>

#include <algorithm>

namespace mirelo {

namespace {

// An encoder's help, or its report on a file with many streams, is a few kilobytes.
constexpr qsizetype kMaxReportBytes = 1024 * 1024;
// Opening a file, or printing its help, takes the encoder well under a second.
constexpr int kReadTimeoutMs = 30000;

SourceStreams keepSourceRead(const QString& path, const QString& report, int input = 0) {
    SourceStreams found = parseSourceStreams(report, input);
    if (!found.streams.empty())
        storeSourceStreams(path, found);
    return found;
}

// A file whose name breaks a line is opened alone: its name could pose as another file's part.
bool breaksLine(const QString& path) {
    return path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'));
}

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
    return keepSourceRead(path, QString::fromUtf8(runner.keptOutput()));
}

SourceReadAhead::SourceReadAhead(const QString& encoderPath, QObject* parent)
    : QObject(parent), m_encoderPath(encoderPath) {
    prepareSourceRead(m_reader);
    m_reader.setKeptOutputLimit(0); // the lines are taken as they come
    m_reader.setLineChannel(ProgramRunner::Channel::Output);
    connect(&m_reader, &ProgramRunner::lineReceived, this,
            [this](ProgramRunner::Channel, const QString& line) { takeLine(line); });
    connect(&m_reader, &ProgramRunner::finished, this, &SourceReadAhead::onFinished);
}

SourceReadAhead::~SourceReadAhead() {
    m_reader.disconnect(this);
    m_reader.kill();
}

void SourceReadAhead::stop() {
    ++m_stops;
    m_queue.clear();
    m_batch.clear();
    m_reported = 0;
    clearPart();
    m_reader.kill();
}

void SourceReadAhead::clearPart() {
    m_part.clear();
    m_partSize = 0;
}

void SourceReadAhead::enqueue(const std::vector<File>& files) {
    m_queue.insert(m_queue.end(), files.begin(), files.end());
    if (m_batch.empty())
        startNext();
}

// Files the encoder has been given are awaited.
void SourceReadAhead::forget(quint64 key) {
    std::erase_if(m_queue, [key](const File& p) { return p.key == key; });
}

bool SourceReadAhead::isReading(quint64 key) const {
    return m_reader.isRunning() &&
           std::any_of(m_batch.begin() + qsizetype(m_reported), m_batch.end(),
                       [key](const File& p) { return p.key == key; });
}

// The encoder's part on input K begins "Input #K, FORMAT, from 'PATH':"; -1 for any other line.
int SourceReadAhead::headerIndex(const QString& line) const {
    if (!line.startsWith(QLatin1String("Input #")))
        return -1;
    bool ok = false;
    const int index = line.mid(7).section(QLatin1Char(','), 0, 0).toInt(&ok);
    if (!ok || index < int(m_reported) || index >= int(m_batch.size()))
        return -1;
    const QString ending = QLatin1String(" from '") + m_batch[index].path + QLatin1String("':");
    return line.endsWith(ending) ? index : -1;
}

// A file's part ends where the next file's begins.
void SourceReadAhead::takeLine(const QString& line) {
    const int index = headerIndex(line);
    if (index < 0) {
        if (!m_part.isEmpty() && m_partSize < kMaxReportBytes) {
            m_part << line;
            m_partSize += line.size();
        }
        return;
    }
    const std::vector<Done> done = finishUpTo(index);
    m_part = QStringList{line};
    m_partSize = line.size();
    report(done);
}

std::vector<SourceReadAhead::Done> SourceReadAhead::finishUpTo(std::size_t end) {
    std::vector<Done> done;
    for (; m_reported < end; ++m_reported) {
        const File& file = m_batch[m_reported];
        const QString part = m_part.join(QLatin1Char('\n'));
        clearPart();
        done.push_back({file, keepSourceRead(file.path, part, int(m_reported))});
    }
    return done;
}

// The encoder stops at a file it cannot open: that file is done, unread; those after it are read
// again by the next encoder. A part cut short by a time-out or a crash says nothing.
void SourceReadAhead::onFinished(const ProgramEnd& end) {
    if (m_batch.empty()) // stopped
        return;
    if (end.kind != ProgramEnd::Kind::Exited || end.timedOut)
        clearPart();
    std::vector<Done> done = finishUpTo(m_reported + (m_part.isEmpty() ? 0 : 1));
    if (m_reported < m_batch.size())
        done.push_back({m_batch[m_reported++], {}});
    m_queue.insert(m_queue.begin(), m_batch.begin() + qsizetype(m_reported), m_batch.end());
    m_batch.clear();
    m_reported = 0;
    startNext();
    report(done);
}

void SourceReadAhead::report(const std::vector<Done>& done) {
    const quint64 stops = m_stops;
    for (const Done& d : done) {
        if (m_stops != stops)
            return;
        Q_EMIT read(d.file.key, d.streams);
    }
}

// A file listed twice is read once: the second waits for the first's result.
bool SourceReadAhead::joinsBatch(const File& file) const {
    return !breaksLine(m_batch.front().path) && !breaksLine(file.path) &&
           !cachedSourceStreams(file.path) &&
           std::none_of(m_batch.begin(), m_batch.end(),
                        [&file](const File& f) { return f.path == file.path; });
}

// A file read already (by an earlier run, or listed twice) is not read again.
void SourceReadAhead::startNext() {
    while (!m_queue.empty()) {
        const File next = m_queue.front();
        if (const SourceStreams* kept = cachedSourceStreams(next.path)) {
            m_queue.pop_front();
            report({{next, *kept}});
        } else if (!QFileInfo(next.path).isFile()) {
            m_queue.pop_front();
        } else {
            break;
        }
    }
    if (m_queue.empty() || !m_batch.empty())
        return;
    // The first file goes even when it must go alone.
    QStringList arguments = sourceReadArguments(m_queue.front().path);
    m_batch.push_back(m_queue.front());
    m_queue.pop_front();
    while (int(m_batch.size()) < kFilesPerRead && !m_queue.empty()) {
        if (!QFileInfo(m_queue.front().path).isFile()) {
            m_queue.pop_front(); // gone since it was listed: nothing to read
            continue;
        }
        if (!joinsBatch(m_queue.front()))
            break;
        arguments << QStringLiteral("-i") << m_queue.front().path;
        m_batch.push_back(m_queue.front());
        m_queue.pop_front();
    }
    m_reader.setProgram(m_encoderPath, arguments);
    m_reader.start();
}

} // namespace mirelo
