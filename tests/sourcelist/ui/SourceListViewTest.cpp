#include "common/MediaFixtures.h"

#include "app/WindowPlacement.h"
#include "base/ByteNames.h"
#include "probe/ProbeQueue.h"
#include "profiles/OptionSheet.h"
#include "profiles/SheetNames.h"
#include "sourcelist/SourceListModel.h"
#include "sourcelist/ui/SourceListView.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace mirelo {
namespace {

struct Shown {
    QMessageBox::Icon icon;
    QString text;
};

// A list on screen (offscreen platform) that records its messages instead of showing boxes.
class SourceListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        list.setMessagePresenter([this](QMessageBox::Icon icon, const QString& text) {
            shown.push_back({icon, text});
        });
        list.resize(1200, 400);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    QStringList paths() const {
        QStringList result;
        for (int i = 0; i < rows.rowCount(); ++i)
            result << rows.at(i).path;
        return result;
    }

    bool waitForProbes() {
        if (!rows.isProbing())
            return true;
        QSignalSpy done(&rows, &SourceListModel::probingFinished);
        return done.wait(120000) && !rows.isProbing();
    }

    // What the list shows in a cell, for a role.
    QVariant display(int row, int column, int role = Qt::DisplayRole) const {
        return list.model()->index(row, column).data(role);
    }

    // Near the left edge: a row is wider than the viewport.
    QPoint rowCenter(int row) const {
        return QPoint(20, list.visualRect(list.model()->index(row, 0)).center().y());
    }

    void select(int row) { list.setCurrentIndex(list.model()->index(row, 0)); }

    SourceListModel rows;
    SourceListView list{rows};
    std::vector<Shown> shown;
};

TEST_F(SourceListViewTest, ColumnsHaveTheirHeadersAndAlignments) {
    const struct {
        const char* header;
        Qt::Alignment align;
    } expected[] = {{"File Name", Qt::AlignLeft}, {"Start", Qt::AlignLeft},
                    {"End", Qt::AlignHCenter},    {"Size", Qt::AlignHCenter},
                    {"Format", Qt::AlignLeft},    {"Status", Qt::AlignLeft},
                    {"Video Time", Qt::AlignLeft}};
    EXPECT_EQ(list.objectName(), QStringLiteral("lvwAudioTracks"));
    ASSERT_EQ(list.header()->count(), 8);
    const QAbstractItemModel* model = list.model();
    for (int c = 0; c < 7; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(),
                  QLatin1String(expected[c].header));
        EXPECT_EQ(
            Qt::Alignment(model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt()) &
                Qt::AlignHorizontal_Mask,
            expected[c].align);
    }
    rows.addMediaFile(QStringLiteral("/no/such/clip.avi"));
    EXPECT_EQ(display(0, 0, SourceListModel::TagRole).toString(),
              QStringLiteral("/no/such/clip.avi"));
    EXPECT_EQ(Qt::Alignment(display(0, SourceListModel::EndColumn, Qt::TextAlignmentRole).toInt()) &
                  Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
}

TEST_F(SourceListViewTest, DropAddsAcceptedFilesAndStopsAtTheFirstRejectedOne) {
    const struct {
        const char* name;
        QStringList dropped;
        QStringList added;
    } cases[] = {
        {"mixed case extension", {"/v/clip.Avi"}, {"/v/clip.Avi"}},
        {"trailing letters without a dot", {"/v/uniform"}, {"/v/uniform"}},
        {"every accepted ending",
         {"/v/a.mpg", "/v/b.WMV", "/v/c.flv", "/v/d.asf", "/v/e.mov", "/v/f.mp4", "/v/g.3gp",
          "/v/h.3g2", "/v/i.swf", "/v/j.mkv", "/v/k.qt", "/v/l.rm", "/v/m.mpeg", "/v/n.rmvb",
          "/v/o.divx"},
         {"/v/a.mpg", "/v/b.WMV", "/v/c.flv", "/v/d.asf", "/v/e.mov", "/v/f.mp4", "/v/g.3gp",
          "/v/h.3g2", "/v/i.swf", "/v/j.mkv", "/v/k.qt", "/v/l.rm", "/v/m.mpeg", "/v/n.rmvb",
          "/v/o.divx"}},
        {"a text file between two clips", {"/v/a.avi", "/v/b.txt", "/v/c.avi"}, {"/v/a.avi"}},
        {"offered by the dialog, refused by the drop", {"/v/song.wma", "/v/x.avi"}, {}},
        {"m2ts refused", {"/v/hd.m2ts"}, {}},
    };
    rows.probeQueue().setMaxConcurrent(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        list.clearAll();
        shown.clear();
        list.dropFiles(c.dropped);
        EXPECT_EQ(paths(), c.added);
        const bool rejected = c.added.size() < c.dropped.size();
        ASSERT_EQ(shown.size(), rejected ? 1u : 0u);
        if (rejected) {
            EXPECT_EQ(shown[0].text, QStringLiteral("Only Video files are allowed!"));
            EXPECT_EQ(shown[0].icon, QMessageBox::Information);
        }
    }
}

