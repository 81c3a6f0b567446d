#pragma once

#include "platform/MessageSink.h"

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace mirelo {

// How a window tells the user something; tests put a recorder in its place.
using MessagePresenter = std::function<void(QMessageBox::Icon icon, const QString& text)>;

// The one way the desktop program shows a message: a box titled with the application title (or
// the title given) that returns at once and deletes itself when closed. Over a parent it is
// window-modal; without one it stands alone and blocks nothing.
QMessageBox* showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                            const QString& title = {});

// A presenter showing message boxes over the window.
MessagePresenter messageBoxesOver(QWidget* parent);

// The run's messages as message boxes over the window; a warning's details sit behind the box's
// "Show Details..." button.
class MessageBoxSink : public MessageSink {
public:
    explicit MessageBoxSink(QWidget* parent) : m_parent(parent) {}
    void showError(const QString& text) override;
    void showWarning(const QString& text, const QString& details) override;
    void showInformation(const QString& text) override;

private:
    QWidget* m_parent;
};

} // namespace mirelo
