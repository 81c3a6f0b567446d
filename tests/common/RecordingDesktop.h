#pragma once

#include "platform/DesktopServices.h"

#include <QList>
#include <QUrl>

namespace mirelo::test {

// The desktop's handlers are the edge: a test records what it would open instead of starting a
// file manager or a browser.
class RecordingDesktop : public DesktopServices {
public:
    bool openUrl(const QUrl& url) override {
        opened << url;
        return accepts;
    }
    QList<QUrl> opened;
    bool accepts = true; // what the desktop's handler answers
};

} // namespace mirelo::test
