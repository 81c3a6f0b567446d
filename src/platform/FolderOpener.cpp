#include "platform/FolderOpener.h"

#include "platform/DesktopServices.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <utility>

namespace mirelo {

ServicesFolderOpener::ServicesFolderOpener(DesktopServices& services, Report report)
    : m_services(services), m_report(std::move(report)) {}

void ServicesFolderOpener::openFolder(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isDir()) {
        m_report(
            QStringLiteral("The folder %1 does not exist, so it cannot be opened.").arg(shown));
        return;
    }
    if (m_services.openUrl(QUrl::fromLocalFile(path)))
        return;
    m_report(QStringLiteral("No file manager could open the folder %1. Open it with a file "
                            "manager of your choice.")
                 .arg(shown));
}

} // namespace mirelo
