#pragma once

#include <QGroupBox>

class QLabel;
class QSlider;
class QToolButton;

namespace mirelo {

class VideoSurface;

// The preview frame: the video area Text2, the transport buttons, the position slider Slider1
// and the clock labels. It only lays them out; the preview player gives them behaviour.
class PreviewFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit PreviewFrame(QWidget* parent = nullptr);

    VideoSurface* videoSurface() const { return m_video; }    // Text2
    QToolButton* playButton() const { return m_play; }        // cmdPlay
    QToolButton* pauseButton() const { return m_pause; }      // cmdPause
    QToolButton* stopButton() const { return m_stop; }        // cmdStop
    QToolButton* backButton() const { return m_back; }        // cmdBack
    QToolButton* forwardButton() const { return m_forward; }  // cmdForward
    QToolButton* firstFrameButton() const { return m_first; } // Command4
    QToolButton* lastFramesButton() const { return m_last; }  // Command5
    QSlider* positionSlider() const { return m_slider; }      // Slider1
    QLabel* currentTimeLabel() const { return m_current; }    // LblCurTime
    QLabel* totalTimeLabel() const { return m_total; }        // SkinLabel10

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
