#pragma once

#include "convert/AutoJobLimit.h"
#include "convert/SourceReadAhead.h"
#include "settings/SimultaneousJobs.h"
#include "sourcelist/SourceListModel.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>

namespace mirelo {

// The rows of a run that have not started, in list order, and when the next may start. A row
// removed meanwhile is passed over, a row still being probed is waited for, and so is a row whose
// file the encoder is reading ahead; the "jobs" setting says how many rows convert at once: a
// number, or as many as the machine has idle cores for ("auto", looked at again while rows wait).
// Every row's file is read ahead, several to one encoder: the first rows start as soon as the
// encoder has gone past their files, later ones are read while earlier ones convert, and a row the
// list knows no length of gets one.
class RunQueue : public QObject {
    Q_OBJECT
public:
    explicit RunQueue(SourceListModel& rows, QObject* parent = nullptr);
    ~RunQueue() override;

    // What "auto" measures; not owned. Null: the machine's /proc.
    void setLoadSource(CpuLoadSource* source);
    void setLimit(SimultaneousJobs limit) { m_limit = limit; }
    bool oneAtATime() const { return !m_limit.automatic && m_limit.count <= 1; }

    // A run's rows, their files read ahead with the encoder.
    void begin(const QList<RowId>& ids, const QString& encoder);
    // Stops reading ahead and waiting; the rows not started stay where they are.
    void stop();

    // The next row to start, taken off the queue; 0 when none may start now (ready() tells when
    // one may) or none is left. running: rows converting now; oneThreadEach: each of them keeps
    // about one core busy.
    RowId takeNext(int running, bool oneThreadEach);
    bool isEmpty() const { return m_index >= m_ids.size(); }
    // The row has started: its file needs no reading ahead any more.
    void started(RowId id);
    // Encoder threads for each of the rows running side by side; 0: the encoder's own choice.
    int threadsPerJob() const;
    // The media seconds of the rows not started yet.
    double laterSeconds() const;
    // "auto" looks at the machine's load again while rows wait for a place; active: the run goes
    // on.
    void updateLoadTimer(bool active, int running);

Q_SIGNALS:
    // A row waited for may start now.
    void ready();

private:
    bool mayStart(int running, bool oneThreadEach);
    void onRowsChanged();
    void onRead(RowId id, const SourceStreams& streams);

    SourceListModel& m_rows;
    SimultaneousJobs m_limit;
    QList<RowId> m_ids;
    qsizetype m_index = 0; // the next row to start
    bool m_waitingForProbe = false;
    RowId m_waitingForRead = 0; // the next row, whose file is being read ahead
    std::unique_ptr<SourceReadAhead> m_readAhead;
    std::unique_ptr<CpuLoadSource> m_systemLoad;
    std::unique_ptr<AutoJobLimit> m_auto;
    QTimer m_loadTimer;
};

} // namespace mirelo
