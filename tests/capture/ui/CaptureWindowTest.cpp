#include "capture/ui/CaptureWindow.h"

#include "capture/CaptureTestSupport.h"
#include "capture/SystemDeviceSource.h"
#include "capture/ui/CapturePicture.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace mirelo;
using namespace mirelo::test;

namespace {

const QString kCamera = QStringLiteral("testsrc=size=320x240:rate=25");

QString captionOf(QWidget* widget) {
    if (auto* b = qobject_cast<QPushButton*>(widget))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(widget))
        return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(widget))
        return g->title();
    return {};
}

// The window makes the user's Videos folder when it is missing: every test runs with a home
// folder of its own, so none touches the real one.
class CaptureWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"})
            m_savedEnvironment.append({name, qgetenv(name)});
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath("home/config")));
        qputenv("HOME", m_dir.filePath("home").toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("home/config").toUtf8());
    }
    void TearDown() override {
        for (const auto& [name, value] : m_savedEnvironment)
            qputenv(name, value);
    }

    std::unique_ptr<CaptureWindow> openWindow(const QStringList& graphs) {
        auto engine = std::make_unique<CaptureEngine>(
            new LavfiDeviceSource(graphs), std::make_unique<FakeCameraControls>(m_controls),
            QStandardPaths::findExecutable("ffmpeg"));
        auto window = std::make_unique<CaptureWindow>(std::move(engine), m_dir.filePath("no.skn"));
        window->show();
        return window;
    }

    static bool waitForFrames(CaptureWindow& window) {
        return QTest::qWaitFor([&] { return window.engine()->statistics().framesCaptured > 0; },
                               20000);
    }

    QTemporaryDir m_dir;
    std::shared_ptr<FakeCameraControls::State> m_controls =
        std::make_shared<FakeCameraControls::State>();
    QList<std::pair<const char*, QByteArray>> m_savedEnvironment;
};

TEST_F(CaptureWindowTest, ControlsCaptionsAndArrangement) {
    auto window = openWindow({});
    EXPECT_EQ(window->windowTitle(), "Capture Video From DV");
    const struct {
        const char* name;
        const char* caption;
    } captions[] = {
        {"pictureFrame", ""},
        {"cameraFrame", "Camera Control"},
        {"cameraCaption", "Camera"},
        {"panCaption", "Pan:"},
        {"tiltCaption", "Tilt:"},
        {"rollCaption", "Roll:"},
        {"zoomCaption", "Zoom:"},
        {"captureTimeCaption", "Capture Time:"},
        {"statisticsLabel", "00:00:00"},
        {"fileFrame", "Capture File"},
        {"fileCaption", "Capture File:"},
        {"browseButton", "Browse..."},
        {"previewButton", "Preview"},
        {"startButton", "Start capture"},
        {"stopButton", "Stop capture"},
        {"exitButton", "Exit"},
    };
    for (const auto& c : captions) {
        auto* widget = window->findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(captionOf(widget), c.caption) << c.name;
    }
    for (const char* name : {"livePicture", "deviceList", "fileEdit", "panSlider", "tiltSlider",
                             "rollSlider", "zoomSlider"})
        EXPECT_NE(window->findChild<QWidget*>(name), nullptr) << name;

    // In window coordinates: the picture on the left, the camera controls on the right, the file
    // below both, the commands at the bottom with Exit apart on the right.
    auto at = [&](const char* name) {
        QWidget* w = window->findChild<QWidget*>(name);
        return QRect(w->mapTo(window.get(), QPoint()), w->size());
    };
    EXPECT_LT(at("pictureFrame").right(), at("cameraFrame").left());
    EXPECT_EQ(at("pictureFrame").top(), at("cameraFrame").top());
    EXPECT_TRUE(at("pictureFrame").contains(at("livePicture")));
    EXPECT_LT(qMax(at("pictureFrame").bottom(), at("cameraFrame").bottom()), at("fileFrame").top());
    EXPECT_LT(at("fileFrame").bottom(), at("previewButton").top());
    const char* rows[][2] = {{"cameraCaption", "deviceList"}, {"fileCaption", "fileEdit"},
                             {"fileEdit", "browseButton"},    {"previewButton", "startButton"},
                             {"startButton", "stopButton"},   {"stopButton", "exitButton"}};
    for (const auto& pair : rows) {
        EXPECT_LT(at(pair[0]).right(), at(pair[1]).left()) << pair[0] << " " << pair[1];
        EXPECT_TRUE(at(pair[0]).intersects(QRect(0, at(pair[1]).center().y(), 10000, 1)))
            << pair[0] << " and " << pair[1] << " share a row";
    }
    const char* column[] = {"deviceList", "panCaption",         "panSlider",      "tiltCaption",
                            "tiltSlider", "rollCaption",        "rollSlider",     "zoomCaption",
                            "zoomSlider", "captureTimeCaption", "statisticsLabel"};
    for (size_t i = 1; i < std::size(column); ++i)
        EXPECT_LT(at(column[i - 1]).bottom(), at(column[i]).top()) << column[i];
    EXPECT_GT(at("exitButton").left() - at("stopButton").right(),
              at("startButton").left() - at("previewButton").right())
        << "Exit stands apart";
    EXPECT_GE(window->width(), 763);
    EXPECT_GE(window->height(), 478);

    EXPECT_EQ(window->statisticsTimer()->interval(), 500);
    EXPECT_TRUE(window->statisticsTimer()->isActive());
    EXPECT_EQ(window->picture()->backgroundColor(), QColor(Qt::black));
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    EXPECT_EQ(window->fileEdit()->text(), QDir::toNativeSeparators(videos + "/dvcapture.avi"));
}

