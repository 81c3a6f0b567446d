// The trial encode that decides whether a hardware row can be picked, through fake encoders.

#include "convert/HardwareTrial.h"
#include "base/ToolLocator.h"
#include "convert/ConvertTestSupport.h"
#include "convert/EncoderCapabilities.h"
#include "profiles/Catalog.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

using namespace mirelo;
using namespace mirelo::test;

namespace {

// The encoders of the hardware rows, as the trial names them.
const QStringList kHardware{"h264_vaapi", "hevc_vaapi", "h264_nvenc",
                            "hevc_nvenc", "h264_qsv",   "hevc_qsv"};

struct Outcome {
    std::map<QString, TrialResult> results;
    QStringList order;
    bool finished = false;
};

Outcome runTrial(const QString& program, const EncoderCapabilities* capabilities = nullptr,
                 int timeoutMs = HardwareTrial::kTimeoutMs, const QString& storeFile = {}) {
    Outcome outcome;
    HardwareTrial trial;
    trial.setTimeout(timeoutMs);
    if (!storeFile.isEmpty())
        trial.setStoreFile(storeFile);
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { loop.exit(1); });
    QObject::connect(&trial, &HardwareTrial::tried, [&](const QString& e, const TrialResult& r) {
        outcome.results[e] = r;
        outcome.order += e;
    });
    QObject::connect(&trial, &HardwareTrial::finished, &loop, [&] {
        outcome.finished = true;
        loop.exit(0);
    });
    trial.start(program, capabilities);
    EXPECT_TRUE(outcome.order.isEmpty()) << "reported from inside start()";
    deadline.start(60000);
    EXPECT_EQ(loop.exec(), 0) << "the trial did not finish";
    return outcome;
}

class HardwareTrialTest : public ::testing::Test {
public:
    // A fake encoder: counts its runs, then does what the script says for the encoder named
    // after "-c:v".
    QString fakeEncoder(const QByteArray& body) {
        const QString path = dir.filePath(QStringLiteral("enc%1").arg(++m_count));
        writeFile(path, "#!/bin/sh\necho run >> \"" + dir.filePath("runs").toUtf8() +
                            "\"\nwhile [ \"$1\" != -c:v ]; do shift; done\nenc=$2\n" + body);
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        return path;
    }
    int runs() const { return readFile(dir.filePath("runs")).count("run"); }

    QTemporaryDir dir;

private:
    int m_count = 0;
};

} // namespace

TEST_F(HardwareTrialTest, EveryHardwareRowsEncoderIsTriedOnce) {
    QStringList fromCatalog;
    for (const CatalogRow& row : catalogRows())
        if (const QString e = hardwareEncoderOf(row); !e.isEmpty())
            fromCatalog += e;
    EXPECT_EQ(fromCatalog, kHardware);
    EXPECT_TRUE(hardwareEncoderOf(*catalogRow(94)).isEmpty());  // libx265 runs anywhere
    EXPECT_TRUE(hardwareEncoderOf(*catalogRow(107)).isEmpty()); // a heading

    const Outcome o = runTrial(fakeEncoder("exit 0\n"));
    EXPECT_TRUE(o.finished);
    EXPECT_EQ(o.order, kHardware);
    for (const QString& e : kHardware) {
        EXPECT_TRUE(o.results.at(e).works) << e.toStdString();
        EXPECT_TRUE(o.results.at(e).reason.isEmpty());
    }
    EXPECT_EQ(runs(), 6);
}

TEST_F(HardwareTrialTest, SuccessFailureAndTimeOutPerEncoder) {
    const QString program = fakeEncoder("case $enc in\n"
                                        "  *_nvenc) echo 'Cannot load libcuda.so.1' >&2; exit 1;;\n"
                                        "  hevc_qsv) exec sleep 30;;\n"
                                        "  *_qsv) kill -SEGV $$;;\n"
                                        "esac\nexit 0\n");
    QElapsedTimer clock;
    clock.start();
    const Outcome o = runTrial(program, nullptr, 1500);
    EXPECT_LT(clock.elapsed(), 20000);
    const struct {
        const char* encoder;
        bool works;
        const char* reasonHolds;
    } cases[] = {
        {"h264_vaapi", true, ""},
        {"hevc_vaapi", true, ""},
        {"h264_nvenc", false, "Cannot load libcuda.so.1"},
        {"hevc_nvenc", false, "Cannot load libcuda.so.1"},
        {"h264_qsv", false, "h264_qsv"},
        {"hevc_qsv", false, "in time"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoder);
        const TrialResult& r = o.results.at(c.encoder);
        EXPECT_EQ(r.works, c.works);
        EXPECT_TRUE(r.reason.contains(QLatin1String(c.reasonHolds))) << r.reason.toStdString();
        if (!c.works) {
            EXPECT_TRUE(r.reason.contains(QLatin1String(c.encoder))) << r.reason.toStdString();
        }
        EXPECT_EQ(cachedTrial(program, c.encoder)->works, c.works);
    }
}

