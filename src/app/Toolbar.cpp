#include "app/Toolbar.h"

#include "ui/Resources.h"
#include "ui/SkinNames.h"

#include <QAction>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace mirelo {

namespace {

constexpr int kGroupGap = 18;

} // namespace

ToolbarButton::ToolbarButton(QWidget* parent) : QToolButton(parent) {
    // Moves inside a button must not reach the strip, which would read them as the background.
    setAttribute(Qt::WA_NoMousePropagation);
}

void ToolbarButton::setBordered(bool bordered) {
    if (m_bordered == bordered)
        return;
    m_bordered = bordered;
    update();
}

void ToolbarButton::enterEvent(QEnterEvent* event) {
    QToolButton::enterEvent(event);
    Q_EMIT hovered();
}

void ToolbarButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    // The style's own hover look would contradict the strip's border rule.
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
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(4, 4, 4, 4);
    m_row->setSpacing(4);
    m_row->addStretch();
}

ToolbarButton* Toolbar::addButton(QAction* action, const QString& objectName) {
    auto* button = new ToolbarButton(this);
    button->setObjectName(objectName);
    button->setDefaultAction(action);
    button->setIconSize({32, 32});
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setMinimumWidth(84);
    connect(button, &ToolbarButton::hovered, button, [button] { button->setBordered(true); });
    m_buttons << button;
    m_row->insertWidget(m_row->count() - 1, button); // before the closing stretch
    return button;
}

void Toolbar::addGap() {
    m_row->insertSpacing(m_row->count() - 1, kGroupGap);
}

ToolbarButton* Toolbar::buttonFor(const QAction* action) const {
    for (ToolbarButton* button : m_buttons) {
        if (button->defaultAction() == action)
            return button;
    }
    return nullptr;
}

QList<int> Toolbar::borderedButtons() const {
    QList<int> bordered;
    for (int index = 0; index < m_buttons.size(); ++index) {
        if (m_buttons[index]->isBordered())
            bordered << index;
    }
    return bordered;
}

void Toolbar::mouseMoveEvent(QMouseEvent* event) {
    QFrame::mouseMoveEvent(event);
    if (!qobject_cast<ToolbarButton*>(childAt(event->position().toPoint())))
        clearBorders();
}

void Toolbar::clearBorders() {
    for (ToolbarButton* button : std::as_const(m_buttons))
        button->setBordered(false);
}

} // namespace mirelo