TEST_F(SourceListViewTest, RealDropEventOfFileUrls) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/v/a b.avi")),
                  QUrl::fromLocalFile(QStringLiteral("/v/notes.txt")),
                  QUrl::fromLocalFile(QStringLiteral("/v/c.avi"))});
    const QPoint pos(20, 20);
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &drop);
    EXPECT_EQ(paths(), QStringList{QStringLiteral("/v/a b.avi")});
    EXPECT_EQ(shown.size(), 1u);

    // With stand-in links, a name that is not UTF-8 keeps its bytes.
    StandInLinks links;
    list.setStandIns(&links);
    list.clearAll();
    shown.clear();
    QMimeData bytes;
    bytes.setData(QStringLiteral("text/uri-list"), "file:///v/bad%FF.avi\r\nfile:///v/c.avi\r\n");
    QDragEnterEvent byteEnter(pos, Qt::CopyAction, &bytes, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &byteEnter);
    EXPECT_TRUE(byteEnter.isAccepted());
    QDropEvent byteDrop(QPointF(pos), Qt::CopyAction, &bytes, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &byteDrop);
    ASSERT_EQ(paths().size(), 2);
    ASSERT_TRUE(links.isStandIn(paths()[0])) << paths()[0].toStdString();
    EXPECT_EQ(*links.target(paths()[0]), QByteArray("/v/bad\xff.avi"));
    EXPECT_EQ(paths()[1], QStringLiteral("/v/c.avi"));
    EXPECT_TRUE(shown.empty());
    list.setStandIns(nullptr);

    QMimeData text;
    text.setText(QStringLiteral("just text"));
    QDragEnterEvent refused(pos, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(SourceListViewTest, ClickShowsTheRowInTheSheet) {
    OptionSheet sheet;
    resetToDefaults(sheet);
    list.setOptionSheet(&sheet);
    using namespace sheet;
    const auto value = [&sheet](const char* category, const char* item) {
        return sheet.value(QLatin1String(category), QLatin1String(item));
    };
    sheet.setValue(QLatin1String(kOutputDuration), QLatin1String(kAllClipDuration),
                   QStringLiteral("0:00:10"));
    const QString itemNameBefore = value(kGeneral, kItemName);

    // Click on an empty list: the sheet is not touched.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(30, 30));
    list.showSelectedInSheet();
    EXPECT_EQ(value(kGeneral, kItemName), itemNameBefore);
    EXPECT_EQ(value(kOutputDuration, kAllClipDuration), QStringLiteral("0:00:10"));
    EXPECT_EQ(list.currentFile(), QString());

    list.addFiles({QStringLiteral("/v/one.avi"), QStringLiteral("/v/two.avi")});
    rows.setClipTimes(rows.idAt(1), 5, 60);
    QSignalSpy current(&list, &SourceListView::currentFileChanged);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rowCenter(1));
    EXPECT_EQ(list.currentFile(), QStringLiteral("/v/two.avi"));
    EXPECT_EQ(current.size(), 1);
    EXPECT_EQ(value(kGeneral, kItemName), QStringLiteral("/v/two.avi"));
    EXPECT_EQ(value(kOutputDuration, kAllClipDuration), QString());
    EXPECT_EQ(value(kOutputDuration, kStartTime), QStringLiteral("0:00:05"));
    EXPECT_EQ(value(kOutputDuration, kStopTime), QStringLiteral("0:01:00"));
}

