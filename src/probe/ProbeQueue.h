#pragma once

#include "probe/MediaInfo.h"
#include "probe/MediaProbe.h"

#include <QObject>
#include <QString>

#include <deque>
#include <memory>
#include <vector>

namespace mirelo {

// Runs media probes concurrently, at most maxConcurrent() at once (by default as many as the
// machine has cores), starting them in the order they were queued. Results arrive in the order
// probes end; each carries the ticket enqueue() returned.
class ProbeQueue : public QObject {
    Q_OBJECT
public:
    explicit ProbeQueue(QObject* parent = nullptr);
    ~ProbeQueue() override;

    void setMaxConcurrent(int n); // at least 1
    int maxConcurrent() const { return m_maxConcurrent; }
    // Passed on to every probe (tests point it at a missing program).
    void setPlayerProgram(const QString& program) { m_player = program; }

    quint64 enqueue(const QString& path);
    // A waiting probe is dropped, a running one stopped; no result is reported for it.
    void cancel(quint64 ticket);
    void cancelAll();

    int runningCount() const;
    int waitingCount() const { return int(m_waiting.size()); }
    bool isIdle() const { return runningCount() == 0 && m_waiting.empty(); }

Q_SIGNALS:
    void probed(quint64 ticket, const QString& path, const mirelo::MediaInfo& info,
                mirelo::MediaProbe::Outcome outcome, const QString& message);
    // The player program is missing: reported once until the queue has been idle again.
    void playerMissing(const QString& message);
    // The last queued probe has ended.
    void idle();

private:
    struct Slot {
        std::unique_ptr<MediaProbe> probe;
        quint64 ticket = 0;
    };
    struct Waiting {
        quint64 ticket;
        QString path;
    };

    void startWaiting();
    void onProbeFinished(Slot* slot);

    int m_maxConcurrent = 1;
    QString m_player;
    quint64 m_nextTicket = 1;
    bool m_missingReported = false;
    std::deque<Waiting> m_waiting;
    std::vector<std::unique_ptr<Slot>> m_slots;
};

} // namespace mirelo
