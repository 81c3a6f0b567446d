#pragma once

#include <QFrame>
#include <QToolButton>

#include <array>

namespace mirelo {

// One picture of the toolbar with its caption. It shows a single-line border while the toolbar
// says so, not while the mouse happens to be over it.
class ToolbarPicture : public QToolButton {
    Q_OBJECT
public:
    explicit ToolbarPicture(QWidget* parent = nullptr);

    bool isBordered() const { return m_bordered; }
    void setBordered(bool bordered);

Q_SIGNALS:
    // The mouse has moved onto the picture.
    void hovered();

protected:
    void enterEvent(QEnterEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_bordered = false;
};

// The toolbar Picture3: seven pictures with captions, left to right. Moving the mouse over a
// picture borders it; moving it over the toolbar's own background clears every border. Going
// straight from one picture to the next leaves the first one bordered until the background is
// crossed.
class Toolbar : public QFrame {
    Q_OBJECT
public:
    // Left to right; the order of MainWindow::Command.
    enum Picture { AddFiles, RemoveFile, ClearAll, ConvertNow, Settings, Help, Exit, PictureCount };

    explicit Toolbar(QWidget* parent = nullptr);

    ToolbarPicture* picture(int index) const { return m_pictures.at(static_cast<size_t>(index)); }
    // Indexes of the bordered pictures, left to right.
    QList<int> borderedPictures() const;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void clearBorders();

    std::array<ToolbarPicture*, PictureCount> m_pictures{};
};

} // namespace mirelo
