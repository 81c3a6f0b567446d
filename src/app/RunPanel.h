#pragma once

#include <QFrame>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace mirelo {

// Picture4: the run panel shown while a batch converts: the "Converting Time:" clock
// (SkinLabel2), the overall and per-item bars, the speed and time left, and "Cancel" (Command1).
// It floats over the main window and the user can drag it by its background. Its width follows
// the window's; a caption too long for it is shortened in the middle, whole in its tooltip.
class RunPanel : public QFrame {
    Q_OBJECT
public:
    explicit RunPanel(QWidget* parent = nullptr);

    QLabel* clockLabel() const { return m_clock; }          // SkinLabel2
    QGroupBox* progressFrame() const { return m_progress; } // Frame14, caption set per item
    QProgressBar* totalProgress() const { return m_total; } // prgTotalProgress
    QProgressBar* trackProgress() const { return m_track; } // prgTrackProgress
    QLabel* rateLabel() const { return m_rate; }            // speed and time left
    QPushButton* cancelButton() const { return m_cancel; }  // Command1

    // Frame14's caption ("Progress...." and the item's paths), as given.
    QString progressCaption() const { return m_caption; }
    void setProgressCaption(const QString& caption);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QWidget* buildClock();
    QWidget* buildProgress();
    void fitToWindow();
    void moveWithinWindow(QPoint topLeft);
    void showCaption();

    QLabel* m_clock = nullptr;
    QGroupBox* m_progress = nullptr;
    QProgressBar* m_total = nullptr;
    QProgressBar* m_track = nullptr;
    QLabel* m_rate = nullptr;
    QPushButton* m_cancel = nullptr;
    QString m_caption;
    bool m_placed = false; // centred on the first show; afterwards where the user left it
    bool m_dragging = false;
    QPoint m_grip; // press point in the panel's own coordinates
};

} // namespace mirelo
