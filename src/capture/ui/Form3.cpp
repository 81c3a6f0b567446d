#include "capture/ui/Form3.h"

#include "app/AppPaths.h"
#include "app/Skin.h"
#include "capture/SystemDeviceSource.h"
#include "capture/ui/CapturePicture.h"
#include "tools/ToolLocator.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>

namespace mirelo {

namespace {

const QString kTitle = QStringLiteral("Mirelo Video Converter");

// Positions are designed in twips; 15 twips are one pixel.
QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

template <typename W> W* placed(W* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

struct SliderPlace {
    const char* caption;
    const char* labelName;
    const char* sliderName;
    int labelTop;
    int sliderTop;
};

// Camera controls 0 to 3, top to bottom in the "Camera Control" frame.
constexpr std::array<SliderPlace, CameraControlCount> kSliderPlaces = {{
    {"Pan:", "SkinLabel2", "Slider(0)", 780, 1020},
    {"Tilt:", "SkinLabel3", "Slider(1)", 1530, 1770},
    {"Roll:", "SkinLabel4", "Slider(2)", 2400, 2610},
    {"Zoom:", "SkinLabel5", "Slider(3)", 3090, 3360},
}};

struct CommandPlace {
    const char* caption;
    const char* name;
    int left;
};

constexpr int kCommandTop = 6540;
constexpr int kCommandWidth = 1575;
constexpr int kCommandHeight = 405;
constexpr int kStatisticsIntervalMs = 500;

} // namespace

Form3::Form3(QWidget* parent)
    : Form3(std::make_unique<CaptureEngine>(new SystemDeviceSource(locateEncoder()),
                                            std::make_unique<V4l2CameraControls>(),
                                            locateEncoder()),
            AppPaths::forApplication().skinFile, parent) {}

Form3::Form3(std::unique_ptr<CaptureEngine> engine, const QString& skinFile, QWidget* parent)
    : QDialog(parent), m_engine(std::move(engine)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Capture Video From DV"));
    setModal(true);
    buildUi(skinFile);
    connect(m_engine.get(), &CaptureEngine::frameReady, m_vcx, &CapturePicture::showFrame);
    connect(m_engine.get(), &CaptureEngine::capturingChanged, this, &Form3::updateCommands);
    connect(m_engine.get(), &CaptureEngine::failed, this, &Form3::showFailure);
    connect(m_engine.get(), &CaptureEngine::devicesChanged, this, &Form3::devicesChanged);
    connect(m_engine.get(), &CaptureEngine::idle, this, &Form3::finishClosing);
    Form_Load();
}

Form3::~Form3() = default;

QString Form3::defaultCaptureFile() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral("dvcapture.avi")));
}

void Form3::buildUi(const QString& skinFile) {
    setFixedSize(763, 478);
    // The buttons have fixed places; the skin's roomy padding would clip their captions.
    if (applySkin(this, skinFile))
        setStyleSheet(styleSheet() +
                      QStringLiteral("\nQPushButton { padding: 3px 4px; min-width: 0; }\n"));
    buildPictureFrame();
    buildCameraFrame();
    buildFileFrame();
    buildCommands();
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kStatisticsIntervalMs);
    connect(m_timer1, &QTimer::timeout, this, &Form3::Timer1_Timer);
    m_timer1->start();
}

void Form3::buildPictureFrame() {
    m_frame1 = placed(new QGroupBox(this), "Frame1", twips(90, 30, 6915, 5565));
    m_vcx = placed(new CapturePicture(m_frame1), "vcx", twips(210, 210, 6555, 5235));
}

void Form3::buildCameraFrame() {
    m_frame2 = placed(new QGroupBox(QStringLiteral("Camera Control"), this), "Frame2",
                      twips(7080, 30, 4275, 5565));
    auto* camera = placed(new QLabel(QStringLiteral("Camera"), m_frame2), "SkinLabel1",
                          twips(120, 300, 660, 255));
    m_combo1 = placed(new QComboBox(m_frame2), "Combo1", twips(780, 270, 3195, 300));
    camera->setBuddy(m_combo1);
    connect(m_combo1, &QComboBox::activated, this, &Form3::Combo1_Click);
    for (int i = 0; i < CameraControlCount; ++i) {
        const SliderPlace& place = kSliderPlaces[size_t(i)];
        placed(new QLabel(QLatin1String(place.caption), m_frame2), place.labelName,
               twips(150, place.labelTop, 1200, 255));
        auto* slider = placed(new QSlider(Qt::Horizontal, m_frame2), place.sliderName,
                              twips(90, place.sliderTop, 4095, 450));
        slider->setEnabled(false);
        connect(slider, &QSlider::valueChanged, this,
                [this, i](int value) { Slider_Click(i, value); });
        m_sliders[size_t(i)] = slider;
    }
    placed(new QLabel(QStringLiteral("Capture Time:"), m_frame2), "SkinLabel6",
           twips(120, 4050, 1800, 255));
    m_label2 = placed(new QLabel(QStringLiteral("00:00:00"), m_frame2), "Label2",
                      twips(120, 4350, 3915, 285));
}

