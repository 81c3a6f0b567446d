#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QTimer;

namespace mirelo {

class PreviewPlayer;

// The preview's transport commands and its clock, for one video window (the main window's preview
// area, the clip editor's). The clock counts whole seconds on its own; it is never read back from
// the player. The clock position and the length are the ones every preview shares, kept by the
// PreviewPlayer.
//
// The view shows what the signals say: the position slider (0 to 100, percent of the length),
// the clock label and the total-time label.
class PreviewTransport : public QObject {
    Q_OBJECT
public:
    static constexpr int kSliderMaximum = 100;
    static constexpr int kClockIntervalMs = 1000;

    explicit PreviewTransport(PreviewPlayer& player, QObject* parent = nullptr);

    PreviewPlayer& player() const { return m_player; }
    // The native window the video goes to; asked at every start.
    void setVideoWindow(std::function<quint64()> windowId) { m_windowId = std::move(windowId); }
    // The timer that drives the clock: a window's own, or the transport's when none is given.
    void setClock(QTimer* clock);
    QTimer* clock() const { return m_clock; }
    bool isClockRunning() const;

    // The file the commands play: the selected source in the main window, the clip's file in the
    // clip editor.
    QString currentFile() const { return m_file; }
    void setCurrentFile(const QString& file) { m_file = file; }

    // Play: the previous player quits; `file` plays from `from` seconds (its start by default);
    // "Total time:" and the shared length come from `videoTime` (the length stays when that is not
    // a time); the clock starts at `from`.
    void play(const QString& file, const QString& videoTime, int from = 0);
    // Pause toggles the player and the clock together.
    void pause();
    // Stop quits the player and returns the preview to its idle state at once: clock stopped at
    // 0, slider at 0, clock label 0:00:00, picture cleared.
    void stop();
    // Seek keys; the clock does not follow them.
    void back();
    void forward();
    // First Frame restarts the file from 0; Last Frames restarts it at the shared length.
    void firstFrame();
    void lastFrames();
    // The position slider let go at `value` percent: restarts the player there, or stops the clock
    // when that is the end.
    void sliderReleased(int value);
    // One clock second.
    void tick();
    // The clock stops without touching the player (its player was quit for another preview).
    void stopClock();

    // The length label's text for a "Video Time".
    static QString totalTimeText(const QString& videoTime);
    // The arithmetic of the clock and the slider.
    static std::optional<int> sliderValueAt(int position, int length);
    static int positionAtSlider(int value, int length);

Q_SIGNALS:
    void sliderValueChanged(int value);
    void currentTimeChanged(const QString& text);
    void totalTimeChanged(const QString& text);
    // Stop was pressed: the video window should show its idle picture again.
    void stopped();

private:
    void startPlayer(std::optional<int> offset);
    void setClockRunning(bool running);
    void onStartRequested(quint64 windowId);

    PreviewPlayer& m_player;
    std::function<quint64()> m_windowId;
    QTimer* m_clock = nullptr;
    QTimer* m_ownClock = nullptr;
    QString m_file;
    std::optional<quint64> m_startedWindow;
};

} // namespace mirelo
