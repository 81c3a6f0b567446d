#pragma once

// The main window with its conversion controller on recording platform edges, for the widget
// tests of a batch. Its outputs go to "out" in a temporary folder.

#include "ConvertTestSupport.h"
#include "app/ConversionController.h"
#include "app/MainWindow.h"
#include "common/TestSupport.h"
#include "settings/AppPaths.h"
#include "settings/AppSettings.h"
#include "sourcelist/ui/SourceListView.h"

#include <QTemporaryDir>

#include <memory>

namespace mirelo::test {

struct ConversionWindowParts {
    // Opens the window; autoShut: the stored "shut down after the batch".
    void openWindow(bool autoShut) {
        ASSERT_TRUE(dir.isValid());
        out = QDir(dir.filePath("out"));
        const AppPaths paths{appDir(), dir.filePath("settings.dat"),
                             QDir(appDir()).filePath("skins/frmmain.skn")};
        const AppSettings settings(paths.settingsFile, paths.appFolder);
        settings.setOutputFolder(out.path());
        if (autoShut)
            settings.setAutoShut(true);
        form = std::make_unique<MainWindow>(paths);
        controller = form->findChild<ConversionController*>();
        ASSERT_NE(controller, nullptr);
        controller->setPlatform(&power, &folders, &messages);
        form->sourceList()->setMessagePresenter([](QMessageBox::Icon, const QString&) {});
    }

    QTemporaryDir dir;
    QDir out;
    std::unique_ptr<MainWindow> form;
    ConversionController* controller = nullptr;
    EdgeLog log;
    FakePower power{log};
    FakeFolders folders{log};
    FakeMessages messages{log};
};

} // namespace mirelo::test
