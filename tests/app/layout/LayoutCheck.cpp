#include "app/layout/LayoutCheck.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTextDocument>
#include <QToolButton>
#include <QWidget>

#include <cmath>

namespace mirelo::test {

namespace {

QString nameOf(const QWidget* w) {
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

QString pathOf(const QWidget* w, const QWidget* window) {
    QStringList parts;
    for (const QWidget* p = w; p && p != window; p = p->parentWidget())
        parts.prepend(nameOf(p));
    return nameOf(window) + QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

QString rectText(const QRect& r) {
    return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

// Widgets whose children are their own business (scroll bars, viewports, inner editors).
bool isLeaf(const QWidget* w) {
    return qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QMenuBar*>(w) || qobject_cast<const QProgressBar*>(w) ||
           qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QTabBar*>(w) ||
           qobject_cast<const QAbstractButton*>(w);
}

QList<QWidget*> visibleChildren(const QWidget* parent) {
    QList<QWidget*> shown;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow() && child->isVisible())
            shown << child;
    return shown;
}

int textWidth(const QWidget* w, const QString& text, bool mnemonic = true) {
    return w->fontMetrics().size(mnemonic ? Qt::TextShowMnemonic : 0, text).width();
}

// Text metrics and the styles' own sums may round apart by a pixel; a pixel less never cuts a
// glyph, two do.
constexpr int kRounding = 1;

QString tooNarrow(const QString& text, int room, int need) {
    if (room + kRounding >= need)
        return {};
    return QStringLiteral("\"%1\" needs %2 px, has %3").arg(text).arg(need).arg(room);
}

QString labelProblem(const QLabel* label) {
    if (label->text().isEmpty() || !label->pixmap().isNull())
        return {};
    const int m = label->margin();
    const QRect room = label->contentsRect().adjusted(m, m, -m, -m);
    if (label->wordWrap()) {
        const int need = label->heightForWidth(label->width());
        if (need > label->height() + kRounding)
            return QStringLiteral("wrapped \"%1\" needs %2 px of height, has %3")
                .arg(label->text())
                .arg(need)
                .arg(label->height());
        return {};
    }
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    int need = 0;
    if (rich) {
        QTextDocument document;
        document.setDefaultFont(label->font());
        document.setDocumentMargin(0);
        document.setHtml(label->text());
        need = int(std::ceil(document.idealWidth()));
    } else {
        need = textWidth(label, label->text(), label->buddy() != nullptr);
    }
    if (const QString problem = tooNarrow(label->text(), room.width(), need); !problem.isEmpty())
        return problem;
    if (room.height() + kRounding < label->fontMetrics().height())
        return QStringLiteral("\"%1\" needs %2 px of height, has %3")
            .arg(label->text())
            .arg(label->fontMetrics().height())
            .arg(room.height());
    return {};
}

QString buttonProblem(const QAbstractButton* button) {
    const QString text = button->text();
    if (text.isEmpty())
        return {};
    const int need = textWidth(button, text);
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = text;
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QRect room;
    if (auto* push = qobject_cast<const QPushButton*>(button)) {
        if (push->isFlat())
            option.features |= QStyleOptionButton::Flat;
        room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const int iconRoom = option.icon.isNull() ? 0 : option.iconSize.width() + 4;
        room.setWidth(room.width() - iconRoom);
    } else if (qobject_cast<const QCheckBox*>(button)) {
        room = button->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, button);
    } else if (qobject_cast<const QRadioButton*>(button)) {
        room = button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button);
    } else if (auto* tool = qobject_cast<const QToolButton*>(button)) {
        if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
            return {};
        room = button->rect().adjusted(2, 0, -2, 0);
    } else {
        room = button->rect();
    }
    if (const QString problem = tooNarrow(text, room.width(), need); !problem.isEmpty())
        return problem;
    if (button->height() + kRounding < button->fontMetrics().height())
        return QStringLiteral("\"%1\" needs %2 px of height, has %3")
            .arg(text)
            .arg(button->fontMetrics().height())
            .arg(button->height());
    return {};
}

QString groupBoxProblem(const QGroupBox* box) {
    if (box->title().isEmpty())
        return {};
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.midLineWidth = 0;
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (box->isFlat())
        option.features |= QStyleOptionFrame::Flat;
    const QRect label =
        box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    // The style sizes the title's room from the title itself: what can go wrong is that the room
    // runs past the frame.
    if (!box->rect().contains(label))
        return QStringLiteral("title \"%1\" at %2 leaves the frame %3")
            .arg(box->title(), rectText(label), rectText(box->rect()));
    return {};
}

QString textProblem(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w))
        return labelProblem(label);
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return buttonProblem(button);
    if (auto* box = qobject_cast<const QGroupBox*>(w))
        return groupBoxProblem(box);
    return {};
}

void inspect(const QWidget* parent, const QWidget* window, const QSet<QString>& overlays,
             QStringList& problems) {
    const QList<QWidget*> children = visibleChildren(parent);
    for (const QWidget* child : children) {
        const QString path = pathOf(child, window);
        if (child->width() <= 0 || child->height() <= 0)
            problems << path + QStringLiteral(": has no size");
        else if (!parent->rect().contains(child->geometry()))
            problems << path + QStringLiteral(": %1 lies outside its parent's %2")
                                   .arg(rectText(child->geometry()), rectText(parent->rect()));
        const QString text = textProblem(child);
        if (!text.isEmpty())
            problems << path + QStringLiteral(": ") + text;
        if (!isLeaf(child))
            inspect(child, window, overlays, problems);
    }
    // A splitter lets its handles' grip reach over the panes it divides.
    if (qobject_cast<const QSplitter*>(parent))
        return;
    for (qsizetype i = 0; i < children.size(); ++i) {
        for (qsizetype j = i + 1; j < children.size(); ++j) {
            const QWidget* a = children[i];
            const QWidget* b = children[j];
            if (overlays.contains(a->objectName()) || overlays.contains(b->objectName()))
                continue;
            if (a->geometry().intersects(b->geometry()))
                problems << QStringLiteral("%1 (%2) overlaps %3 (%4)")
                                .arg(pathOf(a, window), rectText(a->geometry()), pathOf(b, window),
                                     rectText(b->geometry()));
        }
    }
}

} // namespace

QStringList layoutProblems(const QWidget* window, const QSet<QString>& overlays) {
    QStringList problems;
    const QRect available = window->screen()->availableGeometry();
    if (!available.contains(window->frameGeometry()))
        problems << nameOf(window) +
                        QStringLiteral(": window %1 leaves the screen's %2")
                            .arg(rectText(window->frameGeometry()), rectText(available));
    const QSize minimum = window->minimumSizeHint();
    if (minimum.isValid() &&
        (window->width() < minimum.width() || window->height() < minimum.height()))
        problems << nameOf(window) + QStringLiteral(": window %1x%2 is below its layout's %3x%4")
                                         .arg(window->width())
                                         .arg(window->height())
                                         .arg(minimum.width())
                                         .arg(minimum.height());
    inspect(window, window, overlays, problems);
    return problems;
}

} // namespace mirelo::test
