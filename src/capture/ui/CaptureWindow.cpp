#include "capture/ui/CaptureWindow.h"

#include "base/ToolLocator.h"
#include "capture/CaptureFolder.h"
#include "capture/SystemDeviceSource.h"
#include "capture/ui/CapturePicture.h"
#include "settings/AppPaths.h"
#include "ui/MessageBoxes.h"
#include "ui/Skin.h"
#include "ui/Twips.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

namespace mirelo {

namespace {

struct SliderControl {
    const char* caption;
    const char* labelName;
    const char* sliderName;
};

// Camera controls 0 to 3, top to bottom in the "Camera Control" frame.
constexpr std::array<SliderControl, CameraControlCount> kSliders = {{
    {"Pan:", "panCaption", "panSlider"},
    {"Tilt:", "tiltCaption", "tiltSlider"},
    {"Roll:", "rollCaption", "rollSlider"},
    {"Zoom:", "zoomCaption", "zoomSlider"},
}};

// The designed window (twips); it grows when its texts need more room.
constexpr int kDesignedWidthTwips = 11445;
constexpr int kDesignedHeightTwips = 7170;
// The smallest live picture that still shows a camera's framing.
constexpr QSize kMinimumPicture(320, 240);
constexpr int kStatisticsIntervalMs = 500;

template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

CaptureWindow::CaptureWindow(QWidget* parent)
    : CaptureWindow(std::make_unique<CaptureEngine>(new SystemDeviceSource(locateEncoder()),
                                                    std::make_unique<V4l2CameraControls>(),
                                                    locateEncoder()),
                    AppPaths::forApplication().skinFile, parent) {}

CaptureWindow::CaptureWindow(std::unique_ptr<CaptureEngine> engine, const QString& skinFile,
                             QWidget* parent)
    : QDialog(parent), m_engine(std::move(engine)) {
    setObjectName(QStringLiteral("CaptureWindow"));
    setWindowTitle(QStringLiteral("Capture Video From DV"));
    setModal(true);
    buildUi(skinFile);
    connect(m_engine.get(), &CaptureEngine::frameReady, m_picture, &CapturePicture::showFrame);
    connect(m_engine.get(), &CaptureEngine::capturingChanged, this, &CaptureWindow::updateCommands);
    connect(m_engine.get(), &CaptureEngine::failed, this, &CaptureWindow::showFailure);
    connect(m_engine.get(), &CaptureEngine::devicesChanged, this, &CaptureWindow::devicesChanged);
    connect(m_engine.get(), &CaptureEngine::idle, this, &CaptureWindow::finishClosing);
    connect(m_engine.get(), &CaptureEngine::recordingEnded, this, [this](const QString& file) {
        if (m_endNotice)
            m_endNotice(QStringLiteral("Recorded %1").arg(QFileInfo(file).fileName()),
                        QFileInfo(file).absolutePath());
    });
    prepareEngine();
}

CaptureWindow::~CaptureWindow() = default;

QString CaptureWindow::defaultCaptureFile() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral("dvcapture.avi")));
}

void CaptureWindow::buildUi(const QString& skinFile) {
    applySkin(this, skinFile);
    auto* top = new QHBoxLayout;
    top->addWidget(buildPictureFrame(), 1);
    top->addWidget(buildCameraFrame());
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buildFileFrame());
    layout->addLayout(buildCommands());
    ensurePolished(); // the skin's sizes, before the window takes its own
    resize(QSize(twipsToPixels(kDesignedWidthTwips), twipsToPixels(kDesignedHeightTwips))
               .expandedTo(minimumSizeHint()));
    m_statisticsTimer = new QTimer(this);
    m_statisticsTimer->setObjectName(QStringLiteral("statisticsTimer"));
    m_statisticsTimer->setInterval(kStatisticsIntervalMs);
    connect(m_statisticsTimer, &QTimer::timeout, this, &CaptureWindow::showStatistics);
    m_statisticsTimer->start();
}

QWidget* CaptureWindow::buildPictureFrame() {
    m_pictureFrame = named(new QGroupBox(this), "pictureFrame");
    m_picture = named(new CapturePicture(m_pictureFrame), "livePicture");
    m_picture->setMinimumSize(kMinimumPicture);
    m_picture->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = new QVBoxLayout(m_pictureFrame);
    layout->addWidget(m_picture);
    return m_pictureFrame;
}

