#pragma once

#include <QUrl>

namespace mirelo {

// Hands an address or a local page to the desktop's default handler (the browser for the help).
// The desktop program uses SystemDesktopServices; tests use a recorder.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // False when no handler took the address.
    virtual bool openUrl(const QUrl& url) = 0;
};

} // namespace mirelo
