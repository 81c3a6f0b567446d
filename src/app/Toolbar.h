#pragma once

#include <QFrame>
#include <QList>
#include <QToolButton>

class QAction;
class QHBoxLayout;

namespace mirelo {

// One button of the command strip: a command's picture with its caption under it. It shows a
// single-line border while the strip says so, not while the mouse happens to be over it.
class ToolbarButton : public QToolButton {
    Q_OBJECT
public:
    explicit ToolbarButton(QWidget* parent = nullptr);

    bool isBordered() const { return m_bordered; }
    void setBordered(bool bordered);

Q_SIGNALS:
    // The mouse has moved onto the button.
    void hovered();

protected:
    void enterEvent(QEnterEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_bordered = false;
};

// The command strip: buttons showing command actions, left to right, in groups. Moving the mouse
// over a button borders it; moving it over the strip's own background clears every border.
// Going straight from one button to the next leaves the first one bordered until the background
// is crossed.
class Toolbar : public QFrame {
    Q_OBJECT
public:
    explicit Toolbar(QWidget* parent = nullptr);

    // Adds a button at the right end that shows `action`: its picture, its icon text as the
    // caption, its tooltip and its enabled state; a click triggers it.
    ToolbarButton* addButton(QAction* action, const QString& objectName);
    // Puts a gap of background between the buttons added so far and the next one.
    void addGap();

    // Left to right.
    const QList<ToolbarButton*>& buttons() const { return m_buttons; }
    // The button showing `action`; null when none does.
    ToolbarButton* buttonFor(const QAction* action) const;
    // Indexes of the bordered buttons, left to right.
    QList<int> borderedButtons() const;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void clearBorders();

    QHBoxLayout* m_row = nullptr;
    QList<ToolbarButton*> m_buttons;
};

} // namespace mirelo
