#include "capture/CaptureEngine.h"

#include "base/ToolLocator.h"
#include "convert/EncoderCapabilities.h"

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
    : QObject(parent), m_deviceSource(devices), m_controls(std::move(controls)),
      m_encoderPath(encoderPath), m_devices(devices->devices()) {
    m_deviceSource->setParent(this);
    m_runner.setRole(QStringLiteral("encoder"));
    // The recording's encoder reads 'q' from its input: it then finishes the AVI index.
    m_runner.setInput(ProgramRunner::Input::Piped);
    m_runner.setStopPolicy({ProgramRunner::PoliteStep::Key, "q", kQuitGraceMs, kTerminateGraceMs});
    connect(&m_runner, &ProgramRunner::outputReceived, this,
            [this](ProgramRunner::Channel channel, const QByteArray& bytes) {
                if (channel == ProgramRunner::Channel::Output)
                    readFrames(bytes);
                else
                    readProgress(bytes);
            });
    connect(&m_runner, &ProgramRunner::finished, this, &CaptureEngine::encoderEnded);
    connect(m_deviceSource, &DeviceSource::devicesChanged, this, [this] {
        m_devices = m_deviceSource->devices();
        Q_EMIT devicesChanged();
    });
    queryCompressors();
}

// Normally the owner has shut the engine down and waited for idle(); else the runner kills the
// encoder as it goes, so none outlives its window.
CaptureEngine::~CaptureEngine() = default;

QString CaptureEngine::deviceName(int index) const {
    return index >= 0 && index < m_devices.size() ? m_devices[index].name : QString();
}

QString CaptureEngine::compressorName(int index) const {
    return index >= 0 && index < m_compressors.size() ? m_compressors[index].readableName
                                                      : QString();
}

void CaptureEngine::setConnected(bool on) {
    // A recording belongs to its device: disconnecting ends it rather than letting it resume
    // on the next device into the same file.
    if (!on)
        setCapturing(false);
    m_connected = on;
    const CaptureDevice* device = selectedDevice();
    if (device)
        m_controls->open(device->controlPath);
    else
        m_controls->close();
    reconcile();
}

void CaptureEngine::setDeviceIndex(int index) {
    if (index != m_deviceIndex)
        setCapturing(false);
    m_deviceIndex = index;
    if (m_connected)
        setConnected(true);
}

void CaptureEngine::setPreview(bool on) {
    m_preview = on;
    reconcile();
}

void CaptureEngine::startCapture() {
    if (m_capturing)
        return;
    if (!selectedDevice()) {
        Q_EMIT failed(QStringLiteral("No capture device is connected."));
        return;
    }
    if (!checkRecordingTarget())
        return;
    m_statistics = {};
    setCapturing(true);
    reconcile();
}

void CaptureEngine::stopCapture() {
    if (!m_capturing)
        return;
    setCapturing(false);
    reconcile();
}

void CaptureEngine::shutDown() {
    setCapturing(false);
    m_preview = false;
    setConnected(false);
}

std::optional<ControlRange> CaptureEngine::controlRange(int control) const {
    return m_controls->range(control);
}

std::optional<int> CaptureEngine::controlValue(int control) const {
    return m_controls->value(control);
}

bool CaptureEngine::setControlValue(int control, int value) {
    return m_controls->setValue(control, value);
}

const CaptureDevice* CaptureEngine::selectedDevice() const {
    if (!m_connected || m_deviceIndex < 0 || m_deviceIndex >= m_devices.size())
        return nullptr;
    return &m_devices[m_deviceIndex];
}

CaptureEngine::Mode CaptureEngine::wantedMode() const {
    if (!selectedDevice())
        return Mode::None;
    if (m_capturing)
        return Mode::Recording;
    return m_preview ? Mode::Preview : Mode::None;
}

void CaptureEngine::reconcile() {
    const Mode wanted = wantedMode();
    if (m_runner.isRunning()) {
        if (m_runningMode != wanted || m_runningDevice != m_deviceIndex)
            requestStop();
        return;
    }
    if (wanted != Mode::None)
        startEncoder(wanted);
}

bool CaptureEngine::checkRecordingTarget() {
    if (m_encoderPath.isEmpty()) {
        Q_EMIT failed(QStringLiteral("The encoder program %1 was not found, so nothing can be "
                                     "recorded. Install %1 and try again.")
                          .arg(encoderDisplayName()));
        return false;
    }
    if (m_captureFile.trimmed().isEmpty()) {
        Q_EMIT failed(QStringLiteral("Enter the name of the capture file first."));
        return false;
    }
    const QFileInfo target(m_captureFile);
    if (!target.absoluteDir().exists()) {
        Q_EMIT failed(QStringLiteral("The folder of the capture file \"%1\" does not exist.")
                          .arg(QDir::toNativeSeparators(target.absoluteFilePath())));
        return false;
    }
    return true;
}

