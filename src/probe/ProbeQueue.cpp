#include "probe/ProbeQueue.h"

#include <QThread>

#include <algorithm>

namespace mirelo {

ProbeQueue::ProbeQueue(QObject* parent)
    : QObject(parent), m_maxConcurrent(std::max(1, QThread::idealThreadCount())) {}

ProbeQueue::~ProbeQueue() = default;

void ProbeQueue::setMaxConcurrent(int n) {
    m_maxConcurrent = std::max(1, n);
    startWaiting();
}

int ProbeQueue::runningCount() const {
    return int(std::count_if(m_slots.begin(), m_slots.end(),
                             [](const std::unique_ptr<Slot>& s) { return s->ticket != 0; }));
}

quint64 ProbeQueue::enqueue(const QString& path) {
    const quint64 ticket = m_nextTicket++;
    m_waiting.push_back({ticket, path});
    startWaiting();
    return ticket;
}

void ProbeQueue::cancel(quint64 ticket) {
    const auto it = std::find_if(m_waiting.begin(), m_waiting.end(),
                                 [ticket](const Waiting& w) { return w.ticket == ticket; });
    if (it != m_waiting.end()) {
        m_waiting.erase(it);
        return;
    }
    for (const std::unique_ptr<Slot>& slot : m_slots) {
        if (slot->ticket == ticket) {
            slot->probe->cancel();
            slot->ticket = 0;
        }
    }
    startWaiting();
}

void ProbeQueue::cancelAll() {
    m_waiting.clear();
    for (const std::unique_ptr<Slot>& slot : m_slots) {
        slot->probe->cancel();
        slot->ticket = 0;
    }
    m_missingReported = false;
}

// Fills free slots from the front of the waiting line, so probes start in the order queued.
void ProbeQueue::startWaiting() {
    while (!m_waiting.empty() && runningCount() < m_maxConcurrent) {
        auto free = std::find_if(m_slots.begin(), m_slots.end(),
                                 [](const std::unique_ptr<Slot>& s) { return s->ticket == 0; });
        Slot* slot = nullptr;
        if (free != m_slots.end()) {
            slot = free->get();
        } else {
            m_slots.push_back(std::make_unique<Slot>());
            slot = m_slots.back().get();
            slot->probe = std::make_unique<MediaProbe>();
            connect(slot->probe.get(), &MediaProbe::finished, this,
                    [this, slot] { onProbeFinished(slot); });
        }
        const Waiting next = m_waiting.front();
        m_waiting.pop_front();
        slot->ticket = next.ticket;
        slot->probe->setPlayerProgram(m_player);
        slot->probe->start(next.path);
    }
}

void ProbeQueue::onProbeFinished(Slot* slot) {
    const quint64 ticket = slot->ticket;
    if (ticket == 0)
        return;
    slot->ticket = 0;
    const MediaProbe& probe = *slot->probe;
    const bool missing = probe.outcome() == MediaProbe::Outcome::PlayerMissing;
    if (missing && !m_missingReported) {
        m_missingReported = true;
        Q_EMIT playerMissing(probe.message());
    }
    // Copies: a receiver may queue more work, which reuses this slot.
    const QString path = probe.path();
    const MediaInfo info = probe.info();
    const MediaProbe::Outcome outcome = probe.outcome();
    const QString message = probe.message();
    startWaiting();
    Q_EMIT probed(ticket, path, info, outcome, message);
    if (isIdle()) {
        m_missingReported = false;
        Q_EMIT idle();
    }
}

} // namespace mirelo
