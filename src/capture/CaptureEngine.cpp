#include "capture/CaptureEngine.h"

#include "convert/EncoderCapabilities.h"
#include "tools/ToolLocator.h"

#include <QDir>
#include <QFileInfo>

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
    runner_.setRole(QStringLiteral("encoder"));
    // The recording's encoder reads 'q' from its input: it then finishes the AVI index.
    runner_.setInput(ProgramRunner::Input::Piped);
    runner_.setStopPolicy({ProgramRunner::PoliteStep::Key, "q", kQuitGraceMs, kTerminateGraceMs});
    connect(&runner_, &ProgramRunner::outputReceived, this,
            [this](ProgramRunner::Channel channel, const QByteArray& bytes) {
                if (channel == ProgramRunner::Channel::Output)
                    readFrames(bytes);
                else
                    readProgress(bytes);
            });
    connect(&runner_, &ProgramRunner::finished, this, &CaptureEngine::encoderEnded);
    connect(deviceSource_, &DeviceSource::devicesChanged, this, [this] {
        devices_ = deviceSource_->devices();
        Q_EMIT devicesChanged();
    });
    queryCompressors();
}

// Normally the owner has shut the engine down and waited for idle(); else the runner kills the
// encoder as it goes, so none outlives its window.
CaptureEngine::~CaptureEngine() = default;

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
    if (runner_.isRunning()) {
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
    runner_.setProgram(encoderPath_, encoderArguments(mode, runningFile_));
    runner_.start();
}

void CaptureEngine::requestStop() {
    if (stopRequested_ || !runner_.isRunning())
        return;
    stopRequested_ = true;
    runner_.stop();
}

void CaptureEngine::readFrames(const QByteArray& bytes) {
    frameBuffer_ += bytes;
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

void CaptureEngine::readProgress(const QByteArray& bytes) {
    if (progress_.feed(bytes) && runningMode_ == Mode::Recording) {
        statistics_ = progress_.statistics();
        Q_EMIT statisticsChanged();
    }
}

void CaptureEngine::encoderEnded(const ProgramEnd& end) {
    const bool expected = stopRequested_;
    const Mode endedMode = runningMode_;
    const QString message = expected ? QString() : failureMessage(end);
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
    if (!runner_.isRunning())
        Q_EMIT idle();
}

QString CaptureEngine::failureMessage(const ProgramEnd& end) const {
    const QString device = devices_.value(runningDevice_).name;
    QString what;
    if (runningMode_ == Mode::Recording)
        what = QStringLiteral("Recording from \"%1\" into \"%2\" stopped")
                   .arg(device, QDir::toNativeSeparators(runningFile_));
    else
        what = QStringLiteral("The picture of \"%1\" stopped").arg(device);
    QString why;
    if (end.kind == ProgramEnd::Kind::FailedToStart)
        why = QStringLiteral("the encoder %1 could not be started").arg(encoderPath_);
    else if (end.kind == ProgramEnd::Kind::Crashed)
        why = QStringLiteral("the encoder %1 crashed").arg(encoderDisplayName());
    else if (end.exitCode == 0)
        why = QStringLiteral("the device delivered no more pictures");
    else
        why = QStringLiteral("the encoder %1 failed (exit code %2)")
                  .arg(encoderDisplayName())
                  .arg(end.exitCode);
    QString text = what + QStringLiteral(": ") + why + QLatin1Char('.');
    if (runningMode_ == Mode::Recording && QFileInfo(runningFile_).size() > 0)
        text += QStringLiteral(" What was recorded until then is kept in the file.");
    const QString details = progress_.lastMessages();
    if (!details.isEmpty())
        text += QStringLiteral("\n\n") + details;
    return text;
}

// The capture window offers the encoder's AVI-storable video encoders, from the lists every part
// of the product reads once and keeps.
void CaptureEngine::queryCompressors() {
    if (encoderPath_.isEmpty()) {
        compressorsLoaded_ = true;
        return;
    }
    if (cachedCapabilities(encoderPath_)) {
        takeCompressors();
        return;
    }
    auto* loader = new CapabilityLoader(this);
    connect(loader, &CapabilityLoader::loaded, this, [this, loader] {
        takeCompressors();
        loader->deleteLater();
        Q_EMIT compressorsChanged();
    });
    connect(loader, &CapabilityLoader::failed, this, [this, loader] {
        compressorsLoaded_ = true;
        loader->deleteLater();
        Q_EMIT compressorsChanged();
    });
    loader->start(encoderPath_);
}

void CaptureEngine::takeCompressors() {
    if (const EncoderCapabilities* lists = cachedCapabilities(encoderPath_))
        compressors_ = aviCompressors(lists->videoEncoders);
    compressorsLoaded_ = true;
}

void CaptureEngine::setCapturing(bool on) {
    if (capturing_ == on)
        return;
    capturing_ = on;
    Q_EMIT capturingChanged(on);
}

} // namespace mirelo