TEST_F(SourceListViewTest, DoubleClickAsksThePreviewToQuitThenRequestsTheClipEditor) {
    list.addFiles({QStringLiteral("/v/one.avi"), QStringLiteral("/v/two.avi")});
    rows.setClipTimes(rows.idAt(0), 1, 9);
    QStringList events;
    SourceListView::ClipRequest request;
    QObject::connect(&list, &SourceListView::previewQuitRequested,
                     [&] { events << QStringLiteral("quit"); });
    QObject::connect(&list, &SourceListView::videoClipRequested,
                     [&](const SourceListView::ClipRequest& r) {
                         events << QStringLiteral("clip");
                         request = r;
                     });
    // A real double-click: the first press selects the row, the second arrives as a double-click.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rowCenter(0));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rowCenter(0));
    EXPECT_EQ(events, (QStringList{"quit", "clip"}));
    EXPECT_EQ(request.id, rows.idAt(0));
    EXPECT_EQ(request.file, QStringLiteral("/v/one.avi"));
    EXPECT_EQ(request.start, QStringLiteral("0:00:01"));
    EXPECT_EQ(request.end, QStringLiteral("0:00:09"));

    // The "Video Clip" command does the same; an empty list does nothing.
    events.clear();
    list.requestVideoClip();
    EXPECT_EQ(events, (QStringList{"quit", "clip"}));
    list.clearAll();
    events.clear();
    list.requestVideoClip();
    EXPECT_TRUE(events.isEmpty());
}

TEST_F(SourceListViewTest, RemoveAndClear) {
    list.addFiles(
        {QStringLiteral("/v/a.avi"), QStringLiteral("/v/b.avi"), QStringLiteral("/v/c.avi")});
    list.removeSelected(); // nothing selected: nothing happens
    EXPECT_EQ(rows.rowCount(), 3);
    select(1);
    list.removeSelected();
    EXPECT_EQ(paths(), (QStringList{"/v/a.avi", "/v/c.avi"}));
    list.clearAll();
    EXPECT_EQ(rows.rowCount(), 0);
    EXPECT_FALSE(rows.isProbing());
}

// The window gives the menu its commands; showing them again replaces the earlier ones.
TEST_F(SourceListViewTest, ContextMenuShowsTheGivenActionsInOrderAndOpensOnRightPress) {
    QMenu* menu = list.contextMenu();
    EXPECT_EQ(menu->objectName(), QStringLiteral("contextMenu"));
    QAction convert(QStringLiteral("Convert Now!"));
    QAction play(QStringLiteral("Play Selected File"));
    QAction separator;
    separator.setSeparator(true);
    list.setContextActions({&play});
    list.setContextActions({&convert, &separator, &play});
    QStringList entries;
    for (QAction* a : menu->actions())
        entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(entries, (QStringList{"Convert Now!", "-", "Play Selected File"}));
    QSignalSpy triggered(&convert, &QAction::triggered);
    menu->actions().first()->trigger();
    EXPECT_EQ(triggered.size(), 1);
    QTest::mousePress(list.viewport(), Qt::RightButton, {}, QPoint(40, 40));
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
}

