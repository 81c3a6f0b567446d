#include "capture/CaptureEngine.h"

#include "capture/CaptureTestSupport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace mirelo;
using namespace mirelo::test;

namespace {

const QString kCamera = QStringLiteral("testsrc=size=320x240:rate=25");

class CaptureEngineTest : public ::testing::Test {
protected:
    std::unique_ptr<CaptureEngine> makeEngine(const QStringList& graphs,
                                              const QString& encoder = ffmpeg()) {
        m_controls = std::make_shared<FakeCameraControls::State>();
        auto engine = std::make_unique<CaptureEngine>(
            new LavfiDeviceSource(graphs), std::make_unique<FakeCameraControls>(m_controls),
            encoder);
        engine->setDeviceIndex(0);
        engine->setConnected(true);
        return engine;
    }
    static QString ffmpeg() { return QStandardPaths::findExecutable("ffmpeg"); }

    // Records for the given time from the first frame written, then waits for the recording's
    // encoder to end.
    static void recordFor(CaptureEngine& engine, int ms) {
        QSignalSpy ended(&engine, &CaptureEngine::recordingEnded);
        QSignalSpy statistics(&engine, &CaptureEngine::statisticsChanged);
        engine.startCapture();
        ASSERT_TRUE(engine.isCapturing());
        while (engine.statistics().framesCaptured == 0)
            ASSERT_TRUE(statistics.wait(20000));
        QTimer::singleShot(ms, &engine, &CaptureEngine::stopCapture);
        ASSERT_TRUE(ended.wait(20000));
        EXPECT_FALSE(engine.isCapturing());
    }

    QTemporaryDir m_dir;
    std::shared_ptr<FakeCameraControls::State> m_controls;
};

TEST_F(CaptureEngineTest, TwoSecondRecordingIsAPlayableDivxAviWithStatisticsAndLivePicture) {
    auto engine = makeEngine({kCamera});
    const QString file = m_dir.filePath("capture 1 -x.avi");
    engine->setCaptureFileName(file);
    engine->setPreview(true);
    engine->setCompressorIndex(-1);
    QSignalSpy frames(engine.get(), &CaptureEngine::frameReady);
    QSignalSpy statistics(engine.get(), &CaptureEngine::statisticsChanged);
    QSignalSpy failures(engine.get(), &CaptureEngine::failed);
    recordFor(*engine, 2000);

    EXPECT_EQ(failures.count(), 0)
        << (failures.isEmpty() ? "" : failures[0][0].toString().toStdString());
    EXPECT_FALSE(engine->isCapturing());
    const RecordedVideo video = inspectRecording(file);
    ASSERT_TRUE(video.valid) << file.toStdString();
    EXPECT_TRUE(video.container.contains("avi"));
    EXPECT_EQ(video.codec, "mpeg4");
    EXPECT_EQ(video.tag, "DIVX");
    EXPECT_GT(video.duration, 1.5); // two seconds from the first progress report on
    EXPECT_LT(video.duration, 3.2);
    EXPECT_EQ(video.decodeErrors, "");

    const CaptureStatistics s = engine->statistics();
    EXPECT_GT(statistics.count(), 1);
    EXPECT_NEAR(double(s.framesCaptured), double(video.decodedFrames), 3.0);
    EXPECT_GE(s.framesCaptured, 25);
    EXPECT_NEAR(double(s.elapsedMs), double(s.framesCaptured) * 40.0, 200.0);

    ASSERT_GT(frames.count(), 5);
    const auto frame = frames.last()[0].value<CaptureFrame>();
    EXPECT_EQ(frame.width, 320);
    EXPECT_EQ(frame.height, 240);
    EXPECT_EQ(frame.rgb.size(), 320 * 240 * 3);

    QSignalSpy idle(engine.get(), &CaptureEngine::idle);
    engine->shutDown();
    ASSERT_TRUE(idle.wait(10000));
}

TEST_F(CaptureEngineTest, PreviewShowsPicturesWithoutWritingAFile) {
    auto engine = makeEngine({kCamera});
    engine->setCaptureFileName(m_dir.filePath("never.avi"));
    QSignalSpy frames(engine.get(), &CaptureEngine::frameReady);
    engine->setPreview(true);
    EXPECT_TRUE(engine->isBusy());
    ASSERT_TRUE(frames.wait(10000));
    EXPECT_FALSE(engine->isCapturing());
    QSignalSpy idle(engine.get(), &CaptureEngine::idle);
    engine->setPreview(false);
    ASSERT_TRUE(idle.wait(10000));
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("never.avi")));
}