QWidget* CaptureWindow::buildCameraFrame() {
    m_cameraFrame = named(new QGroupBox(QStringLiteral("Camera Control"), this), "cameraFrame");
    auto* layout = new QVBoxLayout(m_cameraFrame);
    auto* camera = named(new QLabel(QStringLiteral("Camera"), m_cameraFrame), "cameraCaption");
    m_deviceList = named(new QComboBox(m_cameraFrame), "deviceList");
    m_deviceList->setPlaceholderText(QStringLiteral("No camera found"));
    m_deviceList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_deviceList->setMinimumContentsLength(16);
    camera->setBuddy(m_deviceList);
    connect(m_deviceList, &QComboBox::activated, this, &CaptureWindow::chooseDevice);
    auto* cameraRow = new QHBoxLayout;
    cameraRow->addWidget(camera);
    cameraRow->addWidget(m_deviceList, 1);
    layout->addLayout(cameraRow);
    for (int i = 0; i < CameraControlCount; ++i) {
        const SliderControl& control = kSliders[size_t(i)];
        auto* caption =
            named(new QLabel(QLatin1String(control.caption), m_cameraFrame), control.labelName);
        auto* slider = named(new QSlider(Qt::Horizontal, m_cameraFrame), control.sliderName);
        caption->setBuddy(slider);
        slider->setEnabled(false);
        connect(slider, &QSlider::valueChanged, this,
                [this, i](int value) { setControl(i, value); });
        m_controlSliders[size_t(i)] = slider;
        layout->addSpacing(6);
        layout->addWidget(caption);
        layout->addWidget(slider);
    }
    layout->addSpacing(12);
    layout->addWidget(
        named(new QLabel(QStringLiteral("Capture Time:"), m_cameraFrame), "captureTimeCaption"));
    m_statisticsLabel =
        named(new QLabel(QStringLiteral("00:00:00"), m_cameraFrame), "statisticsLabel");
    layout->addWidget(m_statisticsLabel);
    layout->addStretch(1);
    return m_cameraFrame;
}

QWidget* CaptureWindow::buildFileFrame() {
    m_fileFrame = named(new QGroupBox(QStringLiteral("Capture File"), this), "fileFrame");
    auto* caption = named(new QLabel(QStringLiteral("Capture File:"), m_fileFrame), "fileCaption");
    m_fileEdit = named(new QLineEdit(defaultCaptureFile(), m_fileFrame), "fileEdit");
    caption->setBuddy(m_fileEdit);
    m_browseButton =
        named(new QPushButton(QStringLiteral("Browse..."), m_fileFrame), "browseButton");
    connect(m_browseButton, &QPushButton::clicked, this, &CaptureWindow::browseForFile);
    auto* row = new QHBoxLayout(m_fileFrame);
    row->addWidget(caption);
    row->addWidget(m_fileEdit, 1);
    row->addWidget(m_browseButton);
    return m_fileFrame;
}

// Preview, Start and Stop together in the middle; Exit apart on the right.
QLayout* CaptureWindow::buildCommands() {
    m_previewButton = named(new QPushButton(QStringLiteral("Preview"), this), "previewButton");
    m_startButton = named(new QPushButton(QStringLiteral("Start capture"), this), "startButton");
    m_stopButton = named(new QPushButton(QStringLiteral("Stop capture"), this), "stopButton");
    m_exitButton = named(new QPushButton(QStringLiteral("Exit"), this), "exitButton");
    auto* row = new QHBoxLayout;
    row->addStretch(3);
    for (QPushButton* button : {m_previewButton, m_startButton, m_stopButton})
        row->addWidget(button);
    row->addStretch(2);
    row->addWidget(m_exitButton);
    row->addSpacing(twipsToPixels(600));
    connect(m_startButton, &QPushButton::clicked, this, &CaptureWindow::startRecording);
    connect(m_stopButton, &QPushButton::clicked, this, &CaptureWindow::stopRecording);
    connect(m_previewButton, &QPushButton::clicked, this, &CaptureWindow::showPreview);
    connect(m_exitButton, &QPushButton::clicked, this, &CaptureWindow::exitWindow);
    return row;
}

void CaptureWindow::prepareEngine() {
    // The engine's initial settings: compressor 0, no picture yet, connection reset, the
    // picture keeps its shape, black background.
    m_engine->setCompressorIndex(0);
    m_engine->setPreview(false);
    m_engine->setConnected(false);
    m_engine->setConnected(true);
    m_engine->setStretchPreview(false);
    m_engine->setBackgroundColor(0);
    m_picture->setBackgroundColor(QColor::fromRgb(QRgb(m_engine->backgroundColor())));
    // The default folder may not exist yet on a new account; Browse explains a failure.
    prepareCaptureFolder(m_fileEdit->text());
    fillDeviceList();
    updateCommands();
    if (m_deviceList->count() > 0) {
        m_deviceList->setCurrentIndex(0);
        chooseDevice(0);
    }
}

void CaptureWindow::fillDeviceList() {
    const QSignalBlocker blocker(m_deviceList);
    m_deviceList->clear();
    for (int i = 0; i < m_engine->deviceCount(); ++i)
        m_deviceList->addItem(m_engine->deviceName(i));
}

