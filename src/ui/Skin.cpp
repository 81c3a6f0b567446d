#include "ui/Skin.h"

#include <QFile>
#include <QWidget>

namespace mirelo {

bool applySkin(QWidget* window, const QString& skinFile) {
    QFile file(skinFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString sheet = QString::fromUtf8(file.readAll());
    if (sheet.trimmed().isEmpty())
        return false;
    window->setStyleSheet(sheet);
    return true;
}

} // namespace mirelo
