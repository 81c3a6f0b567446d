#pragma once

#include "platform/DesktopServices.h"

namespace mirelo {

// The desktop's own handlers (xdg-open and friends), through QDesktopServices.
class SystemDesktopServices : public DesktopServices {
public:
    bool openUrl(const QUrl& url) override;
};

} // namespace mirelo