QStringList CaptureEngine::encoderArguments(Mode mode, const QString& aviFile) const {
    const CaptureDevice& device = m_devices[m_deviceIndex];
    if (mode == Mode::Preview)
        return previewArguments(device, m_format);
    const bool known = m_compressorIndex >= 0 && m_compressorIndex < m_compressors.size();
    const QStringList codec =
        videoCodecArguments(known ? &m_compressors[m_compressorIndex] : nullptr);
    return recordingArguments(device, aviFile, codec, true, m_format);
}

void CaptureEngine::startEncoder(Mode mode) {
    if (m_encoderPath.isEmpty()) {
        m_preview = false;
        Q_EMIT failed(QStringLiteral("The encoder program %1 was not found, so the camera's "
                                     "picture cannot be shown.")
                          .arg(encoderDisplayName()));
        return;
    }
    m_runningMode = mode;
    m_runningDevice = m_deviceIndex;
    m_runningFile = QFileInfo(m_captureFile).absoluteFilePath();
    m_stopRequested = false;
    m_frameBuffer.clear();
    m_progress = {};
    m_runner.setProgram(m_encoderPath, encoderArguments(mode, m_runningFile));
    m_runner.start();
}

void CaptureEngine::requestStop() {
    if (m_stopRequested || !m_runner.isRunning())
        return;
    m_stopRequested = true;
    m_runner.stop();
}

void CaptureEngine::readFrames(const QByteArray& bytes) {
    m_frameBuffer += bytes;
    const qsizetype frameBytes = m_format.frameBytes();
    const qsizetype whole = m_frameBuffer.size() / frameBytes;
    if (whole == 0)
        return;
    // Only the newest complete picture is worth painting.
    CaptureFrame frame{m_frameBuffer.mid((whole - 1) * frameBytes, frameBytes), m_format.width,
                       m_format.height};
    m_frameBuffer.remove(0, whole * frameBytes);
    if (m_preview || m_runningMode == Mode::Recording)
        Q_EMIT frameReady(frame);
}

void CaptureEngine::readProgress(const QByteArray& bytes) {
    if (m_progress.feed(bytes) && m_runningMode == Mode::Recording) {
        m_statistics = m_progress.statistics();
        Q_EMIT statisticsChanged();
    }
}

void CaptureEngine::encoderEnded(const ProgramEnd& end) {
    const bool expected = m_stopRequested;
    const Mode endedMode = m_runningMode;
    const QString message = expected ? QString() : failureMessage(end);
    m_runningMode = Mode::None;
    if (!expected) {
        // No automatic restart on a device that just failed: the user decides what next.
        m_preview = false;
        if (endedMode == Mode::Recording)
            setCapturing(false);
        Q_EMIT failed(message);
    }
    if (endedMode == Mode::Recording)
        Q_EMIT recordingEnded(m_runningFile);
    reconcile();
    if (!m_runner.isRunning())
        Q_EMIT idle();
}

QString CaptureEngine::failureMessage(const ProgramEnd& end) const {
    const QString device = m_devices.value(m_runningDevice).name;
    QString what;
    if (m_runningMode == Mode::Recording)
        what = QStringLiteral("Recording from \"%1\" into \"%2\" stopped")
                   .arg(device, QDir::toNativeSeparators(m_runningFile));
    else
        what = QStringLiteral("The picture of \"%1\" stopped").arg(device);
    QString why;
    if (end.kind == ProgramEnd::Kind::FailedToStart)
        why = QStringLiteral("the encoder %1 could not be started").arg(m_encoderPath);
    else if (end.kind == ProgramEnd::Kind::Crashed)
        why = QStringLiteral("the encoder %1 crashed").arg(encoderDisplayName());
    else if (end.exitCode == 0)
        why = QStringLiteral("the device delivered no more pictures");
    else
        why = QStringLiteral("the encoder %1 failed (exit code %2)")
                  .arg(encoderDisplayName())
                  .arg(end.exitCode);
    QString text = what + QStringLiteral(": ") + why + QLatin1Char('.');
    if (m_runningMode == Mode::Recording && QFileInfo(m_runningFile).size() > 0)
        text += QStringLiteral(" What was recorded until then is kept in the file.");
    const QString details = m_progress.lastMessages();
    if (!details.isEmpty())
        text += QStringLiteral("\n\n") + details;
    return text;
}

// The capture window offers the encoder's AVI-storable video encoders, from the lists every part
// of the product reads once and keeps.
void CaptureEngine::queryCompressors() {
    if (m_encoderPath.isEmpty()) {
        m_compressorsLoaded = true;
        return;
    }
    if (cachedCapabilities(m_encoderPath)) {
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
        m_compressorsLoaded = true;
        loader->deleteLater();
        Q_EMIT compressorsChanged();
    });
    loader->start(m_encoderPath);
}

void CaptureEngine::takeCompressors() {
    if (const EncoderCapabilities* lists = cachedCapabilities(m_encoderPath))
        m_compressors = aviCompressors(lists->videoEncoders);
    m_compressorsLoaded = true;
}

void CaptureEngine::setCapturing(bool on) {
    if (m_capturing == on)
        return;
    m_capturing = on;
    Q_EMIT capturingChanged(on);
}

} // namespace mirelo
