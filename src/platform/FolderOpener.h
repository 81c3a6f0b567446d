#pragma once

#include <QString>

#include <functional>

namespace mirelo {

class DesktopServices;

// Shows a folder in the desktop's file manager.
class FolderOpener {
public:
    virtual ~FolderOpener() = default;
    virtual void openFolder(const QString& path) = 0;
};

// Opens folders through the desktop's handlers; a folder that is missing or that no file manager
// took is said through `report`, naming the folder, instead of only on the terminal.
class ServicesFolderOpener : public FolderOpener {
public:
    using Report = std::function<void(const QString& text)>;

    ServicesFolderOpener(DesktopServices& services, Report report);
    void openFolder(const QString& path) override;

private:
    DesktopServices& m_services;
    Report m_report;
};

} // namespace mirelo