void Form3::buildFileFrame() {
    m_frame3 = placed(new QGroupBox(QStringLiteral("Capture File"), this), "Frame3",
                      twips(60, 5670, 11295, 645));
    auto* caption = placed(new QLabel(QStringLiteral("Capture File:"), m_frame3), "Label1",
                           twips(120, 255, 1080, 255));
    m_text1 =
        placed(new QLineEdit(defaultCaptureFile(), m_frame3), "Text1", twips(1230, 210, 6975, 345));
    caption->setBuddy(m_text1);
    m_command5 = placed(new QPushButton(QStringLiteral("Browse..."), m_frame3), "Command5",
                        twips(8220, 240, 975, 315));
    connect(m_command5, &QPushButton::clicked, this, &Form3::Command5_Click);
}

void Form3::buildCommands() {
    const std::array<CommandPlace, 4> places = {{{"Preview", "Command3", 2610},
                                                 {"Start capture", "Command1", 4290},
                                                 {"Stop capture", "Command2", 5970},
                                                 {"Exit", "Command4", 9180}}};
    std::array<QPushButton*, 4> buttons{};
    for (size_t i = 0; i < places.size(); ++i)
        buttons[i] = placed(new QPushButton(QLatin1String(places[i].caption), this), places[i].name,
                            twips(places[i].left, kCommandTop, kCommandWidth, kCommandHeight));
    m_command3 = buttons[0];
    m_command1 = buttons[1];
    m_command2 = buttons[2];
    m_command4 = buttons[3];
    connect(m_command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &Form3::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &Form3::Command3_Click);
    connect(m_command4, &QPushButton::clicked, this, &Form3::Command4_Click);
}

void Form3::Form_Load() {
    // The engine's initial settings: compressor 0, no picture yet, connection reset, the
    // picture keeps its shape, black background.
    m_engine->setCompressorIndex(0);
    m_engine->setPreview(false);
    m_engine->setConnected(false);
    m_engine->setConnected(true);
    m_engine->setStretchPreview(false);
    m_engine->setBackgroundColor(0);
    m_vcx->setBackgroundColor(QColor::fromRgb(QRgb(m_engine->backgroundColor())));
    fillDeviceList();
    updateCommands();
    if (m_combo1->count() > 0) {
        m_combo1->setCurrentIndex(0);
        Combo1_Click(0);
    }
}

void Form3::fillDeviceList() {
    const QSignalBlocker blocker(m_combo1);
    m_combo1->clear();
    for (int i = 0; i < m_engine->deviceCount(); ++i)
        m_combo1->addItem(m_engine->deviceName(i));
}

// DV camcorders join the list once the encoder has said it can read them.
void Form3::devicesChanged() {
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

void Form3::Combo1_Click(int index) {
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

void Form3::Slider_Click(int index, int value) {
    m_engine->setControlValue(index, value);
}

void Form3::Command1_Click() {
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

void Form3::Command2_Click() {
    m_engine->stopCapture();
    updateCommands();
}

void Form3::Command3_Click() {
    if (m_combo1->count() > 0)
        m_engine->setPreview(true);
}

void Form3::Command4_Click() {
    m_engine->stopCapture();
    reject();
}

QFileDialog* Form3::saveDialog() const {
    return m_commonDialog1;
}

void Form3::Command5_Click() {
    if (m_commonDialog1)
        return;
    // Opened without a nested event loop; the answer arrives as a signal.
    m_commonDialog1 = new QFileDialog(this, QStringLiteral("Save Video File"));
    m_commonDialog1->setObjectName(QStringLiteral("CommonDialog1"));
    m_commonDialog1->setAcceptMode(QFileDialog::AcceptSave);
    m_commonDialog1->setNameFilter(QStringLiteral("Avi Video file (*.avi)"));
    m_commonDialog1->selectFile(QDir::fromNativeSeparators(m_text1->text()));
    m_commonDialog1->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_commonDialog1, &QFileDialog::fileSelected, this, [this](const QString& file) {
        if (!file.isEmpty())
            m_text1->setText(QDir::toNativeSeparators(file));
    });
    m_commonDialog1->open();
}

void Form3::Timer1_Timer() {
    if (m_engine->isCapturing())
        m_label2->setText(formatCaptureStatistics(m_engine->statistics()));
}

// Start and Preview wait while a recording runs; without a device the commands stay off.
void Form3::updateCommands() {
    const bool hasDevice = m_combo1->count() > 0 && !m_closing;
    const bool capturing = m_engine->isCapturing();
    m_command1->setEnabled(hasDevice && !capturing);
    m_command3->setEnabled(hasDevice && !capturing);
    m_command2->setEnabled(hasDevice);
}

void Form3::showFailure(const QString& message) {
    updateCommands();
    if (m_closing)
        return;
    auto* box = new QMessageBox(QMessageBox::Warning, kTitle, message, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("captureFailure"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void Form3::reject() {
    if (!m_engine->isBusy()) {
        m_engine->shutDown();
        QDialog::reject();
        return;
    }
    m_closing = true;
    updateCommands();
    m_engine->shutDown();
}

void Form3::finishClosing() {
    if (m_closing && !m_engine->isBusy()) {
        m_closing = false;
        QDialog::reject();
    }
}

} // namespace mirelo
