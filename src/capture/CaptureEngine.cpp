#include "capture/CaptureEngine.h"

#include "tools/ToolLocator.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace mirelo {

namespace {

// Grace given to the encoder after 'q' (it finishes the AVI index), then after terminate.
constexpr int kQuitGraceMs = 3000;
constexpr int kTerminateGraceMs = 2000;

} // namespace

CaptureEngine::CaptureEngine(DeviceSource* devices, std::unique_ptr<CameraControls> controls,
                             const QString& encoderPath, QObject* parent)
    : QObject(parent), deviceSource_(devices), controls_(std::move(controls)),
      encoderPath_(encoderPath), devices_(devices->devices()) {
    deviceSource_->setParent(this);
    connect(deviceSource_, &DeviceSource::devicesChanged, this, [this] {
        devices_ = deviceSource_->devices();
        Q_EMIT devicesChanged();
    });
    queryCompressors();
}

CaptureEngine::~CaptureEngine() {
    // Normally the owner has shut the engine down and waited for idle(); this is the last resort
    // that keeps an encoder from outliving its window.
    if (process_) {
        process_->disconnect(this);
        process_->kill();
    }
}

QString CaptureEngine::deviceName(int index) const {
    return index >= 0 && index < devices_.size() ? devices_[index].name : QString();
}

QString CaptureEngine::compressorName(int index) const {
    return index >= 0 && index < compressors_.size() ? compressors_[index].readableName : QString();
}

void CaptureEngine::setConnected(bool on) {
    // A recording belongs to its device: disconnecting ends it rather than letting it resume
    // on the next device into the same file.
    if (!on)
        setCapturing(false);
    connected_ = on;
    const CaptureDevice* device = selectedDevice();
    if (device)
        controls_->open(device->controlPath);
    else
        controls_->close();
    reconcile();
}

void CaptureEngine::setDeviceIndex(int index) {
    if (index != deviceIndex_)
        setCapturing(false);
    deviceIndex_ = index;
    if (connected_)
        setConnected(true);
}

void CaptureEngine::setPreview(bool on) {
    preview_ = on;
    reconcile();
}

void CaptureEngine::startCapture() {
    if (capturing_)
        return;
    if (!selectedDevice()) {
        Q_EMIT failed(QStringLiteral("No capture device is connected."));
        return;
    }
    if (!checkRecordingTarget())
        return;
    statistics_ = {};
    setCapturing(true);
    reconcile();
}

void CaptureEngine::stopCapture() {
    if (!capturing_)
        return;
    setCapturing(false);
    reconcile();
}

void CaptureEngine::shutDown() {
    setCapturing(false);
    preview_ = false;
    setConnected(false);
}

std::optional<ControlRange> CaptureEngine::controlRange(int control) const {
    return controls_->range(control);
}

std::optional<int> CaptureEngine::controlValue(int control) const {
    return controls_->value(control);
}

bool CaptureEngine::setControlValue(int control, int value) {
    return controls_->setValue(control, value);
}

const CaptureDevice* CaptureEngine::selectedDevice() const {
    if (!connected_ || deviceIndex_ < 0 || deviceIndex_ >= devices_.size())
        return nullptr;
    return &devices_[deviceIndex_];
}

CaptureEngine::Mode CaptureEngine::wantedMode() const {
    if (!selectedDevice())
        return Mode::None;
    if (capturing_)
        return Mode::Recording;
    return preview_ ? Mode::Preview : Mode::None;
}

void CaptureEngine::reconcile() {
    const Mode wanted = wantedMode();
    if (process_) {
        if (runningMode_ != wanted || runningDevice_ != deviceIndex_)
            requestStop();
        return;
    }
    if (wanted != Mode::None)
        startEncoder(wanted);
}

bool CaptureEngine::checkRecordingTarget() {
    if (encoderPath_.isEmpty()) {
        Q_EMIT failed(QStringLiteral("The encoder program %1 was not found, so nothing can be "
                                     "recorded. Install %1 and try again.")
                          .arg(encoderDisplayName()));
        return false;
    }
    if (captureFile_.trimmed().isEmpty()) {
        Q_EMIT failed(QStringLiteral("Enter the name of the capture file first."));
        return false;
    }
    const QFileInfo target(captureFile_);
    if (!target.absoluteDir().exists()) {
        Q_EMIT failed(QStringLiteral("The folder of the capture file \"%1\" does not exist.")
                          .arg(QDir::toNativeSeparators(target.absoluteFilePath())));
        return false;
    }
    return true;
}

QStringList CaptureEngine::encoderArguments(Mode mode, const QString& aviFile) const {
    const CaptureDevice& device = devices_[deviceIndex_];
    if (mode == Mode::Preview)
        return previewArguments(device, format_);
    const bool known = compressorIndex_ >= 0 && compressorIndex_ < compressors_.size();
    const QStringList codec =
        videoCodecArguments(known ? &compressors_[compressorIndex_] : nullptr);
    return recordingArguments(device, aviFile, codec, true, format_);
}