TEST_F(CaptureEngineTest, PreviewTurnsIntoARecordingAndBackAgain) {
    auto engine = makeEngine({kCamera});
    const QString file = m_dir.filePath("after-preview.avi");
    engine->setCaptureFileName(file);
    engine->setPreview(true);
    QSignalSpy frames(engine.get(), &CaptureEngine::frameReady);
    ASSERT_TRUE(frames.wait(10000));
    recordFor(*engine, 1500);
    // The preview is still wanted, so it restarts after the recording.
    EXPECT_TRUE(engine->isBusy());
    frames.clear();
    ASSERT_TRUE(frames.wait(10000));
    EXPECT_TRUE(inspectRecording(file).valid);
    QSignalSpy idle(engine.get(), &CaptureEngine::idle);
    engine->shutDown();
    ASSERT_TRUE(idle.wait(10000));
}

TEST_F(CaptureEngineTest, DeviceThatStopsDeliveringEndsTheRecordingPlayable) {
    const QString graph = QStringLiteral("testsrc=size=320x240:rate=25:duration=1");
    auto engine = makeEngine({graph});
    const QString file = m_dir.filePath("short.avi");
    engine->setCaptureFileName(file);
    QSignalSpy failures(engine.get(), &CaptureEngine::failed);
    QSignalSpy idle(engine.get(), &CaptureEngine::idle);
    engine->startCapture();
    ASSERT_TRUE(idle.wait(20000));
    EXPECT_FALSE(engine->isCapturing());
    EXPECT_FALSE(engine->preview());
    ASSERT_EQ(failures.count(), 1);
    const QString message = failures[0][0].toString();
    EXPECT_TRUE(message.contains(engine->deviceName(0))) << message.toStdString();
    EXPECT_TRUE(message.contains("short.avi")) << message.toStdString();
    EXPECT_TRUE(message.contains("no more pictures")) << message.toStdString();
    const RecordedVideo video = inspectRecording(file);
    EXPECT_TRUE(video.valid);
    EXPECT_EQ(video.decodeErrors, "");
    EXPECT_NEAR(video.decodedFrames, 25, 2);
}

