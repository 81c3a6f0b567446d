#include "common/MediaFixtures.h"

#include "app/MainWindow.h"
#include "app/PreviewController.h"
#include "app/PreviewFrame.h"
#include "clip/ui/ClipEditor.h"
#include "player/PreviewPlayer.h"
#include "sourcelist/SourceListModel.h"
#include "sourcelist/ui/SourceListView.h"
#include "ui/VideoSurface.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace mirelo;

namespace {

// The main window with one probed row: the preview plays it, the clip editor edits its times.
class ClipFromList : public ::testing::Test {
protected:
    void SetUp() override {
        m_display = qgetenv("DISPLAY");
        qunsetenv("DISPLAY"); // players started here end on their own
        ASSERT_TRUE(m_dir.isValid());
        clip = test::makeClip(QDir(m_dir.path()), QStringLiteral("two seconds.avi"),
                              {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                               QStringLiteral("testsrc=d=2:s=160x120:r=10")});
        window = std::make_unique<MainWindow>(AppPaths::inFolder(m_dir.path()));
        list = window->sourceList();
        rows = window->sourceListModel();
        QSignalSpy probed(rows, &SourceListModel::rowProbed);
        rows->addMediaFile(clip);
        ASSERT_TRUE(probed.count() == 1 || probed.wait(30000));
        list->setCurrentIndex(list->model()->index(0, 0));
        controller = window->findChild<PreviewController*>();
        ASSERT_NE(controller, nullptr);
    }
    void TearDown() override {
        window.reset();
        if (!m_display.isEmpty())
            qputenv("DISPLAY", m_display);
    }

    QByteArray m_display;
    QTemporaryDir m_dir;
    QString clip;
    std::unique_ptr<MainWindow> window;
    SourceListView* list = nullptr;
    SourceListModel* rows = nullptr;
    PreviewController* controller = nullptr;
};

TEST_F(ClipFromList, PlayPlaysTheSelectedRowInThePreview) {
    PreviewPlayer& player = PreviewPlayer::shared();
    Q_EMIT window->playRequested();
    const QString wid = QString::number(window->preview()->videoSurface()->winId());
    EXPECT_TRUE(
        player.playerCommandLine().contains(QStringLiteral(" -wid ") + wid + QLatin1Char(' ')));
    EXPECT_TRUE(player.playerCommandLine().endsWith(QLatin1Char('"') + clip + QLatin1Char('"')));
    EXPECT_EQ(window->preview()->totalTimeLabel()->text(), QStringLiteral("Total time:0:00:02"));
    EXPECT_EQ(player.playLength(), 2);
    EXPECT_TRUE(window->previewClock()->isActive());

    // A double-click quits the preview and stops its clock before the editor opens.
    list->requestVideoClip();
    EXPECT_FALSE(window->previewClock()->isActive());
    ASSERT_NE(controller->clipEditor(), nullptr);
    controller->clipEditor()->close();
    EXPECT_EQ(controller->clipEditor(), nullptr);
}

TEST_F(ClipFromList, EditorWritesItsTimesIntoTheRow) {
    list->requestVideoClip();
    ClipEditor* editor = controller->clipEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->isModal());
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("Clip Time  -  ") + clip);
    EXPECT_EQ(editor->findChild<QLineEdit*>(QStringLiteral("endTime"))->text(),
              SourceListModel::text(rows->at(0), SourceListModel::EndColumn));

    editor->findChild<QLineEdit*>(QStringLiteral("startTime"))->setText(QStringLiteral("0:00:01"));
    QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    EXPECT_EQ(rows->at(0).clipStart, 1);
    EXPECT_EQ(rows->at(0).clipEnd, 2);

    // Cancel leaves the row as it is.
    list->requestVideoClip();
    editor = controller->clipEditor();
    ASSERT_NE(editor, nullptr);
    editor->findChild<QLineEdit*>(QStringLiteral("startTime"))->setText(QStringLiteral("0:00:00"));
    QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                      Qt::LeftButton);
    EXPECT_EQ(rows->at(0).clipStart, 1);
}

} // namespace