TEST_F(CaptureWindowTest, WithoutADeviceTheCommandsStayOffAndExitCloses) {
    auto window = openWindow({});
    EXPECT_EQ(window->deviceList()->count(), 0);
    // The chooser says why nothing can be recorded, and what cannot work is off.
    EXPECT_EQ(window->deviceList()->currentIndex(), -1);
    EXPECT_EQ(window->deviceList()->placeholderText(), "No camera found");
    EXPECT_FALSE(window->deviceList()->isEnabled());
    for (QPushButton* b : {window->startButton(), window->stopButton(), window->previewButton()})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(window->browseButton()->isEnabled());
    EXPECT_TRUE(window->exitButton()->isEnabled());
    for (int i = 0; i < CameraControlCount; ++i)
        EXPECT_FALSE(window->slider(i)->isEnabled());
    window->stopButton()->click();
    window->exitButton()->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_FALSE(window->engine()->isBusy());
}

TEST_F(CaptureWindowTest, OpensOnTheSystemsOwnDevices) {
    CaptureWindow window;
    const int cameras = int(listV4l2Devices(QStringLiteral("/dev")).size());
    EXPECT_EQ(window.deviceList()->count(), cameras); // none on a machine without a camera
    EXPECT_EQ(window.startButton()->isEnabled(), cameras > 0);
    EXPECT_EQ(window.stopButton()->isEnabled(), cameras > 0);
    EXPECT_EQ(window.previewButton()->isEnabled(), cameras > 0);
    EXPECT_FALSE(window.engine()->isBusy());
}

