#include "ui/MessageBoxes.h"

#include "base/Product.h"

namespace mirelo {

QMessageBox* showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                            QMessageBox::StandardButtons buttons, const QString& title) {
    auto* box =
        new QMessageBox(icon, title.isEmpty() ? applicationTitle() : title, text, buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (parent) {
        box->open();
    } else {
        box->setWindowModality(Qt::NonModal);
        box->show();
    }
    return box;
}

MessagePresenter messageBoxesOver(QWidget* parent) {
    return [parent](QMessageBox::Icon icon, const QString& text) {
        showMessageBox(parent, icon, text);
    };
}

void MessageBoxSink::showError(const QString& text) {
    showMessageBox(m_parent, QMessageBox::Critical, text);
}

void MessageBoxSink::showWarning(const QString& text, const QString& details) {
    auto* box =
        new QMessageBox(QMessageBox::Warning, applicationTitle(), text, QMessageBox::Ok, m_parent);
    box->setDetailedText(details);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MessageBoxSink::showInformation(const QString& text) {
    showMessageBox(m_parent, QMessageBox::Information, text);
}

} // namespace mirelo
