// Every window of the desktop program as it opens on a 1024x700 screen (CTest runs this program
// at scale 1 and at scale 2): texts fit, nothing overlaps, everything lies inside its window.
// With MIRELO_SCREENSHOT_DIR set, each window is also saved there as screenshot-<name>.png.

#include "app/layout/LayoutCheck.h"
#include "capture/CaptureTestSupport.h"
#include "common/TestSupport.h"

#include "app/AboutDialog.h"
#include "app/MainWindow.h"
#include "app/RunPanel.h"
#include "capture/DeviceSource.h"
#include "capture/ui/CaptureWindow.h"
#include "clip/ui/ClipEditor.h"
#include "onlineimport/ui/ImportWindow.h"
#include "player/PreviewPlayer.h"
#include "settings/AppPaths.h"
#include "settings/AppSettings.h"
#include "settings/ui/SettingsDialog.h"
#include "ui/Skin.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace mirelo {
namespace {

QString skinFile() {
    return QDir(test::appDir()).filePath(QStringLiteral("skins/frmmain.skn"));
}

// A long path of the kind the run panel and the clip editor show.
const QString kLongPath = QStringLiteral(
    "/home/someone/Videos/Holidays 2024/Family gathering at the lake, second afternoon, "
    "uncut camera original.avi");

struct Opened {
    std::unique_ptr<QWidget> window;
    QSet<QString> overlays; // panels that float over the window by design
};

class WindowLayout : public ::testing::TestWithParam<const char*> {
protected:
    // The capture window makes the user's Videos folder: give it a home of its own.
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"})
            m_environment.append({name, qgetenv(name)});
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("home/config"))));
        qputenv("HOME", m_dir.filePath(QStringLiteral("home")).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("home/config")).toUtf8());
    }
    void TearDown() override {
        for (const auto& [name, value] : m_environment)
            qputenv(name, value);
    }

    AppPaths mainPaths() const {
        AppPaths paths = AppPaths::inFolder(m_dir.path());
        paths.appFolder = test::appDir();
        paths.skinFile = skinFile();
        return paths;
    }

    Opened openMain(bool running) {
        auto window = std::make_unique<MainWindow>(mainPaths());
        if (running) {
            RunPanel* panel = window->runPanel();
            panel->setProgressCaption(QStringLiteral("Progress....") + kLongPath +
                                      QStringLiteral(" To ") + kLongPath);
            panel->rateLabel()->setText(
                QStringLiteral("Speed 12.34x   Time left: this file 0:10:00, all files 10:00:00"));
            panel->show();
            window->showChoicesApplyToNextRun(true);
        }
        return {std::move(window), {QStringLiteral("Picture4")}};
    }

    Opened openSettings() {
        return {std::make_unique<SettingsDialog>(
                    AppSettings(mainPaths().settingsFile, test::appDir()), skinFile()),
                {}};
    }

    Opened openAbout() {
        return {std::make_unique<AboutDialog>(skinFile(),
                                              QUrl(QStringLiteral("file:///help/index.html")),
                                              [](const QUrl&) {}),
                {}};
    }

    Opened openClipEditor() {
        return {std::make_unique<ClipEditor>(m_player, kLongPath,
                                             ClipTimes{QStringLiteral("0:00:10"),
                                                       QStringLiteral("0:01:50"),
                                                       QStringLiteral("0:02:00")},
                                             skinFile()),
                {}};
    }

    Opened openCapture(bool camera) {
        if (!camera)
            return {std::make_unique<CaptureWindow>(), {}};
        auto controls = std::make_shared<test::FakeCameraControls::State>();
        controls->ranges[Pan] = {-100, 100, 10, 0};
        controls->ranges[Zoom] = {0, 10, 1, 3};
        auto engine = std::make_unique<CaptureEngine>(
            new LavfiDeviceSource({QStringLiteral("testsrc=size=320x240:rate=25")}),
            std::make_unique<test::FakeCameraControls>(controls),
            QStandardPaths::findExecutable(QStringLiteral("ffmpeg")));
        return {std::make_unique<CaptureWindow>(std::move(engine), skinFile()), {}};
    }

    Opened openImport(bool preview) {
        auto window = std::make_unique<ImportWindow>(skinFile());
        if (preview)
            window->findChild<QPushButton*>(QStringLiteral("previewStream"))->click();
        return {std::move(window), {QStringLiteral("frmPR")}};
    }

    Opened open(const QString& name) {
        const std::map<QString, std::function<Opened()>> windows = {
            {QStringLiteral("main"), [this] { return openMain(false); }},
            {QStringLiteral("main-running"), [this] { return openMain(true); }},
            {QStringLiteral("settings"), [this] { return openSettings(); }},
            {QStringLiteral("about"), [this] { return openAbout(); }},
            {QStringLiteral("clip-editor"), [this] { return openClipEditor(); }},
            {QStringLiteral("capture"), [this] { return openCapture(false); }},
            {QStringLiteral("capture-camera"), [this] { return openCapture(true); }},
            {QStringLiteral("import"), [this] { return openImport(false); }},
            {QStringLiteral("import-preview"), [this] { return openImport(true); }},
        };
        return windows.at(name)();
    }

    QTemporaryDir m_dir;
    PreviewPlayer m_player;
    QList<std::pair<const char*, QByteArray>> m_environment;
};

void saveScreenshot(QWidget* window, const QString& name) {
    const QString folder = qEnvironmentVariable("MIRELO_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    const QString file = QDir(folder).filePath(QStringLiteral("screenshot-%1.png").arg(name));
    EXPECT_TRUE(window->grab().save(file)) << file.toStdString();
}

TEST_P(WindowLayout, TextsFitAndNothingOverlaps) {
    const QString name = QLatin1String(GetParam());
    Opened opened = open(name);
    QWidget* window = opened.window.get();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTest::qWait(50); // let deferred layout requests settle
    const QStringList problems = test::layoutProblems(window, opened.overlays);
    EXPECT_TRUE(problems.isEmpty()) << name.toStdString() << ":\n"
                                    << problems.join(QLatin1Char('\n')).toStdString();
    saveScreenshot(window, name);
    window->close();
}

INSTANTIATE_TEST_SUITE_P(Windows, WindowLayout,
                         ::testing::Values("main", "main-running", "settings", "about",
                                           "clip-editor", "capture", "capture-camera", "import",
                                           "import-preview"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '-')
                                     c = '_';
                             return name;
                         });

} // namespace
} // namespace mirelo