TEST_F(SourceListViewTest, OpenDialogOffersItsFiltersAndAddsTheChosenFilesInOrder) {
    QTemporaryDir dir;
    QDir d(dir.path());
    for (const char* name : {"b.avi", "a.avi", "c.avi"}) {
        QFile f(d.filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    list.addFilesWithDialog();
    QFileDialog* dialog = list.openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->objectName(), QStringLiteral("openFilesDialog"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Open Video File"));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_TRUE(dialog->isVisible());
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 14);
    EXPECT_EQ(types->currentIndex(), 0);
    const char* expected[] = {"All supported media files",
                              "Windows Media files (*.avi;*.wmv;*.wma;*.asf)",
                              "Mov/MP4 Files (*.mov;*.mp4;*.3gp;*.3g2)",
                              "Real Media Files (*.rm;*.rmvb)",
                              "Flash Video files (*.flv)",
                              "Matroska Video files (*.mkv)",
                              "Sony High Definition Video File (*.m2ts)",
                              "MPEG-1 Video File (*.m1v;*.mpe;*.mpg;*.mpeg)",
                              "MPEG-2 Video File (*.m2v;*.mpe;*.mpg;*.mpeg)",
                              "Divx Video File (*.divx)",
                              "Ogg Media File (*.ogm)",
                              "DVD-VR Video File(*.vro)",
                              "Other Video File(*.dr;*.amv)",
                              "All files (*.*)"};
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(types->itemText(i), QLatin1String(expected[i])) << i;
    EXPECT_TRUE(dialog->nameFilters().at(1).endsWith(QStringLiteral("(*.avi *.wmv *.wma *.asf)")));

    dialog->reject();
    EXPECT_EQ(rows.rowCount(), 0);

    list.addFilesWithDialog();
    dialog->setDirectory(dir.path());
    dialog->selectFile(QStringLiteral("\"b.avi\" \"a.avi\" \"c.avi\""));
    static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept checks the chosen files
    EXPECT_EQ(paths(),
              (QStringList{d.filePath("b.avi"), d.filePath("a.avi"), d.filePath("c.avi")}));
}

TEST_F(SourceListViewTest, RowsKeepTheirAddingOrderUnderConcurrentProbing) {
    QTemporaryDir dir;
    QDir d(dir.path());
    const struct {
        QString path;
        const char* size;
        const char* length;
    } files[] = {
        {test::makeVideoClip(d, QStringLiteral("one.avi"), 3, QStringLiteral("160x120")), "160x120",
         "0:00:03"},
        {test::makeAudioClip(d, QStringLiteral("two.mp3"), 2), "", "0:00:02"},
        {test::makeVideoClip(d, QStringLiteral("three é.avi"), 1, QStringLiteral("64x48")), "64x48",
         "0:00:01"},
        {test::makeVideoClip(d, QStringLiteral("four.avi"), 2, QStringLiteral("96x64")), "96x64",
         "0:00:02"},
    };
    rows.probeQueue().setMaxConcurrent(2);
    QSignalSpy probed(&rows, &SourceListModel::rowProbed);
    for (const auto& f : files)
        rows.addMediaFile(f.path);
    rows.addMediaFile(files[0].path); // the same file twice: two rows, each probed
    ASSERT_EQ(rows.rowCount(), 5);
    EXPECT_TRUE(rows.isProbing());
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(rows.at(i).probed());
        for (int column = 1; column < SourceListModel::ColumnCount; ++column)
            EXPECT_EQ(display(i, column).toString(), QString());  // only the name until the probe
        EXPECT_TRUE(display(i, 0, Qt::ForegroundRole).isValid()); // greyed
    }
    ASSERT_TRUE(waitForProbes());
    EXPECT_EQ(probed.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const auto& f = files[i % 4];
        SCOPED_TRACE(f.path.toStdString());
        const SourceRow& row = rows.at(i);
        EXPECT_EQ(row.path, f.path);
        EXPECT_EQ(display(i, SourceListModel::StartColumn).toString(), QStringLiteral("0:00:00"));
        EXPECT_EQ(display(i, SourceListModel::SizeColumn).toString(), QLatin1String(f.size));
        EXPECT_EQ(display(i, SourceListModel::EndColumn).toString(), QLatin1String(f.length));
        EXPECT_EQ(display(i, SourceListModel::VideoTimeColumn).toString(), QLatin1String(f.length));
        EXPECT_EQ(row.status.state, RowState::Ready);
        EXPECT_FALSE(display(i, 0, Qt::ForegroundRole).isValid());
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(SourceListViewTest, MissingPlayerIsReportedOnceAndRowsKeepTheirDefaults) {
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArrayLiteral("/nonexistent"));
    list.addFiles(
        {QStringLiteral("/v/a.avi"), QStringLiteral("/v/b.avi"), QStringLiteral("/v/c.avi")});
    const bool done = waitForProbes();
    qputenv("PATH", path);
    ASSERT_TRUE(done);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("\"mplayer\"")))
        << shown[0].text.toStdString();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(display(i, SourceListModel::StartColumn).toString(), QStringLiteral("0:00:00"));
        EXPECT_EQ(display(i, SourceListModel::SizeColumn).toString(), QStringLiteral("0x0"));
        EXPECT_EQ(display(i, SourceListModel::EndColumn).toString(), QString());
        EXPECT_EQ(display(i, SourceListModel::FormatColumn).toString(), QString());
        EXPECT_EQ(display(i, SourceListModel::VideoTimeColumn).toString(), QString());
    }
}

