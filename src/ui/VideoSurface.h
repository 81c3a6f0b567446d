#pragma once

#include <QWidget>

namespace mirelo {

// The area a preview player draws into (its native window id goes to the player).
// Until a player draws, it shows a dark screen with a faint play mark.
class VideoSurface : public QWidget {
    Q_OBJECT
public:
    explicit VideoSurface(QWidget* parent = nullptr);

    QSize sizeHint() const override { return {245, 157}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace mirelo
