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

struct SliderSpec {
    const char* caption;
    const char* labelName;
    const char* sliderName;
};

// Camera controls 0 to 3, top to bottom in the "Camera Control" frame.
constexpr std::array<SliderSpec, CameraControlCount> kSliders = {{
    {"Pan:", "SkinLabel2", "Slider(0)"},
    {"Tilt:", "SkinLabel3", "Slider(1)"},
    {"Roll:", "SkinLabel4", "Slider(2)"},
    {"Zoom:", "SkinLabel5", "Slider(3)"},
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
    connect(m_engine.get(), &CaptureEngine::frameReady, m_vcx, &CapturePicture::showFrame);
    connect(m_engine.get(), &CaptureEngine::capturingChanged, this, &CaptureWindow::updateCommands);
    connect(m_engine.get(), &CaptureEngine::failed, this, &CaptureWindow::showFailure);
    connect(m_engine.get(), &CaptureEngine::devicesChanged, this, &CaptureWindow::devicesChanged);
    connect(m_engine.get(), &CaptureEngine::idle, this, &CaptureWindow::finishClosing);
    connect(m_engine.get(), &CaptureEngine::recordingEnded, this, [this](const QString& file) {
        if (m_endNotice)
            m_endNotice(QStringLiteral("Recorded %1").arg(QFileInfo(file).fileName()),
                        QFileInfo(file).absolutePath());
    });
    Form_Load();
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
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kStatisticsIntervalMs);
    connect(m_timer1, &QTimer::timeout, this, &CaptureWindow::Timer1_Timer);
    m_timer1->start();
}

QWidget* CaptureWindow::buildPictureFrame() {
    m_frame1 = named(new QGroupBox(this), "Frame1");
    m_vcx = named(new CapturePicture(m_frame1), "vcx");
    m_vcx->setMinimumSize(kMinimumPicture);
    m_vcx->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = new QVBoxLayout(m_frame1);
    layout->addWidget(m_vcx);
    return m_frame1;
}

QWidget* CaptureWindow::buildCameraFrame() {
    m_frame2 = named(new QGroupBox(QStringLiteral("Camera Control"), this), "Frame2");
    auto* layout = new QVBoxLayout(m_frame2);
    auto* camera = named(new QLabel(QStringLiteral("Camera"), m_frame2), "SkinLabel1");
    m_combo1 = named(new QComboBox(m_frame2), "Combo1");
    m_combo1->setPlaceholderText(QStringLiteral("No camera found"));
    m_combo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_combo1->setMinimumContentsLength(16);
    camera->setBuddy(m_combo1);
    connect(m_combo1, &QComboBox::activated, this, &CaptureWindow::Combo1_Click);
    auto* cameraRow = new QHBoxLayout;
    cameraRow->addWidget(camera);
    cameraRow->addWidget(m_combo1, 1);
    layout->addLayout(cameraRow);
    for (int i = 0; i < CameraControlCount; ++i) {
        const SliderSpec& spec = kSliders[size_t(i)];
        auto* caption = named(new QLabel(QLatin1String(spec.caption), m_frame2), spec.labelName);
        auto* slider = named(new QSlider(Qt::Horizontal, m_frame2), spec.sliderName);
        caption->setBuddy(slider);
        slider->setEnabled(false);
        connect(slider, &QSlider::valueChanged, this,
                [this, i](int value) { Slider_Click(i, value); });
        m_sliders[size_t(i)] = slider;
        layout->addSpacing(6);
        layout->addWidget(caption);
        layout->addWidget(slider);
    }
    layout->addSpacing(12);
    layout->addWidget(named(new QLabel(QStringLiteral("Capture Time:"), m_frame2), "SkinLabel6"));
    m_label2 = named(new QLabel(QStringLiteral("00:00:00"), m_frame2), "Label2");
    layout->addWidget(m_label2);
    layout->addStretch(1);
    return m_frame2;
}

QWidget* CaptureWindow::buildFileFrame() {
    m_frame3 = named(new QGroupBox(QStringLiteral("Capture File"), this), "Frame3");
    auto* caption = named(new QLabel(QStringLiteral("Capture File:"), m_frame3), "Label1");
    m_text1 = named(new QLineEdit(defaultCaptureFile(), m_frame3), "Text1");
    caption->setBuddy(m_text1);
    m_command5 = named(new QPushButton(QStringLiteral("Browse..."), m_frame3), "Command5");
    connect(m_command5, &QPushButton::clicked, this, &CaptureWindow::Command5_Click);
    auto* row = new QHBoxLayout(m_frame3);
    row->addWidget(caption);
    row->addWidget(m_text1, 1);
    row->addWidget(m_command5);
    return m_frame3;
}

// Preview, Start and Stop together in the middle; Exit apart on the right.
QLayout* CaptureWindow::buildCommands() {
    m_command3 = named(new QPushButton(QStringLiteral("Preview"), this), "Command3");
    m_command1 = named(new QPushButton(QStringLiteral("Start capture"), this), "Command1");
    m_command2 = named(new QPushButton(QStringLiteral("Stop capture"), this), "Command2");
    m_command4 = named(new QPushButton(QStringLiteral("Exit"), this), "Command4");
    auto* row = new QHBoxLayout;
    row->addStretch(3);
    for (QPushButton* button : {m_command3, m_command1, m_command2})
        row->addWidget(button);
    row->addStretch(2);
    row->addWidget(m_command4);
    row->addSpacing(twipsToPixels(600));
    connect(m_command1, &QPushButton::clicked, this, &CaptureWindow::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &CaptureWindow::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &CaptureWindow::Command3_Click);
    connect(m_command4, &QPushButton::clicked, this, &CaptureWindow::Command4_Click);
    return row;
}

