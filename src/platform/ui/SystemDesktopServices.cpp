#include "platform/ui/SystemDesktopServices.h"

#include <QDesktopServices>

namespace mirelo {

bool SystemDesktopServices::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

} // namespace mirelo