TEST_F(SourceListViewTest, StatusIsTheConversionsColumn) {
    list.addFiles({QStringLiteral("/v/a.avi"), QStringLiteral("/v/b.avi")});
    rows.setStatus(rows.idAt(1), {RowState::Failed, QStringLiteral("Unknown encoder")});
    EXPECT_EQ(display(0, SourceListModel::StatusColumn).toString(), QString());
    EXPECT_EQ(display(1, SourceListModel::StatusColumn).toString(), QStringLiteral("Fail"));
    EXPECT_EQ(display(1, SourceListModel::StatusColumn, Qt::ToolTipRole).toString(),
              QStringLiteral("Unknown encoder"));
    rows.setStatus(7, RowState::Done); // no such row: nothing happens
    EXPECT_EQ(rows.rowCount(), 2);
}

// Every column, Status above all, stays in the list's width, from the narrowest the list can be
// to a wide one; the file name gives way, shortened in the middle and whole in its tooltip.
TEST_F(SourceListViewTest, EveryColumnFitsTheListsWidth) {
    const QString path = QStringLiteral("/home/someone/Videos/") + QString(90, QLatin1Char('n')) +
                         QStringLiteral("/holiday clip.avi");
    rows.addClip(path, 0, 3723);
    rows.setStatus(rows.idAt(0), RowStatus::converting(std::nullopt, {}));
    EXPECT_EQ(list.textElideMode(), Qt::ElideMiddle);
    EXPECT_EQ(display(0, SourceListModel::FileNameColumn, Qt::ToolTipRole).toString(), path);
    const struct {
        int width;
        bool textsWhole; // a narrower list narrows every column alike
    } widths[] = {{300, false}, {560, true}, {1200, true}};
    for (const auto [width, textsWhole] : widths) {
        SCOPED_TRACE(width);
        list.resize(width, 300);
        QCoreApplication::processEvents();
        const int room = list.viewport()->width();
        QHeaderView* header = list.header();
        for (int c = 0; c < SourceListModel::ColumnCount; ++c) {
            SCOPED_TRACE(c);
            const int left = header->sectionViewportPosition(c);
            EXPECT_GE(left, 0);
            EXPECT_LE(left + header->sectionSize(c), room);
            if (c == SourceListModel::FileNameColumn || !textsWhole)
                continue;
            // Each other column shows its header and its text whole.
            const QString shown = display(0, c).toString();
            const QString title = list.model()->headerData(c, Qt::Horizontal).toString();
            const int need = qMax(list.fontMetrics().horizontalAdvance(shown),
                                  list.fontMetrics().horizontalAdvance(title));
            EXPECT_GE(header->sectionSize(c), need) << title.toStdString();
        }
    }
}

// The sheet's row items follow the row they show: a clip edit shows at once, and a removed row
// leaves no stale file name behind.
TEST_F(SourceListViewTest, SheetRowItemsStayInStepWithTheShownRow) {
    OptionSheet sheet;
    resetToDefaults(sheet);
    list.setOptionSheet(&sheet);
    using namespace sheet;
    const auto shownInSheet = [&sheet] {
        return QStringList{sheet.value(QLatin1String(kGeneral), QLatin1String(kItemName)),
                           sheet.value(QLatin1String(kOutputDuration), QLatin1String(kStartTime)),
                           sheet.value(QLatin1String(kOutputDuration), QLatin1String(kStopTime))};
    };
    const QStringList atRest = shownInSheet();
    list.addFiles(
        {QStringLiteral("/v/a.avi"), QStringLiteral("/v/b.avi"), QStringLiteral("/v/c.avi")});
    const RowId a = rows.idAt(0), b = rows.idAt(1), c = rows.idAt(2);
    rows.setClipTimes(b, 1, 9);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rowCenter(1));
    ASSERT_EQ(shownInSheet(), (QStringList{"/v/b.avi", "0:00:01", "0:00:09"}));

    const struct {
        const char* step;
        std::function<void()> act;
        QStringList expected; // empty: the sheet's values at rest
    } steps[] = {
        {"clip edit of the shown row",
         [&] { rows.setClipTimes(b, 2, 5); },
         {"/v/b.avi", "0:00:02", "0:00:05"}},
        {"clip edit of another row",
         [&] { rows.setClipTimes(a, 7, 8); },
         {"/v/b.avi", "0:00:02", "0:00:05"}},
        {"another row removed", [&] { rows.remove(c); }, {"/v/b.avi", "0:00:02", "0:00:05"}},
        {"the shown row removed", [&] { rows.remove(b); }, {}},
        {"a clip edit after that", [&] { rows.setClipTimes(a, 3, 4); }, {}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.step);
        step.act();
        EXPECT_EQ(shownInSheet(), step.expected.isEmpty() ? atRest : step.expected);
    }
    EXPECT_EQ(list.currentFile(), QString());

    // Clearing the list does the same.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rowCenter(0));
    ASSERT_EQ(shownInSheet().first(), QStringLiteral("/v/a.avi"));
    list.clearAll();
    EXPECT_EQ(shownInSheet(), atRest);
}