void CaptureWindow::Form_Load() {
    // The engine's initial settings: compressor 0, no picture yet, connection reset, the
    // picture keeps its shape, black background.
    m_engine->setCompressorIndex(0);
    m_engine->setPreview(false);
    m_engine->setConnected(false);
    m_engine->setConnected(true);
    m_engine->setStretchPreview(false);
    m_engine->setBackgroundColor(0);
    m_vcx->setBackgroundColor(QColor::fromRgb(QRgb(m_engine->backgroundColor())));
    // The default folder may not exist yet on a new account; Browse explains a failure.
    prepareCaptureFolder(m_text1->text());
    fillDeviceList();
    updateCommands();
    if (m_combo1->count() > 0) {
        m_combo1->setCurrentIndex(0);
        Combo1_Click(0);
    }
}

void CaptureWindow::fillDeviceList() {
    const QSignalBlocker blocker(m_combo1);
    m_combo1->clear();
    for (int i = 0; i < m_engine->deviceCount(); ++i)
        m_combo1->addItem(m_engine->deviceName(i));
}

// DV camcorders join the list once the encoder has said it can read them.
void CaptureWindow::devicesChanged() {
    const int selected = m_combo1->currentIndex();
    fillDeviceList();
    updateCommands();
    if (m_combo1->count() == 0)
        return;
    const int index = selected >= 0 && selected < m_combo1->count() ? selected : 0;
    m_combo1->setCurrentIndex(index);
    if (selected < 0)
        Combo1_Click(index);
}

void CaptureWindow::Combo1_Click(int index) {
    m_engine->setConnected(false);
    m_engine->setDeviceIndex(index);
    m_engine->setConnected(true);
    for (int i = 0; i < CameraControlCount; ++i) {
        QSlider* slider = m_sliders[size_t(i)];
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

void CaptureWindow::Slider_Click(int index, int value) {
    m_engine->setControlValue(index, value);
}

void CaptureWindow::Command1_Click() {
    if (m_combo1->count() == 0)
        return;
    QStringList names;
    for (int i = 0; i < m_engine->compressorCount(); ++i)
        names.append(m_engine->compressorName(i));
    m_engine->setCompressorIndex(firstDivxCompressor(names).value_or(-1));
    m_engine->setCaptureFileName(m_text1->text());
    m_engine->setPreview(true);
    m_engine->startCapture();
    updateCommands();
}

void CaptureWindow::Command2_Click() {
    m_engine->stopCapture();
    updateCommands();
}

void CaptureWindow::Command3_Click() {
    if (m_combo1->count() > 0)
        m_engine->setPreview(true);
}

void CaptureWindow::Command4_Click() {
    m_engine->stopCapture();
    reject();
}

QFileDialog* CaptureWindow::saveDialog() const {
    return m_commonDialog1;
}

// A folder that cannot hold the file is explained first; the dialog then starts at home.
void CaptureWindow::Command5_Click() {
    if (m_commonDialog1 || m_folderMessage)
        return;
    const QString problem = prepareCaptureFolder(m_text1->text());
    if (problem.isEmpty()) {
        openSaveDialog(QDir::fromNativeSeparators(m_text1->text()));
        return;
    }
    m_folderMessage = showMessageBox(this, QMessageBox::Warning,
                                     problem + QStringLiteral(" Choose another folder."));
    m_folderMessage->setObjectName(QStringLiteral("captureFolderProblem"));
    const QString name = QFileInfo(QDir::fromNativeSeparators(m_text1->text())).fileName();
    connect(m_folderMessage, &QMessageBox::finished, this,
            [this, name] { openSaveDialog(QDir::home().filePath(name)); });
}

void CaptureWindow::openSaveDialog(const QString& proposed) {
    // Opened without a nested event loop; the answer arrives as a signal.
    m_commonDialog1 = new QFileDialog(this, QStringLiteral("Save Video File"));
    m_commonDialog1->setObjectName(QStringLiteral("CommonDialog1"));
    m_commonDialog1->setAcceptMode(QFileDialog::AcceptSave);
    m_commonDialog1->setNameFilter(QStringLiteral("Avi Video file (*.avi)"));
    m_commonDialog1->selectFile(proposed);
    m_commonDialog1->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_commonDialog1, &QFileDialog::fileSelected, this, [this](const QString& file) {
        if (!file.isEmpty())
            m_text1->setText(QDir::toNativeSeparators(file));
    });
    m_commonDialog1->open();
}

void CaptureWindow::Timer1_Timer() {
    if (m_engine->isCapturing())
        m_label2->setText(formatCaptureStatistics(m_engine->statistics()));
}

// Start and Preview wait while a recording runs; without a device the chooser says "No camera
// found" and it and the commands stay off.
void CaptureWindow::updateCommands() {
    const bool hasDevice = m_combo1->count() > 0 && !m_closing;
    const bool capturing = m_engine->isCapturing();
    m_combo1->setEnabled(hasDevice);
    m_command1->setEnabled(hasDevice && !capturing);
    m_command3->setEnabled(hasDevice && !capturing);
    m_command2->setEnabled(hasDevice);
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
