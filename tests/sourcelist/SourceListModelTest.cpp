#include "common/MediaFixtures.h"

#include "probe/ProbeQueue.h"
#include "sourcelist/SourceListModel.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace mirelo;

namespace {

class SourceListModelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // Until the probes queued so far have all reported.
    bool waitForProbes() { return !probesDone.isEmpty() || probesDone.wait(120000); }

    QVariant cell(int row, int column, int role = Qt::DisplayRole) const {
        return rows.index(row, column).data(role);
    }

    QTemporaryDir dir;
    SourceListModel rows;
    QSignalSpy probesDone{&rows, &SourceListModel::probingFinished};
    // Checks every change against the item-model contract the view relies on.
    QAbstractItemModelTester tester{&rows, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(SourceListModelTest, IdsAreNeverReusedAndGoneRowsAreNeverWritten) {
    rows.probeQueue().setPlayerProgram(dir.filePath("no-player")); // probes end at once
    std::set<RowId> seen;
    const auto add = [&](const char* path) {
        const RowId id = rows.addClip(QLatin1String(path), 0, std::nullopt);
        EXPECT_TRUE(seen.insert(id).second) << "id " << id << " handed out twice";
        return id;
    };
    const RowId a = add("/v/a.avi");
    const RowId b = add("/v/b.avi");
    const RowId c = add("/v/c.avi");
    ASSERT_TRUE(rows.remove(b));
    EXPECT_FALSE(rows.remove(b));
    const RowId d = add("/v/d.avi");
    EXPECT_EQ(rows.ids(), (QList<RowId>{a, c, d}));
    rows.clear();
    const RowId e = rows.addMediaFile(QStringLiteral("/v/e.avi"));
    EXPECT_TRUE(seen.insert(e).second);
    EXPECT_EQ(rows.ids(), QList<RowId>{e});

    // Writes addressed to rows that are gone change nothing, and no other row.
    QSignalSpy changed(&rows, &QAbstractItemModel::dataChanged);
    for (const RowId gone : {a, b, c, d, RowId(0), RowId(9999)}) {
        rows.setStatus(gone, {RowState::Done, QStringLiteral("done")});
        rows.setClipTimes(gone, 1, 2);
        EXPECT_EQ(rows.find(gone), nullptr);
        EXPECT_EQ(rows.rowOf(gone), -1);
    }
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(rows.at(0).status.state, RowState::NotProbed);
    EXPECT_EQ(rows.at(0).clipStart, std::nullopt);
    EXPECT_EQ(rows.idAt(1), 0u);
    EXPECT_EQ(rows.at(5).path, QString());
    ASSERT_TRUE(waitForProbes());
}

TEST_F(SourceListModelTest, CellsTooltipsAndTagsOfARow) {
    rows.probeQueue().setPlayerProgram(dir.filePath("no-player"));
    const RowId id = rows.addMediaFile(QStringLiteral("/v/clip one.avi"));
    const QString reading = QStringLiteral("Reading the file's size, format and length...");
    EXPECT_EQ(cell(0, SourceListModel::FileNameColumn).toString(), "/v/clip one.avi");
    EXPECT_EQ(cell(0, 0, SourceListModel::TagRole).toString(), "/v/clip one.avi");
    EXPECT_EQ(cell(0, 0, SourceListModel::RowIdRole).toULongLong(), id);
    EXPECT_TRUE(cell(0, 0, SourceListModel::ProbingRole).toBool());
    EXPECT_EQ(cell(0, 0, Qt::ToolTipRole).toString(), reading);
    EXPECT_TRUE(rows.isProbing());
    ASSERT_TRUE(waitForProbes()); // the missing player ends the probe with the defaults
    EXPECT_FALSE(rows.isProbing());
    EXPECT_FALSE(cell(0, 0, SourceListModel::ProbingRole).toBool());
    EXPECT_FALSE(cell(0, 0, Qt::ToolTipRole).isValid());

    rows.setStatus(id, {RowState::Failed, QStringLiteral("Encoder output:\nbad")});
    rows.setClipTimes(id, 3, 9);
    rows.setEstimatedBytes(id, 1258291);
    const struct {
        int column;
        const char* text;
        const char* toolTip; // nullptr: none
        Qt::Alignment align;
    } cases[] = {
        {SourceListModel::FileNameColumn, "/v/clip one.avi", nullptr, Qt::AlignLeft},
        {SourceListModel::StartColumn, "0:00:03", nullptr, Qt::AlignLeft},
        {SourceListModel::EndColumn, "0:00:09", nullptr, Qt::AlignHCenter},
        {SourceListModel::SizeColumn, "0x0", nullptr, Qt::AlignHCenter},
        {SourceListModel::FormatColumn, "", nullptr, Qt::AlignLeft},
        {SourceListModel::StatusColumn, "Fail", "Encoder output:\nbad", Qt::AlignLeft},
        {SourceListModel::VideoTimeColumn, "", nullptr, Qt::AlignLeft},
        {SourceListModel::OutputSizeColumn, "~1.2 MB", nullptr, Qt::AlignRight},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        EXPECT_EQ(cell(0, c.column).toString(), QLatin1String(c.text));
        EXPECT_EQ(cell(0, c.column, Qt::ToolTipRole).isValid(), c.toolTip != nullptr);
        if (c.toolTip) {
            EXPECT_EQ(cell(0, c.column, Qt::ToolTipRole).toString(), QLatin1String(c.toolTip));
        }
        EXPECT_EQ(Qt::Alignment(cell(0, c.column, Qt::TextAlignmentRole).toInt()),
                  c.align | Qt::AlignVCenter);
        EXPECT_FALSE(cell(0, c.column, SourceListModel::TagRole).isValid() &&
                     c.column != SourceListModel::FileNameColumn);
    }
}

// What each state shows in Status and Output Size: the size written once a row is done, else the
// estimate; the other columns read their numbers as times and a frame size.
TEST(SourceRowTexts, StatesTimesAndSizes) {
    using Column = SourceListModel::Column;
    const auto rowWith = [](RowStatus status) {
        SourceRow row;
        row.clipStart = 65;
        row.clipEnd = 90061; // hours do not wrap round at a day
        row.length = 3725;
        row.frameSize = QSize(640, 480);
        row.estimatedBytes = 1258291;
        row.status = std::move(status);
        return row;
    };
    const struct {
        RowStatus status;
        const char* shown;
        const char* outputSize;
    } states[] = {
        {RowState::NotProbed, "", "~1.2 MB"},
        {RowState::Ready, "", "~1.2 MB"},
        {RowState::Unreadable, "Unreadable", "~1.2 MB"},
        {RowState::Queued, "", "~1.2 MB"},
        {RowStatus::converting(std::nullopt, "caption"), "Processing", "~1.2 MB"},
        {RowStatus::converting(0.0, {}), "Processing 0%", "~1.2 MB"},
        {RowStatus::converting(0.29, {}), "Processing 29%", "~1.2 MB"},
        {RowStatus::done("/out/a.avi", 3 * 1024 * 1024, {}), "OK", "3.0 MB"},
        {RowStatus::done("/out/a.avi", 850 * 1024, {}), "OK", "850.0 kB"},
        {{RowState::Failed, "why"}, "Fail", "~1.2 MB"},
        {RowState::Skipped, "Skipped", "~1.2 MB"},
        {RowState::Cancelled, "Cancel", "~1.2 MB"},
    };
    for (const auto& c : states) {
        SCOPED_TRACE(c.shown);
        const SourceRow row = rowWith(c.status);
        EXPECT_EQ(SourceListModel::text(row, Column::StatusColumn), QLatin1String(c.shown));
        EXPECT_EQ(SourceListModel::statusText(c.status), QLatin1String(c.shown));
        EXPECT_EQ(SourceListModel::text(row, Column::OutputSizeColumn),
                  QLatin1String(c.outputSize));
    }

    const struct {
        const char* name;
        std::function<void(SourceRow&)> change;
        Column column;
        const char* text;
    } cells[] = {
        {"start", [](SourceRow&) {}, Column::StartColumn, "0:01:05"},
        {"end", [](SourceRow&) {}, Column::EndColumn, "25:01:01"},
        {"length", [](SourceRow&) {}, Column::VideoTimeColumn, "1:02:05"},
        {"frame", [](SourceRow&) {}, Column::SizeColumn, "640x480"},
        {"no start yet", [](SourceRow& r) { r.clipStart.reset(); }, Column::StartColumn, ""},
        {"to the end", [](SourceRow& r) { r.clipEnd.reset(); }, Column::EndColumn, ""},
        {"no length", [](SourceRow& r) { r.length.reset(); }, Column::VideoTimeColumn, ""},
        {"sound only", [](SourceRow& r) { r.frameSize = QSize(); }, Column::SizeColumn, ""},
        {"not asked", [](SourceRow& r) { r.frameSize = QSize(0, 0); }, Column::SizeColumn, "0x0"},
        {"no estimate", [](SourceRow& r) { r.estimatedBytes.reset(); }, Column::OutputSizeColumn,
         ""},
    };
    for (const auto& c : cells) {
        SCOPED_TRACE(c.name);
        SourceRow row = rowWith(RowState::Ready);
        c.change(row);
        EXPECT_EQ(SourceListModel::text(row, c.column), QLatin1String(c.text));
    }
}

// A file added by the user takes its clip from the probe; a clip chosen beforehand (mirelo-cli's
// --start and --end) stays as chosen while the probe fills in the rest.
TEST_F(SourceListModelTest, ProbeFillsTheRowAndKeepsAChosenClip) {
    const QString clip = test::makeVideoClip(QDir(dir.path()), "three.avi", 3);
    const RowId added = rows.addMediaFile(clip);
    const RowId chosen = rows.addClip(clip, 1, std::nullopt);
    EXPECT_TRUE(rows.find(chosen)->probed()); // a run never waits for it
    rows.probeInBackground(chosen);
    EXPECT_TRUE(rows.isProbing()); // the added row only
    QSignalSpy probed(&rows, &SourceListModel::rowProbed);
    ASSERT_TRUE(waitForProbes());
    ASSERT_EQ(probed.count(), 2);
    EXPECT_FALSE(rows.isProbing());

    const struct {
        RowId id;
        const char* start;
        const char* end;
    } cases[] = {{added, "0:00:00", "0:00:03"}, {chosen, "0:00:01", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const SourceRow* row = rows.find(c.id);
        ASSERT_NE(row, nullptr);
        const int at = rows.rowOf(c.id);
        EXPECT_EQ(row->status.state, RowState::Ready);
        EXPECT_EQ(cell(at, SourceListModel::StartColumn).toString(), QLatin1String(c.start));
        EXPECT_EQ(cell(at, SourceListModel::EndColumn).toString(), QLatin1String(c.end));
        EXPECT_EQ(row->frameSize, QSize(160, 120));
        EXPECT_EQ(row->length, 3);
    }
}

// A row removed while its probe waits or runs reports nothing, and the probe's result never
// lands on another row.
TEST_F(SourceListModelTest, RemovingARowStopsItsProbe) {
    const QString clip = test::makeVideoClip(QDir(dir.path()), "two.avi", 2);
    rows.probeQueue().setMaxConcurrent(1);
    const RowId running = rows.addMediaFile(clip);
    const RowId waiting = rows.addMediaFile(clip);
    const RowId kept = rows.addMediaFile(clip);
    QSignalSpy probed(&rows, &SourceListModel::rowProbed);
    ASSERT_TRUE(rows.remove(running));
    ASSERT_TRUE(rows.remove(waiting));
    const RowId later = rows.addMediaFile(clip);
    ASSERT_TRUE(waitForProbes());
    QList<RowId> reported;
    for (const QList<QVariant>& args : probed)
        reported += args.first().value<RowId>();
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(reported, (QList<RowId>{kept, later}));
    EXPECT_EQ(rows.at(0).length, 2);
    EXPECT_EQ(rows.at(1).length, 2);
}

// A file the player finds nothing in is listed as unreadable with the reason, not as a blank row
// sized "0x0"; sound alone shows no frame size.
TEST_F(SourceListModelTest, UnreadableFilesSayWhyAndSoundHasNoFrameSize) {
    const QDir in(dir.path());
    QFile corrupt(in.filePath("noise.avi"));
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write(QByteArray(4096, 'z'));
    corrupt.close();
    QFile empty(in.filePath("empty.mp4"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    const struct {
        QString path;
        const char* status;
        const char* size;
        const char* videoTime;
        bool unreadable;
    } cases[] = {
        {test::makeVideoClip(in, "video.avi", 2), "", "160x120", "0:00:02", false},
        {test::makeAudioClip(in, "sound.wav", 3), "", "", "0:00:03", false},
        {corrupt.fileName(), "Unreadable", "", "", true},
        {empty.fileName(), "Unreadable", "", "", true},
        {in.filePath("missing.avi"), "Unreadable", "", "", true},
    };
    for (const auto& c : cases)
        rows.addMediaFile(c.path);
    // A chosen clip's probe only fills in columns (a run does not wait for it), so it never
    // decides whether the file is converted.
    const RowId chosen = rows.addClip(corrupt.fileName(), 0, std::nullopt);
    rows.probeInBackground(chosen);
    ASSERT_TRUE(waitForProbes());
    EXPECT_FALSE(rows.find(chosen)->unreadable);
    EXPECT_EQ(rows.find(chosen)->status.state, RowState::Ready);
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.path.toStdString());
        const SourceRow& row = rows.at(i);
        EXPECT_EQ(cell(i, SourceListModel::StatusColumn).toString(), QLatin1String(c.status));
        EXPECT_EQ(cell(i, SourceListModel::SizeColumn).toString(), QLatin1String(c.size));
        EXPECT_EQ(cell(i, SourceListModel::VideoTimeColumn).toString(), QLatin1String(c.videoTime));
        EXPECT_EQ(row.unreadable, c.unreadable);
        if (c.unreadable) {
            EXPECT_TRUE(row.status.detail.contains(QDir::toNativeSeparators(c.path)))
                << row.status.detail.toStdString();
            EXPECT_EQ(cell(i, SourceListModel::StatusColumn, Qt::ToolTipRole).toString(),
                      row.status.detail);
        }
    }
}

} // namespace