void CaptureEngine::startEncoder(Mode mode) {
    if (encoderPath_.isEmpty()) {
        preview_ = false;
        Q_EMIT failed(QStringLiteral("The encoder program %1 was not found, so the camera's "
                                     "picture cannot be shown.")
                          .arg(encoderDisplayName()));
        return;
    }
    runningMode_ = mode;
    runningDevice_ = deviceIndex_;
    runningFile_ = QFileInfo(captureFile_).absoluteFilePath();
    stopRequested_ = false;
    frameBuffer_.clear();
    progress_ = {};
    process_ = new QProcess(this);
    connect(process_, &QProcess::readyReadStandardOutput, this, &CaptureEngine::readFrames);
    connect(process_, &QProcess::readyReadStandardError, this, &CaptureEngine::readProgress);
    connect(process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        encoderEnded(code, status == QProcess::CrashExit);
    });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            encoderEnded(-1, true);
    });
    process_->start(encoderPath_, encoderArguments(mode, runningFile_));
}

void CaptureEngine::requestStop() {
    if (stopRequested_ || !process_)
        return;
    stopRequested_ = true;
    process_->write("q");
    QTimer::singleShot(kQuitGraceMs, process_, &QProcess::terminate);
    QTimer::singleShot(kQuitGraceMs + kTerminateGraceMs, process_, &QProcess::kill);
}

void CaptureEngine::readFrames() {
    frameBuffer_ += process_->readAllStandardOutput();
    const qsizetype frameBytes = format_.frameBytes();
    const qsizetype whole = frameBuffer_.size() / frameBytes;
    if (whole == 0)
        return;
    // Only the newest complete picture is worth painting.
    CaptureFrame frame{frameBuffer_.mid((whole - 1) * frameBytes, frameBytes), format_.width,
                       format_.height};
    frameBuffer_.remove(0, whole * frameBytes);
    if (preview_ || runningMode_ == Mode::Recording)
        Q_EMIT frameReady(frame);
}

void CaptureEngine::readProgress() {
    if (progress_.feed(process_->readAllStandardError()) && runningMode_ == Mode::Recording) {
        statistics_ = progress_.statistics();
        Q_EMIT statisticsChanged();
    }
}

void CaptureEngine::encoderEnded(int exitCode, bool crashed) {
    if (!process_)
        return;
    readProgress();
    const bool expected = stopRequested_;
    const Mode endedMode = runningMode_;
    const QString message = expected ? QString() : failureMessage(exitCode, crashed);
    process_->disconnect(this);
    process_->deleteLater();
    process_ = nullptr;
    runningMode_ = Mode::None;
    if (!expected) {
        // No automatic restart on a device that just failed: the user decides what next.
        preview_ = false;
        if (endedMode == Mode::Recording)
            setCapturing(false);
        Q_EMIT failed(message);
    }
    if (endedMode == Mode::Recording)
        Q_EMIT recordingEnded(runningFile_);
    reconcile();
    if (!process_)
        Q_EMIT idle();
}

QString CaptureEngine::failureMessage(int exitCode, bool crashed) const {
    const QString device = devices_.value(runningDevice_).name;
    QString what;
    if (runningMode_ == Mode::Recording)
        what = QStringLiteral("Recording from \"%1\" into \"%2\" stopped")
                   .arg(device, QDir::toNativeSeparators(runningFile_));
    else
        what = QStringLiteral("The picture of \"%1\" stopped").arg(device);
    QString why;
    if (crashed && exitCode == -1)
        why = QStringLiteral("the encoder %1 could not be started").arg(encoderPath_);
    else if (crashed)
        why = QStringLiteral("the encoder %1 crashed").arg(encoderDisplayName());
    else if (exitCode == 0)
        why = QStringLiteral("the device delivered no more pictures");
    else
        why = QStringLiteral("the encoder %1 failed (exit code %2)")
                  .arg(encoderDisplayName())
                  .arg(exitCode);
    QString text = what + QStringLiteral(": ") + why + QLatin1Char('.');
    if (runningMode_ == Mode::Recording && QFileInfo(runningFile_).size() > 0)
        text += QStringLiteral(" What was recorded until then is kept in the file.");
    const QString details = progress_.lastMessages();
    if (!details.isEmpty())
        text += QStringLiteral("\n\n") + details;
    return text;
}

void CaptureEngine::queryCompressors() {
    if (encoderPath_.isEmpty()) {
        compressorsLoaded_ = true;
        return;
    }
    auto* query = new QProcess(this);
    connect(query, &QProcess::finished, this, [this, query] {
        compressors_ = parseCompressors(QString::fromUtf8(query->readAllStandardOutput()));
        compressorsLoaded_ = true;
        query->deleteLater();
        Q_EMIT compressorsChanged();
    });
    connect(query, &QProcess::errorOccurred, this, [this, query](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        compressorsLoaded_ = true;
        query->deleteLater();
        Q_EMIT compressorsChanged();
    });
    query->start(encoderPath_, {QStringLiteral("-hide_banner"), QStringLiteral("-encoders")});
}

void CaptureEngine::setCapturing(bool on) {
    if (capturing_ == on)
        return;
    capturing_ = on;
    Q_EMIT capturingChanged(on);
}

} // namespace mirelo
