#include "clip/ui/ClipEditor.h"
#include "ui/SkinNames.h"

#include "base/TimeString.h"
#include "player/PlayerKeys.h"
#include "player/PreviewPlayer.h"
#include "ui/Resources.h"
#include "ui/Skin.h"
#include "ui/Twips.h"
#include "ui/VideoSurface.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace mirelo {

namespace {

const char* const kTimeError = "Start time or End time is error.";
const char* const kEndBeforeStart = "The end must come after the start.";

struct TransportButton {
    QAbstractButton* PreviewWidgets::*slot;
    const char* name;
    const char* tip;
    const char* icon;
};

// The preview's transport, left to right.
constexpr TransportButton kTransport[] = {
    {&PreviewWidgets::firstFrame, "firstFrameButton", "First Frame", "first"},
    {&PreviewWidgets::back, "backButton", "Back", "back"},
    {&PreviewWidgets::play, "playButton", "Play", "play"},
    {&PreviewWidgets::pause, "pauseButton", "Pause", "pause"},
    {&PreviewWidgets::stop, "stopButton", "Stop", "stop"},
    {&PreviewWidgets::forward, "forwardButton", "Forward", "forward"},
    {&PreviewWidgets::lastFrames, "lastFramesButton", "Last Frames", "last"},
};

QSlider* timeSlider(const char* name, QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QLatin1String(name));
    return slider;
}

QLineEdit* timeText(const char* name, QWidget* parent) {
    auto* text = new QLineEdit(parent);
    text->setObjectName(QLatin1String(name));
    return text;
}

} // namespace

ClipEditor::ClipEditor(PreviewPlayer& player, const QString& clipFile, const ClipTimes& times,
                       const QString& skinFile, QWidget* parent)
    : QDialog(parent), m_player(player), m_clipFile(clipFile), m_videoTime(times.videoTime) {
    initUiResources();
    setObjectName(QStringLiteral("ClipEditor"));
    setWindowModality(Qt::ApplicationModal);
    m_presenter = messageBoxesOver(this);
    m_clock = new QTimer(this);
    m_clock->setObjectName(QStringLiteral("previewClock"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildPreview(), 1);
    layout->addWidget(buildTimes());
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &ClipEditor::accept);
    connect(cancel, &QPushButton::clicked, this, &ClipEditor::reject);

    applySkin(this, skinFile);
    load(times);
}

ClipEditor::~ClipEditor() = default;

QWidget* ClipEditor::buildPreview() {
    auto* area = new QWidget(this);
    PreviewWidgets w;
    auto* video = new VideoSurface(area);
    video->setObjectName(QStringLiteral("previewPicture"));
    video->setMinimumSize(twipsToPixels(5325), twipsToPixels(3075)); // the designed picture
    w.video = video;
    auto* transport = new QHBoxLayout;
    transport->addStretch();
    for (const TransportButton& entry : kTransport) {
        auto* button = new QToolButton(area);
        button->setObjectName(QLatin1String(entry.name));
        button->setToolTip(QLatin1String(entry.tip));
        button->setAccessibleName(QLatin1String(entry.tip));
        button->setIcon(
            QIcon(QStringLiteral(":/icons/player/%1.svg").arg(QLatin1String(entry.icon))));
        button->setAutoRaise(true);
        transport->addWidget(button);
        w.*entry.slot = button;
    }
    transport->addStretch();
    w.position = timeSlider("positionSlider", area);
    w.currentTime = new QLabel(QStringLiteral("0:00:00"), area);
    w.currentTime->setObjectName(skinName::kCurrentTime);
    w.totalTime = new QLabel(QStringLiteral("Total time: 0:00:00"), area);
    w.totalTime->setObjectName(skinName::kTotalTime);
    w.clock = m_clock;

    auto* times = new QHBoxLayout;
    times->addWidget(new QLabel(QStringLiteral("Current Time:"), area));
    times->addWidget(w.currentTime);
    times->addStretch();
    times->addWidget(w.totalTime);
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(video, 1);
    layout->addWidget(w.position);
    layout->addLayout(times);
    layout->addLayout(transport);

    m_preview = new PreviewControls(m_player, w, this);
    m_preview->transport().setCurrentFile(m_clipFile);
    m_preview->setPlaySource([this]() -> std::optional<PlayItem> {
        return PlayItem{m_clipFile, m_videoTime, playStart()};
    });
    return area;
}