TEST_F(CaptureWindowTest, SlidersFollowTheDeviceControlRanges) {
    // A device without tilt and roll.
    m_controls->ranges[Pan] = {-100, 100, 10, 0};
    m_controls->values[Pan] = 20;
    m_controls->ranges[Zoom] = {0, 10, 1, 3};
    auto window = openWindow({kCamera});
    ASSERT_EQ(window->deviceList()->count(), 1);
    EXPECT_TRUE(window->deviceList()->isEnabled());
    EXPECT_EQ(window->deviceList()->currentIndex(), 0);
    EXPECT_EQ(m_controls->openedPath, "");
    struct Case {
        int control;
        bool enabled;
        int minimum, maximum, value;
    };
    const Case cases[] = {{Pan, true, -100, 100, 20},
                          {Tilt, false, 0, 0, 0},
                          {Roll, false, 0, 0, 0},
                          {Zoom, true, 0, 10, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        QSlider* slider = window->slider(c.control);
        EXPECT_EQ(slider->isEnabled(), c.enabled);
        if (!c.enabled)
            continue;
        EXPECT_EQ(slider->minimum(), c.minimum);
        EXPECT_EQ(slider->maximum(), c.maximum);
        EXPECT_EQ(slider->value(), c.value);
    }
    EXPECT_EQ(m_controls->values.value(Zoom, -1), -1); // opening only read the controls
    window->slider(Zoom)->setValue(7);
    EXPECT_EQ(m_controls->values.value(Zoom), 7);
    window->slider(Pan)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(m_controls->values.value(Pan), window->slider(Pan)->value());
}

TEST_F(CaptureWindowTest, RecordingShowsStatisticsAndPictureAndStopsIntoAPlayableAvi) {
    auto window = openWindow({kCamera});
    const QString file = m_dir.filePath("från kamera.avi");
    window->fileEdit()->setText(file);
    QStringList told;
    window->setEndNotice(
        [&told](const QString& body, const QString& folder) { told << body << folder; });
    ASSERT_TRUE(window->startButton()->isEnabled());
    window->startButton()->click();
    EXPECT_FALSE(window->startButton()->isEnabled());
    EXPECT_FALSE(window->previewButton()->isEnabled());
    EXPECT_TRUE(window->stopButton()->isEnabled());
    ASSERT_TRUE(waitForFrames(*window));
    const QRegularExpression line(QStringLiteral("^(\\d+) frames \\((\\d+) dropped\\) - "
                                                 "\\d+\\.\\d\\d sec\\.$"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto m = line.match(window->statisticsLabel()->text());
            return m.hasMatch() && m.captured(1).toInt() > 0;
        },
        5000))
        << window->statisticsLabel()->text().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->picture()->picture().isNull(); }, 10000));

    QSignalSpy ended(window->engine(), &CaptureEngine::recordingEnded);
    window->stopButton()->click();
    EXPECT_TRUE(window->startButton()->isEnabled());
    EXPECT_TRUE(window->previewButton()->isEnabled());
    ASSERT_TRUE(ended.wait(10000));
    const RecordedVideo video = inspectRecording(file);
    EXPECT_EQ(video.codec, "mpeg4");
    EXPECT_EQ(video.decodeErrors, "");
    EXPECT_EQ(window->findChild<QMessageBox*>(), nullptr);
    // The end of the recording is told once, with its folder for "Open folder".
    EXPECT_EQ(told, (QStringList{"Recorded från kamera.avi", QDir(m_dir.path()).absolutePath()}));
}

TEST_F(CaptureWindowTest, ClosingWhileRecordingFinishesTheFileBeforeTheWindowGoes) {
    auto window = openWindow({kCamera});
    const QString file = m_dir.filePath("closed.avi");
    window->fileEdit()->setText(file);
    window->startButton()->click();
    ASSERT_TRUE(waitForFrames(*window));
    window->close();
    EXPECT_TRUE(window->isVisible()); // waits for the encoder to finish the file
    EXPECT_FALSE(window->startButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 10000));
    EXPECT_FALSE(window->engine()->isBusy());
    const RecordedVideo video = inspectRecording(file);
    EXPECT_TRUE(video.valid);
    EXPECT_EQ(video.decodeErrors, "");
}

TEST_F(CaptureWindowTest, PreviewThenExitStopsThePicture) {
    auto window = openWindow({kCamera});
    window->previewButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->picture()->picture().isNull(); }, 10000));
    EXPECT_FALSE(window->engine()->isCapturing());
    window->exitButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 10000));
    EXPECT_FALSE(window->engine()->isBusy());
}

