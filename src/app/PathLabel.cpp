#include "app/PathLabel.h"

#include <QDir>

namespace mirelo {

namespace {

constexpr int kMinimumChars = 8;

} // namespace

PathLabel::PathLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void PathLabel::setPath(const QString& path) {
    m_path = QDir::toNativeSeparators(path);
    setToolTip(m_path);
    showPath();
}

QSize PathLabel::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * kMinimumChars, QLabel::minimumSizeHint().height()};
}

QSize PathLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(m_path), QLabel::sizeHint().height()};
}

void PathLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    showPath();
}

void PathLabel::showPath() {
    const int room = contentsRect().width() - 2 * margin();
    setText(fontMetrics().elidedText(m_path, Qt::ElideMiddle, qMax(0, room)));
}

} // namespace mirelo
