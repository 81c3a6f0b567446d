#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QLabel;

namespace mirelo {

// The About window: thanks, the rights notice, the credits and licences of MPlayer and FFmpeg,
// an invitation to the help, and the product's icon. Modal, in the main window's skin; it has no
// buttons and is closed with the window's close box.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // `helpPage` is where the invitation leads; `openLink` opens it (the desktop's browser).
    AboutDialog(const QString& skinFile, const QUrl& helpPage,
                std::function<void(const QUrl&)> openLink, QWidget* parent = nullptr);

    // The text lines, top to bottom, as shown (the invitation without its markup).
    QStringList texts() const;
    QLabel* iconPicture() const { return m_icon; } // the product's icon
    QLabel* invitation() const { return m_invitation; }

private:
    QLabel* addLine(const QString& name, const QString& text);

    QList<QLabel*> m_lines;
    QLabel* m_icon = nullptr;
    QLabel* m_invitation = nullptr;
};

} // namespace mirelo