TEST_F(CaptureEngineTest, StartsThatCannotWorkAreReportedAndLeaveNothingRunning) {
    struct Case {
        const char* what;
        QString graph;
        QString encoder;
        QString file;
        const char* messagePart;
    };
    const Case cases[] = {
        {"broken device", "nosuchsource=size=320x240", ffmpeg(), m_dir.filePath("a.avi"),
         "nosuchsource"},
        {"missing folder", kCamera, ffmpeg(), m_dir.filePath("no/such/folder/b.avi"),
         "no/such/folder"},
        {"no file name", kCamera, ffmpeg(), "", "capture file"},
        {"no encoder", kCamera, QString(), m_dir.filePath("c.avi"), "ffmpeg"},
        {"encoder that cannot run", kCamera, m_dir.filePath("a.avi"), m_dir.filePath("d.avi"),
         "could not be started"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto engine = makeEngine({c.graph}, c.encoder);
        engine->setCaptureFileName(c.file);
        QSignalSpy failures(engine.get(), &CaptureEngine::failed);
        engine->startCapture();
        if (failures.isEmpty()) {
            ASSERT_TRUE(failures.wait(20000));
        }
        EXPECT_FALSE(engine->isCapturing());
        EXPECT_TRUE(failures[0][0].toString().contains(c.messagePart))
            << failures[0][0].toString().toStdString();
        if (engine->isBusy()) {
            EXPECT_TRUE(QSignalSpy(engine.get(), &CaptureEngine::idle).wait(10000));
        }
    }
}

TEST_F(CaptureEngineTest, StopAndShutDownWithNothingRunningAreHarmless) {
    auto engine = makeEngine({kCamera});
    QSignalSpy failures(engine.get(), &CaptureEngine::failed);
    QSignalSpy capturing(engine.get(), &CaptureEngine::capturingChanged);
    engine->stopCapture();
    engine->shutDown();
    engine->stopCapture();
    EXPECT_FALSE(engine->isBusy());
    EXPECT_EQ(failures.count(), 0);
    EXPECT_EQ(capturing.count(), 0);
}

TEST_F(CaptureEngineTest, ClosingWhileRecordingStopsInStagesWithinTheGrace) {
    auto engine = makeEngine({kCamera});
    const QString file = m_dir.filePath("closed.avi");
    engine->setCaptureFileName(file);
    QSignalSpy statistics(engine.get(), &CaptureEngine::statisticsChanged);
    engine->startCapture();
    ASSERT_TRUE(statistics.wait(10000));
    QSignalSpy idle(engine.get(), &CaptureEngine::idle);
    QElapsedTimer clock;
    clock.start();
    engine->shutDown();
    EXPECT_FALSE(engine->isCapturing());
    ASSERT_TRUE(idle.wait(10000));
    EXPECT_LT(clock.elapsed(), 3000); // ended by 'q', not by terminate
    EXPECT_EQ(inspectRecording(file).decodeErrors, "");
    EXPECT_TRUE(inspectRecording(file).valid);
}

TEST_F(CaptureEngineTest, ChoosingADeviceWhileRecordingEndsTheRecordingWithoutOverwritingIt) {
    auto engine = makeEngine({kCamera, QStringLiteral("testsrc2=size=320x240:rate=25")});
    const QString file = m_dir.filePath("first.avi");
    engine->setCaptureFileName(file);
    engine->setPreview(true);
    QSignalSpy statistics(engine.get(), &CaptureEngine::statisticsChanged);
    QSignalSpy ended(engine.get(), &CaptureEngine::recordingEnded);
    engine->startCapture();
    while (engine->statistics().framesCaptured < 10)
        ASSERT_TRUE(statistics.wait(20000));
    engine->setConnected(false);
    engine->setDeviceIndex(1);
    engine->setConnected(true);
    EXPECT_FALSE(engine->isCapturing());
    ASSERT_TRUE(ended.wait(10000));
    const int recorded = inspectRecording(file).decodedFrames;
    EXPECT_GE(recorded, 10);
    // The second device shows its picture but records nothing into the first device's file.
    QSignalSpy frames(engine.get(), &CaptureEngine::frameReady);
    ASSERT_TRUE(frames.wait(10000));
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(inspectRecording(file).decodedFrames, recorded);
    QSignalSpy idle(engine.get(), &CaptureEngine::idle);
    engine->shutDown();
    ASSERT_TRUE(idle.wait(10000));
}

TEST_F(CaptureEngineTest, CompressorsComeFromTheInstalledEncoder) {
    auto engine = makeEngine({kCamera});
    if (!engine->compressorsLoaded()) {
        ASSERT_TRUE(QSignalSpy(engine.get(), &CaptureEngine::compressorsChanged).wait(30000));
    }
    QStringList names;
    for (int i = 0; i < engine->compressorCount(); ++i)
        names.append(engine->compressorName(i));
    EXPECT_TRUE(names.contains("MPEG-4 part 2")) << names.join(", ").toStdString();
    EXPECT_FALSE(names.contains("PNG (Portable Network Graphics) image"));
    // No encoder of FFmpeg is named DivX*, so recordings fall back to MPEG-4 with the DIVX tag.
    EXPECT_EQ(firstDivxCompressor(names), std::nullopt);
}

TEST_F(CaptureEngineTest, CameraControlsFollowTheConnectedDevice) {
    auto engine = makeEngine({kCamera});
    m_controls->ranges[Pan] = {-36000, 36000, 3600, 0};
    EXPECT_TRUE(m_controls->open);
    EXPECT_EQ(engine->controlRange(Pan)->maximum, 36000);
    EXPECT_FALSE(engine->controlRange(Roll).has_value());
    EXPECT_TRUE(engine->setControlValue(Pan, 7200));
    EXPECT_EQ(engine->controlValue(Pan), 7200);
    engine->setConnected(false);
    EXPECT_FALSE(m_controls->open);
    EXPECT_FALSE(engine->controlRange(Pan).has_value());
}

} // namespace
