#pragma once

#include <QFrame>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace mirelo {

// Picture4: the run panel shown while a batch converts: the "Converting Time:" clock
// (SkinLabel2), the overall and per-item bars, and "Cancel" (Command1). It floats over the main
// window and the user can drag it by its background.
class RunPanel : public QFrame {
    Q_OBJECT
public:
    explicit RunPanel(QWidget* parent = nullptr);

    QLabel* clockLabel() const { return m_clock; }          // SkinLabel2
    QGroupBox* progressFrame() const { return m_progress; } // Frame14, caption set per item
    QProgressBar* totalProgress() const { return m_total; } // prgTotalProgress
    QProgressBar* trackProgress() const { return m_track; } // prgTrackProgress
    QPushButton* cancelButton() const { return m_cancel; }  // Command1

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QLabel* m_clock;
    QGroupBox* m_progress;
    QProgressBar* m_total;
    QProgressBar* m_track;
    QPushButton* m_cancel;
    bool m_placed = false; // centred on the first show; afterwards where the user left it
    bool m_dragging = false;
    QPoint m_grip; // press point in the panel's own coordinates
};

} // namespace mirelo
