#include "app/Toolbar.h"
#include "ui/SkinNames.h"

#include "ui/Resources.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace mirelo {

namespace {

struct PictureSpec {
    const char* objectName;
    const char* caption;
    const char* icon;
    const char* tip;
};

// Left to right, in the order of Toolbar::Picture.
constexpr PictureSpec kPictures[Toolbar::PictureCount] = {
    {"Image1", "Add Files", "add", "Add media files to the list"},
    {"Image2", "Remove File", "remove", "Remove the selected file"},
    {"Image9", "Clear All", "clear", "Remove every file from the list"},
    {"Image11", "CONVERT NOW", "convert", "Convert every file of the list"},
    {"Image10", "Settings", "settings", "Output folder and options"},
    {"Image8", "Help", "help", "Open the help"},
    {"Image7", "EXIT", "exit", "Close Mirelo Video Converter"},
};

} // namespace

ToolbarPicture::ToolbarPicture(QWidget* parent) : QToolButton(parent) {
    // Moves inside a picture must not reach the toolbar, which would read them as the background.
    setAttribute(Qt::WA_NoMousePropagation);
}

void ToolbarPicture::setBordered(bool bordered) {
    if (m_bordered == bordered)
        return;
    m_bordered = bordered;
    update();
}

void ToolbarPicture::enterEvent(QEnterEvent* event) {
    QToolButton::enterEvent(event);
    Q_EMIT hovered();
}

void ToolbarPicture::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    // The style's own hover look would contradict the toolbar's border rule.
    option.state &= ~QStyle::State_MouseOver;
    painter.drawComplexControl(QStyle::CC_ToolButton, option);
    if (!m_bordered)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

Toolbar::Toolbar(QWidget* parent) : QFrame(parent) {
    initUiResources();
    setObjectName(skinName::kToolbar);
    setMouseTracking(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(4);
    for (int index = 0; index < PictureCount; ++index) {
        const PictureSpec& entry = kPictures[index];
        auto* picture = new ToolbarPicture(this);
        picture->setObjectName(QLatin1String(entry.objectName));
        picture->setText(QLatin1String(entry.caption));
        picture->setToolTip(QLatin1String(entry.tip));
        picture->setIcon(
            QIcon(QStringLiteral(":/icons/toolbar/%1.svg").arg(QLatin1String(entry.icon))));
        picture->setIconSize({32, 32});
        picture->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        picture->setAutoRaise(true);
        picture->setMinimumWidth(84);
        connect(picture, &ToolbarPicture::hovered, picture,
                [picture] { picture->setBordered(true); });
        m_pictures[static_cast<size_t>(index)] = picture;
        row->addWidget(picture);
        // Groups: list commands, the run, the program's own commands.
        if (index == ClearAll || index == ConvertNow)
            row->addSpacing(18);
    }
    row->addStretch();
}

QList<int> Toolbar::borderedPictures() const {
    QList<int> bordered;
    for (int index = 0; index < PictureCount; ++index) {
        if (picture(index)->isBordered())
            bordered << index;
    }
    return bordered;
}

void Toolbar::mouseMoveEvent(QMouseEvent* event) {
    QFrame::mouseMoveEvent(event);
    if (!qobject_cast<ToolbarPicture*>(childAt(event->position().toPoint())))
        clearBorders();
}

void Toolbar::clearBorders() {
    for (ToolbarPicture* picture : m_pictures)
        picture->setBordered(false);
}

} // namespace mirelo