QWidget* ClipEditor::buildTimes() {
    auto* frame = new QGroupBox(QStringLiteral("Start Time and End Time"), this);
    frame->setObjectName(QStringLiteral("clipTimesFrame"));
    m_startSlider = timeSlider("startSlider", frame);
    m_endSlider = timeSlider("endSlider", frame);
    m_start = timeText("startTime", frame);
    m_end = timeText("endTime", frame);
    m_length = timeText("clipLength", frame);
    m_length->setReadOnly(true);
    auto* form = new QFormLayout(frame);
    form->addRow(m_startSlider);
    form->addRow(QStringLiteral("Start Time:"), m_start);
    form->addRow(m_endSlider);
    form->addRow(QStringLiteral("End Time:"), m_end);
    form->addRow(QStringLiteral("Clip Time"), m_length);
    onMouseRelease(m_startSlider, [this] { startSliderReleased(); });
    onMouseRelease(m_endSlider, [this] { endSliderReleased(); });
    connect(m_start, &QLineEdit::textChanged, this, [this] { timeTyped(m_start, m_startSlider); });
    connect(m_end, &QLineEdit::textChanged, this, [this] { timeTyped(m_end, m_endSlider); });
    return frame;
}

void ClipEditor::load(const ClipTimes& times) {
    m_start->setText(times.start);
    m_end->setText(times.end);
    updateClipLength();
    const int length = clipSeconds(times.videoTime);
    m_startSlider->setRange(0, length);
    m_endSlider->setRange(0, length);
    m_endSlider->setValue(clipSeconds(times.end));
    m_startSlider->setValue(clipSeconds(times.start));
    m_player.setPlayLength(length);
    m_preview->widgets().totalTime->setText(PreviewTransport::totalTimeText(times.videoTime));
    setWindowTitle(QStringLiteral("Clip Time  -  ") + m_clipFile);
}

void ClipEditor::updateClipLength() {
    if (const std::optional<QString> length = clipLengthText(m_start->text(), m_end->text()))
        m_length->setText(*length);
}

// A typed time moves its slider (as far as the file goes) and the clip length follows.
void ClipEditor::timeTyped(QLineEdit* text, QSlider* slider) {
    if (const std::optional<int> seconds = parseTimeString(text->text()))
        slider->setValue(*seconds);
    updateClipLength();
}

// Play starts at the chosen start, when it is a time within the file.
int ClipEditor::playStart() const {
    const std::optional<int> start = parseTimeString(m_start->text());
    const int length = clipSeconds(m_videoTime);
    return start && *start < length ? *start : 0;
}

void ClipEditor::startSliderReleased() {
    m_start->setText(formatTimeString(m_startSlider->value()));
    updateClipLength();
}

void ClipEditor::endSliderReleased() {
    m_end->setText(formatTimeString(m_endSlider->value()));
    updateClipLength();
}

void ClipEditor::accept() {
    const QString start = m_start->text();
    const QString end = m_end->text();
    if (clipLengthText(start, end) == QString()) { // both times, the end not after the start
        m_presenter(QMessageBox::Critical, QLatin1String(kEndBeforeStart));
        return;
    }
    if (!clipTimesAcceptable(start, end) || !clipEndWithinFile(end, m_videoTime)) {
        m_presenter(QMessageBox::Critical, QLatin1String(kTimeError));
        return;
    }
    Q_EMIT clipTimesAccepted(clipSeconds(start), clipSeconds(end));
    QDialog::accept();
}

// Every way out: the player quits, the clock stops, the editor lets go of its file.
void ClipEditor::done(int result) {
    if (!m_closed) {
        m_closed = true;
        // Sent even before any player has an id, so a start still on its way is dropped too.
        PlayerKeys::send(m_player, PlayerKeys::KeyQuit);
        m_preview->transport().stopClock();
        m_clipFile.clear();
    }
    QDialog::done(result);
}

} // namespace mirelo
