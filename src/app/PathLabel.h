#pragma once

#include <QLabel>

namespace mirelo {

// A path shown in one line: shortened in the middle to the label's width (both ends of a path
// tell most), whole in its tooltip. It never asks for more width than a few characters, so a long
// path cannot widen its window.
class PathLabel : public QLabel {
    Q_OBJECT
public:
    explicit PathLabel(QWidget* parent = nullptr);

    void setPath(const QString& path);
    QString path() const { return m_path; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showPath();

    QString m_path;
};

} // namespace mirelo