TEST_F(HardwareTrialTest, KeptResultsAndMissingEncodersRunNothing) {
    const QString program = fakeEncoder("exit 1\n");
    runTrial(program);
    EXPECT_EQ(runs(), 6);
    // A second trial in the same process takes every result from the cache.
    const Outcome again = runTrial(program);
    EXPECT_EQ(runs(), 6);
    EXPECT_EQ(again.order, kHardware);
    EXPECT_FALSE(again.results.at("h264_vaapi").works);
    EXPECT_FALSE(cachedTrial(program + "x", "h264_vaapi").has_value());

    // An encoder the program's list lacks fails without a run, saying so.
    const QString other = fakeEncoder("exit 0\n");
    const EncoderCapabilities lists{{"h264_vaapi", "libx264"}, {"mp4"}};
    const Outcome listed = runTrial(other, &lists);
    EXPECT_EQ(runs(), 7);
    EXPECT_TRUE(listed.results.at("h264_vaapi").works);
    EXPECT_FALSE(listed.results.at("hevc_nvenc").works);
    EXPECT_TRUE(listed.results.at("hevc_nvenc").reason.contains("has no hevc_nvenc"));
}

// A later process takes the results from the capability file, until the program changes.
TEST_F(HardwareTrialTest, ResultsAreKeptWithTheStoredListsOfTheProgram) {
    const QString file = dir.filePath("Cache/encoder-capabilities.json");
    const EncoderCapabilities lists{{"h264_vaapi", "hevc_vaapi", "libx264"}, {"mp4"}};

    // Without stored lists nothing is kept on disk; with them, every result is.
    const QString tried = fakeEncoder("exit 0\n");
    runTrial(tried, nullptr, HardwareTrial::kTimeoutMs, file);
    EXPECT_TRUE(readStoredTrials(file, tried).isEmpty());
    const QString listed = fakeEncoder("exit 0\n");
    ASSERT_TRUE(writeStoredCapabilities(file, listed, lists));
    runTrial(listed, &lists, HardwareTrial::kTimeoutMs, file);
    const QJsonObject kept = readStoredTrials(file, listed);
    EXPECT_EQ(kept.size(), kHardware.size());
    EXPECT_TRUE(kept.value("h264_vaapi").toObject().value("works").toBool());
    EXPECT_FALSE(kept.value("h264_qsv").toObject().value("works").toBool());

    // A program this process never tried, with a result on disk: nothing runs.
    const QString stored = fakeEncoder("exit 0\n");
    ASSERT_TRUE(writeStoredCapabilities(file, stored, lists));
    ASSERT_TRUE(writeStoredTrial(file, stored, "h264_vaapi",
                                 {{"works", false}, {"reason", "no card in this test"}}));
    const int before = runs();
    const Outcome o = runTrial(stored, &lists, HardwareTrial::kTimeoutMs, file);
    EXPECT_EQ(runs(), before + 1) << "only hevc_vaapi, the one not on disk, is tried";
    EXPECT_EQ(o.results.at("h264_vaapi").reason, "no card in this test");

    // Storing the lists again, as after an upgrade, drops the results.
    ASSERT_TRUE(writeStoredCapabilities(file, stored, lists));
    EXPECT_TRUE(readStoredTrials(file, stored).isEmpty());
}

// A trial that runs out of time on a busy machine is no verdict: it is not kept on disk, so the
// next start tries the encoder again; real failures and successes are kept.
TEST_F(HardwareTrialTest, ATimeOutIsNotKeptOnDisk) {
    const QString file = dir.filePath("Cache/encoder-capabilities.json");
    const QString program = fakeEncoder("case $enc in\n"
                                        "  hevc_qsv) exec sleep 30;;\n"
                                        "  *_nvenc) exit 1;;\n"
                                        "esac\nexit 0\n");
    ASSERT_TRUE(writeStoredCapabilities(file, program, {{"libx264"}, {"mp4"}}));
    const Outcome o = runTrial(program, nullptr, 500, file);
    EXPECT_TRUE(o.results.at("hevc_qsv").reason.contains("in time"));
    const QJsonObject kept = readStoredTrials(file, program);
    EXPECT_FALSE(kept.contains("hevc_qsv"));
    EXPECT_EQ(kept.size(), kHardware.size() - 1);
    EXPECT_TRUE(kept.value("h264_qsv").toObject().value("works").toBool());
    EXPECT_FALSE(kept.value("h264_nvenc").toObject().value("works").toBool());
}

TEST(HardwareTrial, TheInstalledEncoderDecidesForThisMachine) {
    // The real encoder with its real lists: the result must agree with a direct run of the
    // same trial, whatever the machine has.
    const QString encoder = locateEncoder();
    ASSERT_FALSE(encoder.isEmpty());
    const Outcome o = runTrial(encoder);
    for (const QString& e : kHardware) {
        QProcess direct;
        direct.start(encoder, trialArguments(e));
        ASSERT_TRUE(direct.waitForFinished(30000));
        const bool works = direct.exitStatus() == QProcess::NormalExit && direct.exitCode() == 0;
        EXPECT_EQ(o.results.at(e).works, works) << e.toStdString();
        EXPECT_EQ(o.results.at(e).reason.isEmpty(), works) << e.toStdString();
    }
}