TEST_F(CaptureWindowTest, FailuresAreShownAndTheCommandsComeBack) {
    struct Case {
        const char* what;
        QString graph;
        QString file;
        const char* messagePart;
    };
    const Case cases[] = {
        {"missing folder", kCamera, m_dir.filePath("nowhere/x.avi"), "nowhere"},
        {"device stops", kCamera + ":duration=1", m_dir.filePath("short.avi"), "no more pictures"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto window = openWindow({c.graph});
        window->fileEdit()->setText(c.file);
        window->startButton()->click();
        QMessageBox* box = nullptr;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return (box = window->findChild<QMessageBox*>("captureFailure")) != nullptr; },
            20000));
        EXPECT_EQ(box->windowTitle(), "Mirelo Video Converter");
        EXPECT_TRUE(box->text().contains(c.messagePart)) << box->text().toStdString();
        EXPECT_TRUE(window->startButton()->isEnabled());
        EXPECT_TRUE(window->previewButton()->isEnabled());
        EXPECT_FALSE(window->engine()->isCapturing());
        box->close();
    }
}

TEST_F(CaptureWindowTest, BrowseSetsTheFileAndCancelKeepsIt) {
    auto window = openWindow({});
    const QString before = window->fileEdit()->text();
    window->browseButton()->click();
    QFileDialog* dialog = window->saveDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Save Video File");
    EXPECT_EQ(dialog->nameFilters(), QStringList{"Avi Video file (*.avi)"});
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    dialog->reject();
    EXPECT_EQ(window->fileEdit()->text(), before);

    QTRY_VERIFY(window->saveDialog() == nullptr);
    window->browseButton()->click();
    ASSERT_NE(window->saveDialog(), nullptr);
    const QString chosen = m_dir.filePath("chosen.avi");
    Q_EMIT window->saveDialog()->fileSelected(chosen);
    window->saveDialog()->close();
    EXPECT_EQ(window->fileEdit()->text(), QDir::toNativeSeparators(chosen));
}

// The default capture folder (the user's Videos folder) is made when a new account lacks it; when
// it cannot be made, Browse says why before the dialog opens in the home folder.
using CaptureFolderTest = CaptureWindowTest;

TEST_F(CaptureFolderTest, AMissingVideosFolderIsCreated) {
    const QString videos = m_dir.filePath("home/Videos");
    ASSERT_FALSE(QFileInfo::exists(videos));
    auto window = openWindow({});
    EXPECT_TRUE(QFileInfo(videos).isDir());
    EXPECT_EQ(window->fileEdit()->text(), QDir::toNativeSeparators(videos + "/dvcapture.avi"));
    window->browseButton()->click();
    EXPECT_NE(window->saveDialog(), nullptr) << "a usable folder goes straight to the dialog";
    window->saveDialog()->reject();
}

TEST_F(CaptureFolderTest, AFolderThatCannotBeMadeIsExplainedByBrowse) {
    QFile blocker(m_dir.filePath("home/Videos")); // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto window = openWindow({});
    window->browseButton()->click();
    auto* box = window->findChild<QMessageBox*>("captureFolderProblem");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Mirelo Video Converter");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_TRUE(box->text().contains(QDir::toNativeSeparators(m_dir.filePath("home/Videos"))))
        << box->text().toStdString();
    EXPECT_TRUE(box->text().contains("is a file")) << box->text().toStdString();
    EXPECT_EQ(window->saveDialog(), nullptr) << "the reason comes first";
    box->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(window->saveDialog() != nullptr);
    EXPECT_EQ(QDir(window->saveDialog()->directory()).absolutePath(),
              QDir(m_dir.filePath("home")).absolutePath());
    window->saveDialog()->reject();
}

} // namespace
