#include "ConvertTestSupport.h"

#include "common/MediaFixtures.h"
#include "convert/OutputSizeEstimate.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "profiles/SheetNames.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

using namespace mirelo;
using namespace mirelo::test;

namespace {

QStringList args(const char* text) {
    return QString::fromLatin1(text).split(QLatin1Char(' '));
}

TEST(OutputSizeEstimate, ComesFromTheBitratesOfTheVectorThatRuns) {
    const struct {
        const char* arguments;
        double seconds;
        std::optional<qint64> bytes;
    } cases[] = {
        {"-i in.avi -b:v 800k -b:a 128k out.avi", 10, (800000 + 128000) * 10 / 8},
        {"-i in.avi -b 1.5M -ab 64000 out.avi", 8, (1500000 + 64000) * 8 / 8},
        {"-i in.avi -vn -b:a 192k out.mp3", 60, 192000 * 60 / 8},
        {"-i in.avi -b:v 500k -an out.mp4", 4, 500000 * 4 / 8},
        // A path that reads like an option is a path.
        {"-i -vn -b:v 800k -b:a 128k out.avi", 1, (800000 + 128000) / 8},
        // Constant quality, copied or lossless streams: nothing to go by.
        {"-i in.avi -crf 20 -b:a 128k out.mp4", 10, std::nullopt},
        {"-i in.avi -c copy out.mkv", 10, std::nullopt},
        {"-i in.avi -vn -sn -c:a copy out.mka", 10, std::nullopt},
        {"-i in.avi -b:v 800k -c:a copy out.mkv", 10, std::nullopt},
        {"-i in.avi -vn -c:a flac out.flac", 10, std::nullopt},
        {"-i in.avi -b:v fast -b:a 128k out.avi", 10, std::nullopt},
        {"-i in.avi -b:v 800k -b:a 128k out.avi", 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(estimatedOutputBytes(args(c.arguments), c.seconds), c.bytes);
    }
    EXPECT_EQ(byteSizeText(1258291), "1.2 MB");
}

class OutputSizeEstimatesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        choose(41); // Creative Zen AVI: video and audio bitrates
        estimates.setProfileSource([this] { return position; });
    }
    void choose(int p) {
        position = p;
        resetToDefaults(sheet);
        applyPresets(sheet, p);
        estimates.refresh();
    }
    QString shown(RowId id) {
        QCoreApplication::processEvents(); // the coalesced update
        return rows.index(rows.rowOf(id), SourceListModel::OutputSizeColumn).data().toString();
    }
    // What the list shows in a column of the row.
    std::string cell(RowId id, SourceListModel::Column column) {
        QCoreApplication::processEvents(); // the coalesced update
        return rows.data(rows.index(rows.rowOf(id), column), Qt::DisplayRole)
            .toString()
            .toStdString();
    }
    // Another video bitrate: every estimate is worked out again, and a bitrate-based one changes.
    void changeVideoBitrate(int factor) {
        const QString rate =
            sheet.value(mirelo::sheet::kVideoOptions, mirelo::sheet::kVideoBitrate);
        ASSERT_TRUE(sheet.setValue(mirelo::sheet::kVideoOptions, mirelo::sheet::kVideoBitrate,
                                   QString::number(rate.toInt() * factor)));
    }
    RowId addProbed(const QString& path) {
        QSignalSpy probed(&rows, &SourceListModel::rowProbed);
        const RowId id = rows.addMediaFile(path);
        return probed.count() == 1 || probed.wait(30000) ? id : 0;
    }

    QTemporaryDir dir;
    OptionSheet sheet;
    SourceListModel rows;
    OutputSizeEstimates estimates{rows, sheet};
    int position = 0;
};

TEST_F(OutputSizeEstimatesTest, FollowTheProbeTheOptionsAndTheProfile) {
    const RowId id = addProbed(makeVideoClip(QDir(dir.path()), "clip.avi", 4));
    ASSERT_NE(id, 0u);
    const QString first = shown(id);
    ASSERT_TRUE(first.startsWith("~")) << first.toStdString();

    // Twice the video bitrate: a larger estimate, worked out again without being asked.
    const QString rate = sheet.value(mirelo::sheet::kVideoOptions, mirelo::sheet::kVideoBitrate);
    ASSERT_TRUE(sheet.setValue(mirelo::sheet::kVideoOptions, mirelo::sheet::kVideoBitrate,
                               QString::number(rate.toInt() * 4)));
    const QString larger = shown(id);
    EXPECT_NE(larger, first);

    // A shorter clip, a smaller one.
    rows.setClipTimes(id, 0, 1);
    EXPECT_NE(shown(id), larger);

    // A constant-quality profile gives no estimate rather than a wrong one.
    choose(97);
    EXPECT_EQ(shown(id), "");

    // A converted row keeps the size of what it wrote.
    rows.setStatus(id, RowStatus::done("/out/clip.avi", 3 * 1024 * 1024, {}));
    choose(41);
    EXPECT_EQ(shown(id), "3.0 MB");
}

// The cell shows the estimate before a run, keeps it while the row converts, whatever changes
// then, and shows the written size once the row ends "OK"; a failed row is estimated again.
TEST_F(OutputSizeEstimatesTest, AConvertingRowKeepsItsCellUntilItEnds) {
    const RowId id = addProbed(makeVideoClip(QDir(dir.path()), "clip.avi", 4));
    ASSERT_NE(id, 0u);
    const std::string before = cell(id, SourceListModel::OutputSizeColumn);
    ASSERT_TRUE(before.starts_with('~')) << before;

    // The statuses a run shows while the row converts.
    const struct {
        RowStatus status;
        const char* shown;
    } converting[] = {
        {RowStatus(RowState::Queued), ""},
        {RowStatus::converting(std::nullopt, "clip.avi"), "Processing"},
        {RowStatus::converting(0.0, "clip.avi"), "Processing 0%"},
        {RowStatus::converting(0.4, "clip.avi"), "Processing 40%"},
    };
    for (const auto& c : converting) {
        SCOPED_TRACE(c.shown);
        rows.setStatus(id, c.status);
        changeVideoBitrate(2);
        EXPECT_EQ(cell(id, SourceListModel::StatusColumn), c.shown);
        EXPECT_EQ(cell(id, SourceListModel::OutputSizeColumn), before);
    }

    rows.setStatus(id, RowStatus::done("/out/clip.avi", 3 * 1024 * 1024, {}));
    changeVideoBitrate(2);
    EXPECT_EQ(cell(id, SourceListModel::OutputSizeColumn), "3.0 MB");

    // A run that fails writes nothing worth showing: the estimate, as the options are now.
    rows.setStatus(id, RowStatus::converting(std::nullopt, "clip.avi"));
    rows.setStatus(id, RowStatus(RowState::Failed, "broken"));
    const std::string after = cell(id, SourceListModel::OutputSizeColumn);
    EXPECT_TRUE(after.starts_with('~')) << after;
    EXPECT_NE(after, before);
}

} // namespace
