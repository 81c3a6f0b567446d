#include "capture/ui/Form3.h"

#include "capture/CaptureTestSupport.h"
#include "capture/SystemDeviceSource.h"
#include "capture/ui/CapturePicture.h"

#include <QComboBox>
#include <QFileDialog>
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

class Form3Test : public ::testing::Test {
protected:
    std::unique_ptr<Form3> openWindow(const QStringList& graphs) {
        auto engine = std::make_unique<CaptureEngine>(
            new LavfiDeviceSource(graphs), std::make_unique<FakeCameraControls>(controls_),
            QStandardPaths::findExecutable("ffmpeg"));
        auto window = std::make_unique<Form3>(std::move(engine), dir_.filePath("no.skn"));
        window->show();
        return window;
    }

    static bool waitForFrames(Form3& window) {
        return QTest::qWaitFor([&] { return window.engine()->statistics().framesCaptured > 0; },
                               20000);
    }

    QTemporaryDir dir_;
    std::shared_ptr<FakeCameraControls::State> controls_ =
        std::make_shared<FakeCameraControls::State>();
};

TEST_F(Form3Test, ControlsCaptionsAndPositions) {
    auto window = openWindow({});
    EXPECT_EQ(window->windowTitle(), "Capture Video From DV");
    struct Case {
        const char* name;
        QRect geometry; // pixels, twips / 15
        const char* caption;
    };
    const Case cases[] = {
        {"Frame1", {6, 2, 461, 371}, ""},
        {"vcx", {14, 14, 437, 349}, nullptr},
        {"Frame2", {472, 2, 285, 371}, "Camera Control"},
        {"Combo1", {52, 18, 213, 20}, nullptr},
        {"SkinLabel1", {8, 20, 44, 17}, "Camera"},
        {"SkinLabel2", {10, 52, 80, 17}, "Pan:"},
        {"SkinLabel3", {10, 102, 80, 17}, "Tilt:"},
        {"SkinLabel4", {10, 160, 80, 17}, "Roll:"},
        {"SkinLabel5", {10, 206, 80, 17}, "Zoom:"},
        {"Slider(0)", {6, 68, 273, 30}, nullptr},
        {"Slider(1)", {6, 118, 273, 30}, nullptr},
        {"Slider(2)", {6, 174, 273, 30}, nullptr},
        {"Slider(3)", {6, 224, 273, 30}, nullptr},
        {"Label2", {8, 290, 261, 19}, "00:00:00"},
        {"Frame3", {4, 378, 753, 43}, "Capture File"},
        {"Text1", {82, 14, 465, 23}, nullptr},
        {"Command5", {548, 16, 65, 21}, "Browse..."},
        {"Command3", {174, 436, 105, 27}, "Preview"},
        {"Command1", {286, 436, 105, 27}, "Start capture"},
        {"Command2", {398, 436, 105, 27}, "Stop capture"},
        {"Command4", {612, 436, 105, 27}, "Exit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* widget = window->findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), c.geometry);
        if (!c.caption)
            continue;
        EXPECT_EQ(captionOf(widget), c.caption);
    }
    EXPECT_EQ(window->statisticsTimer()->interval(), 500);
    EXPECT_TRUE(window->statisticsTimer()->isActive());
    EXPECT_EQ(window->picture()->backgroundColor(), QColor(Qt::black));
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    EXPECT_EQ(window->fileEdit()->text(), QDir::toNativeSeparators(videos + "/dvcapture.avi"));
}

TEST_F(Form3Test, WithoutADeviceTheCommandsStayOffAndExitCloses) {
    auto window = openWindow({});
    EXPECT_EQ(window->deviceList()->count(), 0);
    for (QPushButton* b : {window->startButton(), window->stopButton(), window->previewButton()})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    for (int i = 0; i < CameraControlCount; ++i)
        EXPECT_FALSE(window->slider(i)->isEnabled());
    window->stopButton()->click();
    window->exitButton()->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_FALSE(window->engine()->isBusy());
}

TEST_F(Form3Test, OpensOnTheSystemsOwnDevices) {
    Form3 window;
    const int cameras = int(listV4l2Devices(QStringLiteral("/dev")).size());
    EXPECT_EQ(window.deviceList()->count(), cameras); // none on a machine without a camera
    EXPECT_EQ(window.startButton()->isEnabled(), cameras > 0);
    EXPECT_EQ(window.stopButton()->isEnabled(), cameras > 0);
    EXPECT_EQ(window.previewButton()->isEnabled(), cameras > 0);
    EXPECT_FALSE(window.engine()->isBusy());
}

TEST_F(Form3Test, SlidersFollowTheDeviceControlRanges) {
    // A device without tilt and roll.
    controls_->ranges[Pan] = {-100, 100, 10, 0};
    controls_->values[Pan] = 20;
    controls_->ranges[Zoom] = {0, 10, 1, 3};
    auto window = openWindow({kCamera});
    ASSERT_EQ(window->deviceList()->count(), 1);
    EXPECT_EQ(controls_->openedPath, "");
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
    EXPECT_EQ(controls_->values.value(Zoom, -1), -1); // opening only read the controls
    window->slider(Zoom)->setValue(7);
    EXPECT_EQ(controls_->values.value(Zoom), 7);
    window->slider(Pan)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(controls_->values.value(Pan), window->slider(Pan)->value());
}

TEST_F(Form3Test, RecordingShowsStatisticsAndPictureAndStopsIntoAPlayableAvi) {
    auto window = openWindow({kCamera});
    const QString file = dir_.filePath("från kamera.avi");
    window->fileEdit()->setText(file);
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
}

TEST_F(Form3Test, ClosingWhileRecordingFinishesTheFileBeforeTheWindowGoes) {
    auto window = openWindow({kCamera});
    const QString file = dir_.filePath("closed.avi");
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

TEST_F(Form3Test, PreviewThenExitStopsThePicture) {
    auto window = openWindow({kCamera});
    window->previewButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->picture()->picture().isNull(); }, 10000));
    EXPECT_FALSE(window->engine()->isCapturing());
    window->exitButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 10000));
    EXPECT_FALSE(window->engine()->isBusy());
}

TEST_F(Form3Test, FailuresAreShownAndTheCommandsComeBack) {
    struct Case {
        const char* what;
        QString graph;
        QString file;
        const char* messagePart;
    };
    const Case cases[] = {
        {"missing folder", kCamera, dir_.filePath("nowhere/x.avi"), "nowhere"},
        {"device stops", kCamera + ":duration=1", dir_.filePath("short.avi"), "no more pictures"},
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

TEST_F(Form3Test, BrowseSetsTheFileAndCancelKeepsIt) {
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
    const QString chosen = dir_.filePath("chosen.avi");
    Q_EMIT window->saveDialog()->fileSelected(chosen);
    window->saveDialog()->close();
    EXPECT_EQ(window->fileEdit()->text(), QDir::toNativeSeparators(chosen));
}

} // namespace
