#pragma once

#include "capture/CameraControls.h"
#include "capture/CaptureCommand.h"
#include "capture/CaptureProgress.h"
#include "capture/Compressors.h"
#include "capture/DeviceSource.h"
#include "tools/ProgramRunner.h"

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

    int deviceCount() const { return int(devices_.size()); }
    QString deviceName(int index) const;
    int compressorCount() const { return int(compressors_.size()); }
    QString compressorName(int index) const;
    bool compressorsLoaded() const { return compressorsLoaded_; }

    void setConnected(bool on);
    bool connected() const { return connected_; }
    void setDeviceIndex(int index);
    int deviceIndex() const { return deviceIndex_; }
    void setCaptureFileName(const QString& path) { captureFile_ = path; }
    QString captureFileName() const { return captureFile_; }
    void setPreview(bool on);
    bool preview() const { return preview_; }
    // -1 (or any index out of range) records MPEG-4 Part 2 with the DIVX tag.
    void setCompressorIndex(int index) { compressorIndex_ = index; }
    int compressorIndex() const { return compressorIndex_; }
    void setStretchPreview(bool on) { format_.stretch = on; }
    bool stretchPreview() const { return format_.stretch; }
    void setBackgroundColor(quint32 rgb) { format_.background = rgb & 0xFFFFFF; }
    quint32 backgroundColor() const { return format_.background; }
    const PreviewFormat& previewFormat() const { return format_; }

    bool isCapturing() const { return capturing_; }
    void startCapture();
    void stopCapture();
    CaptureStatistics statistics() const { return statistics_; }

    std::optional<ControlRange> controlRange(int control) const;
    std::optional<int> controlValue(int control) const;
    bool setControlValue(int control, int value);

    // True while an encoder process exists (running or being stopped).
    bool isBusy() const { return runner_.isRunning(); }
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

    DeviceSource* deviceSource_;
    std::unique_ptr<CameraControls> controls_;
    QString encoderPath_;
    QList<CaptureDevice> devices_;
    QList<Compressor> compressors_;
    bool compressorsLoaded_ = false;

    bool connected_ = false;
    int deviceIndex_ = -1;
    QString captureFile_;
    bool preview_ = false;
    int compressorIndex_ = -1;
    bool capturing_ = false;
    PreviewFormat format_;
    CaptureStatistics statistics_;

    ProgramRunner runner_;
    Mode runningMode_ = Mode::None;
    int runningDevice_ = -1;
    QString runningFile_;
    bool stopRequested_ = false;
    QByteArray frameBuffer_;
    CaptureProgressReader progress_;
};

} // namespace mirelo

Q_DECLARE_METATYPE(mirelo::CaptureFrame)