// Files chosen or typed in the open dialog: each one is added, or the message says why not.
TEST_F(SourceListViewTest, EveryChosenFileIsAddedOrItsRefusalSaid) {
    QTemporaryDir dir;
    const QDir d(dir.path());
    QFile good(d.filePath(QStringLiteral("good.avi")));
    ASSERT_TRUE(good.open(QIODevice::WriteOnly));
    good.close();
    ASSERT_TRUE(d.mkpath(QStringLiteral("folder.avi")));
    rows.probeQueue().setMaxConcurrent(1);
    const struct {
        QString path;
        const char* refusal; // nullptr: added
    } chosen[] = {
        {d.filePath(QStringLiteral("good.avi")), nullptr},
        {d.filePath(QStringLiteral("gone.avi")), "no such file"},
        {d.filePath(QStringLiteral("folder.avi")), "a folder"},
    };
    QStringList paths;
    for (const auto& c : chosen)
        paths << c.path;
    list.addChosenFiles(paths);
    EXPECT_EQ(this->paths(), QStringList{chosen[0].path});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, QMessageBox::Warning);
    for (const auto& c : chosen) {
        if (c.refusal) {
            EXPECT_TRUE(shown[0].text.contains(c.path + QStringLiteral(": ") + c.refusal))
                << shown[0].text.toStdString();
        } else {
            EXPECT_FALSE(shown[0].text.contains(c.path));
        }
    }
    ASSERT_TRUE(waitForProbes());
}

// "Add Files" opens where it was used last, kept beside the window's own place, and offers the
// sound files the audio profiles write among the supported ones.
TEST_F(SourceListViewTest, OpenDialogRemembersItsFolderAndOffersSoundFiles) {
    QTemporaryDir dir;
    const QDir d(dir.path());
    ASSERT_TRUE(d.mkpath(QStringLiteral("clips")));
    const QString clips = d.filePath(QStringLiteral("clips"));
    QFile clip(QDir(clips).filePath(QStringLiteral("a.avi")));
    ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
    clip.close();
    const QString windowFile = d.filePath(QStringLiteral("window.dat"));
    const WindowPlacement placement{QRect(10, 20, 900, 600), false};
    ASSERT_TRUE(writeWindowPlacement(windowFile, placement));

    list.setLastFolderFile(windowFile);
    list.addFilesWithDialog();
    QFileDialog* dialog = list.openDialog();
    const QString supported = dialog->nameFilters().first();
    for (const char* pattern : {"*.avi", "*.mp4", "*.mp3", "*.wav", "*.ogg", "*.aac", "*.wma"})
        EXPECT_TRUE(supported.contains(QLatin1String(pattern))) << pattern;
    dialog->setDirectory(clips);
    dialog->selectFile(QStringLiteral("a.avi"));
    static_cast<QDialog*>(dialog)->accept();
    ASSERT_EQ(paths(), QStringList{clip.fileName()});

    SourceListModel otherRows;
    SourceListView later(otherRows);
    later.setLastFolderFile(windowFile);
    later.addFilesWithDialog();
    EXPECT_EQ(later.openDialog()->directory().absolutePath(), QDir(clips).absolutePath());
    later.openDialog()->reject();
    // The window's place in the same file is kept.
    const std::optional<WindowPlacement> kept = readWindowPlacement(windowFile);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->geometry, placement.geometry);
}

} // namespace
} // namespace mirelo
