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
    QComboBox* deviceList() const { return m_deviceList; }
    // The slider of a camera control (Pan, Tilt, Roll, Zoom).
    QSlider* slider(int index) const { return m_controlSliders.at(size_t(index)); }
    QLabel* statisticsLabel() const { return m_statisticsLabel; }
    QLineEdit* fileEdit() const { return m_fileEdit; }
    QPushButton* startButton() const { return m_startButton; }
    QPushButton* stopButton() const { return m_stopButton; }
    QPushButton* previewButton() const { return m_previewButton; }
    QPushButton* exitButton() const { return m_exitButton; }
    QPushButton* browseButton() const { return m_browseButton; }
    CapturePicture* picture() const { return m_picture; }
    QTimer* statisticsTimer() const { return m_statisticsTimer; }
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
    void prepareEngine();
    void fillDeviceList();
    void chooseDevice(int index);
    void setControl(int index, int value);
    void startRecording();
    void stopRecording();
    void showPreview();
    void exitWindow();
    void browseForFile();
    void openSaveDialog(const QString& proposed);
    void showStatistics();
    void devicesChanged();
    void updateCommands();
    void showFailure(const QString& message);
    void finishClosing();

    std::unique_ptr<CaptureEngine> m_engine;

    EndNotice m_endNotice;
    QGroupBox* m_pictureFrame = nullptr;
    QGroupBox* m_cameraFrame = nullptr;
    QGroupBox* m_fileFrame = nullptr;
    CapturePicture* m_picture = nullptr;
    QComboBox* m_deviceList = nullptr;
    std::array<QSlider*, CameraControlCount> m_controlSliders{};
    QLabel* m_statisticsLabel = nullptr;
    QLineEdit* m_fileEdit = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QPushButton* m_previewButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QPushButton* m_browseButton = nullptr;
    QTimer* m_statisticsTimer = nullptr;
    QPointer<QFileDialog> m_saveDialog;
    QPointer<QMessageBox> m_folderMessage;
    bool m_closing = false;
};

} // namespace mirelo
