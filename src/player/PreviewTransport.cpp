#include "player/PreviewTransport.h"

#include "base/TimeString.h"
#include "player/PlayerKeys.h"
#include "player/PreviewPlayer.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace mirelo {

namespace {

// Whole seconds, halves to the even neighbour.
int roundToInt(double value) {
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

PreviewTransport::PreviewTransport(PreviewPlayer& player, QObject* parent)
    : QObject(parent), m_player(player) {
    connect(&m_player, &PreviewPlayer::startRequested, this, &PreviewTransport::onStartRequested);
}

void PreviewTransport::setClock(QTimer* clock) {
    if (m_clock)
        m_clock->disconnect(this);
    if (!clock) {
        if (!m_ownClock)
            m_ownClock = new QTimer(this);
        clock = m_ownClock;
    }
    m_clock = clock;
    m_clock->setInterval(kClockIntervalMs);
    connect(m_clock, &QTimer::timeout, this, &PreviewTransport::tick);
}

bool PreviewTransport::isClockRunning() const {
    return m_clock && m_clock->isActive();
}

void PreviewTransport::setClockRunning(bool running) {
    if (!m_clock)
        setClock(nullptr);
    if (running)
        m_clock->start();
    else
        m_clock->stop();
}

void PreviewTransport::startPlayer(std::optional<int> offset) {
    const quint64 window = m_windowId ? m_windowId() : 0;
    m_startedWindow = window;
    m_player.start(window, m_file, offset);
}

void PreviewTransport::onStartRequested(quint64 windowId) {
    // Another preview took the player over: this clock has nothing left to follow.
    if (m_startedWindow && *m_startedWindow != windowId)
        stopClock();
}

void PreviewTransport::play(const QString& file, const QString& videoTime, int from) {
    if (m_player.playerProcessId() != 0)
        PlayerKeys::send(m_player, PlayerKeys::KeyQuit);
    m_file = file;
    startPlayer(from > 0 ? std::optional<int>(from) : std::nullopt);
    Q_EMIT totalTimeChanged(totalTimeText(videoTime));
    m_player.setPlayPosition(from);
    if (const std::optional<int> length = parseTimeString(videoTime))
        m_player.setPlayLength(*length);
    if (from > 0) {
        if (const std::optional<int> value = sliderValueAt(from, m_player.playLength()))
            Q_EMIT sliderValueChanged(*value);
        Q_EMIT currentTimeChanged(formatTimeString(from));
    }
    setClockRunning(true);
}

void PreviewTransport::pause() {
    PlayerKeys::send(m_player, PlayerKeys::KeyPause);
    setClockRunning(!isClockRunning());
}

void PreviewTransport::stop() {
    PlayerKeys::send(m_player, PlayerKeys::KeyQuit);
    m_player.setPlayPosition(0);
    setClockRunning(false);
    Q_EMIT sliderValueChanged(0);
    Q_EMIT currentTimeChanged(formatTimeString(0));
    Q_EMIT stopped();
}

void PreviewTransport::back() {
    PlayerKeys::send(m_player, PlayerKeys::KeyBack);
}

void PreviewTransport::forward() {
    PlayerKeys::send(m_player, PlayerKeys::KeyForward);
}

void PreviewTransport::firstFrame() {
    PlayerKeys::send(m_player, PlayerKeys::KeyQuit);
    startPlayer(std::nullopt);
    m_player.setPlayPosition(0);
    setClockRunning(true);
}

void PreviewTransport::lastFrames() {
    PlayerKeys::send(m_player, PlayerKeys::KeyQuit);
    startPlayer(m_player.playLength());
    m_player.setPlayPosition(m_player.playLength());
    setClockRunning(true);
}

void PreviewTransport::sliderReleased(int value) {
    const int position = positionAtSlider(value, m_player.playLength());
    m_player.setPlayPosition(position);
    Q_EMIT currentTimeChanged(formatTimeString(position));
    if (position < m_player.playLength()) {
        PlayerKeys::send(m_player, PlayerKeys::KeyQuit);
        startPlayer(position);
    } else {
        setClockRunning(false);
    }
}

void PreviewTransport::tick() {
    const int position = m_player.playPosition() + 1;
    m_player.setPlayPosition(position);
    if (const std::optional<int> value = sliderValueAt(position, m_player.playLength()))
        Q_EMIT sliderValueChanged(*value);
    Q_EMIT currentTimeChanged(formatTimeString(position));
    if (position >= m_player.playLength())
        setClockRunning(false);
}

void PreviewTransport::stopClock() {
    setClockRunning(false);
}

QString PreviewTransport::totalTimeText(const QString& videoTime) {
    return QStringLiteral("Total time:") + videoTime;
}

std::optional<int> PreviewTransport::sliderValueAt(int position, int length) {
    if (length <= 0)
        return std::nullopt;
    // Past the end (Last Frames starts there) the handle sits at the end.
    const int value = roundToInt(static_cast<double>(position) / length * kSliderMaximum);
    return std::clamp(value, 0, kSliderMaximum);
}

int PreviewTransport::positionAtSlider(int value, int length) {
    return roundToInt(static_cast<double>(value) * length / kSliderMaximum);
}

} // namespace mirelo
