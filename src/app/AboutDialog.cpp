#include "app/AboutDialog.h"

#include "ui/Resources.h"
#include "ui/Skin.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QTextDocument>
#include <QVBoxLayout>

#include <utility>

namespace mirelo {

namespace {

struct Line {
    const char* name;
    const char* text;
};

// The texts, top to bottom; the invitation follows them.
constexpr Line kLines[] = {
    {"thanksLine", "Thank you for using Mirelo Video Converter"},
    {"rightsLine",
     "Copyright \u00a9 2026 the Mirelo Video Converter developers. Mirelo Video Converter is free "
     "software: you may share and change it under the terms of the GNU General Public License."},
    {"creditsLine", "This product includes software developed by the MPlayer Project.\n"
                    "This product includes software developed by the FFMpeg Project."},
    {"licencesLine", "MPlayer is licensed under the GNU General Public License Version 2.\n"
                     "FFmpeg is licensed under the GNU General Public License."},
};

constexpr char kIcon[] = ":/icons/app/mirelo-video-converter.svg";

QString invitationText(const QUrl& helpPage) {
    return QStringLiteral("Visit the <a href=\"%1\">Mirelo Video Converter help</a> for a guide to "
                          "every window and answers to common problems (Help menu, F1).")
        .arg(helpPage.toString(QUrl::FullyEncoded).toHtmlEscaped());
}

} // namespace

AboutDialog::AboutDialog(const QString& skinFile, const QUrl& helpPage,
                         std::function<void(const QUrl&)> openLink, QWidget* parent)
    : QDialog(parent) {
    initUiResources();
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    applySkin(this, skinFile);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("productIcon"));
    m_icon->setPixmap(QIcon(QLatin1String(kIcon)).pixmap(96, 96));
    m_icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    for (const Line& line : kLines)
        addLine(QLatin1String(line.name), QString::fromUtf8(line.text));
    m_invitation = addLine(QStringLiteral("invitationLine"), invitationText(helpPage));
    m_invitation->setTextFormat(Qt::RichText);
    m_invitation->setOpenExternalLinks(false);
    m_invitation->setTextInteractionFlags(Qt::TextBrowserInteraction);
    connect(m_invitation, &QLabel::linkActivated, this,
            [open = std::move(openLink)](const QString& link) { open(QUrl(link)); });

    // Its own sheet: the skin's label rules would override a plain font.
    m_lines.front()->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 13pt;"));

    auto* column = new QVBoxLayout;
    column->setSpacing(10);
    for (QLabel* label : std::as_const(m_lines))
        column->addWidget(label);
    column->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(18);
    layout->addWidget(m_icon);
    layout->addLayout(column, 1);
    setMinimumWidth(640);
}

QLabel* AboutDialog::addLine(const QString& name, const QString& text) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    m_lines << label;
    return label;
}

QStringList AboutDialog::texts() const {
    QStringList texts;
    for (const QLabel* label : m_lines) {
        if (label->textFormat() != Qt::RichText) {
            texts << label->text();
            continue;
        }
        QTextDocument document;
        document.setHtml(label->text());
        texts << document.toPlainText();
    }
    return texts;
}

} // namespace mirelo
