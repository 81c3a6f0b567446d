#pragma once

#include <QString>

namespace mirelo {

// Shows a folder in the desktop's file manager.
class FolderOpener {
public:
    virtual ~FolderOpener() = default;
    virtual void openFolder(const QString& path) = 0;
};

} // namespace mirelo
