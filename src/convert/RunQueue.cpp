#include "convert/RunQueue.h"

#include "base/CoreCount.h"
#include "convert/RunProgress.h"

#include <algorithm>
#include <cmath>

namespace mirelo {

namespace {
constexpr int kLoadCheckMs = 250;
} // namespace

RunQueue::RunQueue(SourceListModel& rows, QObject* parent)
    : QObject(parent), m_rows(rows), m_systemLoad(std::make_unique<ProcCpuLoad>()),
      m_auto(std::make_unique<AutoJobLimit>(*m_systemLoad)) {
    // A row waited for may end its probe or go away.
    connect(&m_rows, &SourceListModel::rowProbed, this, &RunQueue::onRowsChanged);
    connect(&m_rows, &QAbstractItemModel::rowsRemoved, this, &RunQueue::onRowsChanged);
    connect(&m_rows, &QAbstractItemModel::modelReset, this, &RunQueue::onRowsChanged);
    m_loadTimer.setInterval(kLoadCheckMs);
    connect(&m_loadTimer, &QTimer::timeout, this, &RunQueue::ready);
}

RunQueue::~RunQueue() = default;

void RunQueue::setLoadSource(CpuLoadSource* source) {
    m_auto = std::make_unique<AutoJobLimit>(source ? *source : *m_systemLoad);
}

void RunQueue::begin(const QList<RowId>& ids, const QString& encoder) {
    stop();
    m_ids = ids;
    m_index = 0;
    m_auto->reset();
    m_readAhead = std::make_unique<SourceReadAhead>(encoder);
    connect(m_readAhead.get(), &SourceReadAhead::read, this, &RunQueue::onRead);
    std::vector<SourceReadAhead::File> files;
    for (const RowId id : m_ids)
        if (const SourceRow* row = m_rows.find(id))
            files.push_back({row->id, row->path});
    m_readAhead->enqueue(files);
}

// The run may end while the read-ahead reports a read: it goes once it has returned.
void RunQueue::stop() {
    m_waitingForProbe = false;
    m_waitingForRead = 0;
    m_loadTimer.stop();
    if (!m_readAhead)
        return;
    m_readAhead->disconnect(this);
    m_readAhead->stop();
    m_readAhead->setParent(this);
    m_readAhead.release()->deleteLater();
}

// Files read already are reported as they come, before or after the awaited one.
void RunQueue::onRead(RowId id, const SourceStreams& streams) {
    const SourceRow* row = m_rows.find(id);
    if (row && !row->length && streams.duration && *streams.duration >= 1)
        m_rows.setLength(id, int(std::llround(*streams.duration)));
    if (m_waitingForRead == id) {
        m_waitingForRead = 0;
        Q_EMIT ready();
    }
}

void RunQueue::onRowsChanged() {
    if (m_waitingForProbe)
        Q_EMIT ready();
}

RowId RunQueue::takeNext(int running, bool oneThreadEach) {
    m_waitingForProbe = false;
    while (m_index < m_ids.size()) {
        const SourceRow* row = m_rows.find(m_ids[m_index]);
        if (!row) {
            ++m_index; // removed during the run
            continue;
        }
        if (!row->probed()) {
            m_waitingForProbe = true;
            return 0;
        }
        if (!mayStart(running, oneThreadEach))
            return 0;
        if (m_readAhead && m_readAhead->isReading(row->id)) {
            m_waitingForRead = row->id; // a second read would not be quicker
            return 0;
        }
        ++m_index;
        return row->id;
    }
    return 0;
}

bool RunQueue::mayStart(int running, bool oneThreadEach) {
    if (running == 0)
        return true;
    if (!m_limit.automatic)
        return running < m_limit.count;
    return m_auto->mayStart(running, oneThreadEach);
}

void RunQueue::started(RowId id) {
    if (m_readAhead)
        m_readAhead->forget(id);
}

// Jobs side by side split the cores between them; a job alone keeps the encoder's own choice.
int RunQueue::threadsPerJob() const {
    const int places = m_limit.automatic ? m_auto->places() : m_limit.count;
    return places > 1 ? std::max(1, coreCount() / places) : 0;
}

double RunQueue::laterSeconds() const {
    double later = 0;
    for (qsizetype i = m_index; i < m_ids.size(); ++i)
        if (const SourceRow* row = m_rows.find(m_ids[i]))
            later += clipSeconds(row->clipStart, row->clipEnd, row->length);
    return later;
}

void RunQueue::updateLoadTimer(bool active, int running) {
    const bool waiting =
        active && m_limit.automatic && !m_waitingForProbe && !isEmpty() && running > 0;
    if (!waiting)
        m_loadTimer.stop();
    else if (!m_loadTimer.isActive())
        m_loadTimer.start();
}

} // namespace mirelo
