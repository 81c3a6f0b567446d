#pragma once

#include <QGroupBox>

class QLabel;
class QSlider;
class QToolButton;

namespace mirelo {

class VideoSurface;

// The preview frame: the video area, the transport buttons, the position slider and the clock
// labels. It only lays them out; the preview player gives them behaviour.
class PreviewFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit PreviewFrame(QWidget* parent = nullptr);

    VideoSurface* videoSurface() const { return m_video; }
    QToolButton* playButton() const { return m_play; }
    QToolButton* pauseButton() const { return m_pause; }
    QToolButton* stopButton() const { return m_stop; }
    QToolButton* backButton() const { return m_back; }
    QToolButton* forwardButton() const { return m_forward; }
    QToolButton* firstFrameButton() const { return m_first; }
    QToolButton* lastFramesButton() const { return m_last; }
    QSlider* positionSlider() const { return m_slider; }
    QLabel* currentTimeLabel() const { return m_current; }
    QLabel* totalTimeLabel() const { return m_total; }

private:
    QToolButton* addButton(const char* name, const char* tip, const char* icon);

    VideoSurface* m_video;
    QToolButton* m_play;
    QToolButton* m_pause;
    QToolButton* m_stop;
    QToolButton* m_back;
    QToolButton* m_forward;
    QToolButton* m_first;
    QToolButton* m_last;
    QSlider* m_slider;
    QLabel* m_current;
    QLabel* m_total;
};

} // namespace mirelo
