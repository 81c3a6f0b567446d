#pragma once

#include "capture/CaptureEngine.h"
#include "platform/ui/DesktopNotifier.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <memory>

class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QSlider;
class QTimer;

namespace mirelo {

class CapturePicture;

// "Capture Video From DV": records a camera or DV camcorder into an AVI file with a live picture,
// statistics and camera controls. Opened modally from the main window:
//     CaptureWindow capture(this);
//     capture.exec();
// Closing it while something records ends the recording cleanly first, so it may take a moment
// (at most the encoder's stop grace) to go away; no encoder outlives it.
class CaptureWindow : public QDialog {
    Q_OBJECT
public:
    // The system's cameras and DV camcorders, the installed encoder, the application's skin.
    explicit CaptureWindow(QWidget* parent = nullptr);
    // Any engine (tests give one with a generated test picture) and skin file.
    CaptureWindow(std::unique_ptr<CaptureEngine> engine, const QString& skinFile,
                  QWidget* parent = nullptr);
    ~CaptureWindow() override;

    CaptureEngine* engine() const { return m_engine.get(); }
    // Told when a recording's file is complete.
    void setEndNotice(EndNotice notice) { m_endNotice = std::move(notice); }
    QComboBox* deviceList() const { return m_combo1; }                       // Combo1
    QSlider* slider(int index) const { return m_sliders.at(size_t(index)); } // Slider(0..3)
    QLabel* statisticsLabel() const { return m_label2; }                     // Label2
    QLineEdit* fileEdit() const { return m_text1; }                          // Text1
    QPushButton* startButton() const { return m_command1; }                  // Command1
    QPushButton* stopButton() const { return m_command2; }                   // Command2
    QPushButton* previewButton() const { return m_command3; }                // Command3
    QPushButton* exitButton() const { return m_command4; }                   // Command4
    QPushButton* browseButton() const { return m_command5; }                 // Command5
    CapturePicture* picture() const { return m_vcx; }                        // vcx
    QTimer* statisticsTimer() const { return m_timer1; }                     // Timer1
    // The save dialog while "Browse..." waits for the user; nullptr otherwise.
    QFileDialog* saveDialog() const;

    static QString defaultCaptureFile();

public Q_SLOTS:
    // Closing goes through here (Escape, the close box, "Exit"): a running encoder is stopped
    // first and the window closes when it has ended.
    void reject() override;

private:
    void buildUi(const QString& skinFile);
    QWidget* buildPictureFrame();
    QWidget* buildCameraFrame();
    QWidget* buildFileFrame();
    QLayout* buildCommands();
    void Form_Load();
    void fillDeviceList();
    void Combo1_Click(int index);
    void Slider_Click(int index, int value);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void openSaveDialog(const QString& proposed);
    void Timer1_Timer();
    void devicesChanged();
    void updateCommands();
    void showFailure(const QString& message);
    void finishClosing();

    std::unique_ptr<CaptureEngine> m_engine;

    EndNotice m_endNotice;
    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QGroupBox* m_frame3 = nullptr;
    CapturePicture* m_vcx = nullptr;
    QComboBox* m_combo1 = nullptr;
    std::array<QSlider*, CameraControlCount> m_sliders{};
    QLabel* m_label2 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QPushButton* m_command4 = nullptr;
    QPushButton* m_command5 = nullptr;
    QTimer* m_timer1 = nullptr;
    QPointer<QFileDialog> m_commonDialog1;
    QPointer<QMessageBox> m_folderMessage;
    bool m_closing = false;
};

} // namespace mirelo