// DV camcorders join the list once the encoder has said it can read them.
void CaptureWindow::devicesChanged() {
    const int selected = m_deviceList->currentIndex();
    fillDeviceList();
    updateCommands();
    if (m_deviceList->count() == 0)
        return;
    const int index = selected >= 0 && selected < m_deviceList->count() ? selected : 0;
    m_deviceList->setCurrentIndex(index);
    if (selected < 0)
        chooseDevice(index);
}

void CaptureWindow::chooseDevice(int index) {
    m_engine->setConnected(false);
    m_engine->setDeviceIndex(index);
    m_engine->setConnected(true);
    for (int i = 0; i < CameraControlCount; ++i) {
        QSlider* slider = m_controlSliders[size_t(i)];
        const QSignalBlocker blocker(slider);
        const std::optional<ControlRange> range = m_engine->controlRange(i);
        slider->setEnabled(range.has_value());
        if (!range)
            continue;
        slider->setRange(range->minimum, range->maximum);
        slider->setSingleStep(std::max(1, range->step));
        slider->setValue(m_engine->controlValue(i).value_or(range->defaultValue));
    }
}

void CaptureWindow::setControl(int index, int value) {
    m_engine->setControlValue(index, value);
}

void CaptureWindow::startRecording() {
    if (m_deviceList->count() == 0)
        return;
    QStringList names;
    for (int i = 0; i < m_engine->compressorCount(); ++i)
        names.append(m_engine->compressorName(i));
    m_engine->setCompressorIndex(firstDivxCompressor(names).value_or(-1));
    m_engine->setCaptureFileName(m_fileEdit->text());
    m_engine->setPreview(true);
    m_engine->startCapture();
    updateCommands();
}

void CaptureWindow::stopRecording() {
    m_engine->stopCapture();
    updateCommands();
}

void CaptureWindow::showPreview() {
    if (m_deviceList->count() > 0)
        m_engine->setPreview(true);
}

void CaptureWindow::exitWindow() {
    m_engine->stopCapture();
    reject();
}

QFileDialog* CaptureWindow::saveDialog() const {
    return m_saveDialog;
}

// A folder that cannot hold the file is explained first; the dialog then starts at home.
void CaptureWindow::browseForFile() {
    if (m_saveDialog || m_folderMessage)
        return;
    const QString problem = prepareCaptureFolder(m_fileEdit->text());
    if (problem.isEmpty()) {
        openSaveDialog(QDir::fromNativeSeparators(m_fileEdit->text()));
        return;
    }
    m_folderMessage = showMessageBox(this, QMessageBox::Warning,
                                     problem + QStringLiteral(" Choose another folder."));
    m_folderMessage->setObjectName(QStringLiteral("captureFolderProblem"));
    const QString name = QFileInfo(QDir::fromNativeSeparators(m_fileEdit->text())).fileName();
    connect(m_folderMessage, &QMessageBox::finished, this,
            [this, name] { openSaveDialog(QDir::home().filePath(name)); });
}

void CaptureWindow::openSaveDialog(const QString& proposed) {
    // Opened without a nested event loop; the answer arrives as a signal.
    m_saveDialog = new QFileDialog(this, QStringLiteral("Save Video File"));
    m_saveDialog->setObjectName(QStringLiteral("saveDialog"));
    m_saveDialog->setAcceptMode(QFileDialog::AcceptSave);
    m_saveDialog->setNameFilter(QStringLiteral("Avi Video file (*.avi)"));
    m_saveDialog->selectFile(proposed);
    m_saveDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_saveDialog, &QFileDialog::fileSelected, this, [this](const QString& file) {
        if (!file.isEmpty())
            m_fileEdit->setText(QDir::toNativeSeparators(file));
    });
    m_saveDialog->open();
}

void CaptureWindow::showStatistics() {
    if (m_engine->isCapturing())
        m_statisticsLabel->setText(formatCaptureStatistics(m_engine->statistics()));
}

// Start and Preview wait while a recording runs; without a device the chooser says "No camera
// found" and it and the commands stay off.
void CaptureWindow::updateCommands() {
    const bool hasDevice = m_deviceList->count() > 0 && !m_closing;
    const bool capturing = m_engine->isCapturing();
    m_deviceList->setEnabled(hasDevice);
    m_startButton->setEnabled(hasDevice && !capturing);
    m_previewButton->setEnabled(hasDevice && !capturing);
    m_stopButton->setEnabled(hasDevice);
}

void CaptureWindow::showFailure(const QString& message) {
    updateCommands();
    if (m_closing)
        return;
    showMessageBox(this, QMessageBox::Warning, message)
        ->setObjectName(QStringLiteral("captureFailure"));
}

void CaptureWindow::reject() {
    if (!m_engine->isBusy()) {
        m_engine->shutDown();
        QDialog::reject();
        return;
    }
    m_closing = true;
    updateCommands();
    m_engine->shutDown();
}

void CaptureWindow::finishClosing() {
    if (m_closing && !m_engine->isBusy()) {
        m_closing = false;
        QDialog::reject();
    }
}

} // namespace mirelo
