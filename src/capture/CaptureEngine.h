#pragma once

#include "capture/CameraControls.h"
#include "capture/CaptureCommand.h"
#include "capture/CaptureProgress.h"
#include "capture/Compressors.h"
#include "capture/DeviceSource.h"
#include "process/ProgramRunner.h"

#include <QByteArray>
#include <QObject>

#include <memory>
#include <optional>

namespace mirelo {

// One picture of the live view: packed RGB, three bytes per pixel, rows without padding.
struct CaptureFrame {
    QByteArray rgb;
    int width = 0;
    int height = 0;
};

// Records a capture device into an AVI file by running the encoder, and shows its live picture
// from raw frames the same encoder process writes to a pipe. At most one encoder runs: the
// picture alone while previewing, the recording (with the picture) while capturing. Each change
// of device, preview or capture stops the running encoder in stages (a 'q' on its standard input,
// then terminate, then kill) before the next one starts, so a recording always ends as a
// complete AVI file.
class CaptureEngine : public QObject {
    Q_OBJECT
public:
    // Takes ownership of the device source. encoderPath may be empty (no encoder installed).
    CaptureEngine(DeviceSource* devices, std::unique_ptr<CameraControls> controls,
                  const QString& encoderPath, QObject* parent = nullptr);
    ~CaptureEngine() override;

    int deviceCount() const { return int(m_devices.size()); }
    QString deviceName(int index) const;
    int compressorCount() const { return int(m_compressors.size()); }
    QString compressorName(int index) const;
    bool compressorsLoaded() const { return m_compressorsLoaded; }

    void setConnected(bool on);
    bool connected() const { return m_connected; }
    void setDeviceIndex(int index);
    int deviceIndex() const { return m_deviceIndex; }
    void setCaptureFileName(const QString& path) { m_captureFile = path; }
    QString captureFileName() const { return m_captureFile; }
    void setPreview(bool on);
    bool preview() const { return m_preview; }
    // -1 (or any index out of range) records MPEG-4 Part 2 with the DIVX tag.
    void setCompressorIndex(int index) { m_compressorIndex = index; }
    int compressorIndex() const { return m_compressorIndex; }
    void setStretchPreview(bool on) { m_format.stretch = on; }
    bool stretchPreview() const { return m_format.stretch; }
    void setBackgroundColor(quint32 rgb) { m_format.background = rgb & 0xFFFFFF; }
    quint32 backgroundColor() const { return m_format.background; }
    const PreviewFormat& previewFormat() const { return m_format; }

    bool isCapturing() const { return m_capturing; }
    void startCapture();
    void stopCapture();
    CaptureStatistics statistics() const { return m_statistics; }

    std::optional<ControlRange> controlRange(int control) const;
    std::optional<int> controlValue(int control) const;
    bool setControlValue(int control, int value);

    // True while an encoder process exists (running or being stopped).
    bool isBusy() const { return m_runner.isRunning(); }
    // Disconnects and stops whatever runs; idle() follows once no encoder is left.
    void shutDown();

Q_SIGNALS:
    void devicesChanged();
    void compressorsChanged();
    void frameReady(const mirelo::CaptureFrame& frame);
    void statisticsChanged();
    void capturingChanged(bool capturing);
    // A failure the user must hear of: a start that failed, a device that stopped delivering.
    void failed(const QString& message);
    // The recording's encoder has ended; the file is as complete as it will be.
    void recordingEnded(const QString& aviFile);
    // The last encoder ended and none is wanted.
    void idle();

private:
    enum class Mode { None, Preview, Recording };

    Mode wantedMode() const;
    const CaptureDevice* selectedDevice() const;
    void reconcile();
    void startEncoder(Mode mode);
    QStringList encoderArguments(Mode mode, const QString& aviFile) const;
    bool checkRecordingTarget();
    void requestStop();
    void readFrames(const QByteArray& bytes);
    void readProgress(const QByteArray& bytes);
    void encoderEnded(const ProgramEnd& end);
    QString failureMessage(const ProgramEnd& end) const;
    void queryCompressors();
    void takeCompressors();
    void setCapturing(bool on);

    DeviceSource* m_deviceSource;
    std::unique_ptr<CameraControls> m_controls;
    QString m_encoderPath;
    QList<CaptureDevice> m_devices;
    QList<Compressor> m_compressors;
    bool m_compressorsLoaded = false;

    bool m_connected = false;
    int m_deviceIndex = -1;
    QString m_captureFile;
    bool m_preview = false;
    int m_compressorIndex = -1;
    bool m_capturing = false;
    PreviewFormat m_format;
    CaptureStatistics m_statistics;

    ProgramRunner m_runner;
    Mode m_runningMode = Mode::None;
    int m_runningDevice = -1;
    QString m_runningFile;
    bool m_stopRequested = false;
    QByteArray m_frameBuffer;
    CaptureProgressReader m_progress;
};

} // namespace mirelo

Q_DECLARE_METATYPE(mirelo::CaptureFrame)
