// The main window's commands: menu bar, context menu popupmenu1, toolbar Picture3, shortcuts,
// Help, the web pages, About and Exit, on real widgets (offscreen platform).

#include "common/TestSupport.h"

#include "app/AboutDialog.h"
#include "app/ExitCommand.h"
#include "app/MainCommands.h"
#include "app/MainWindow.h"
#include "app/PathLabel.h"
#include "app/ProfileChooser.h"
#include "app/Toolbar.h"
#include "common/RecordingDesktop.h"
#include "settings/AppSettings.h"
#include "sourcelist/SourceListModel.h"
#include "sourcelist/ui/SourceListView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace mirelo {
namespace {

using Command = MainCommands::Command;

using test::RecordingDesktop;

AppPaths pathsIn(const QString& resources, const QTemporaryDir& dir) {
    return {resources, dir.filePath(QStringLiteral("settings.dat")),
            QDir(resources).filePath(QStringLiteral("skins/frmmain.skn"))};
}

// A main window on screen whose commands report what they did as short outcome texts. Dialogs
// that open modally are recorded by name and closed; the browser and the end of the program are
// recorders.
class Harness {
public:
    explicit Harness(const QString& resources = test::appDir()) {
        form = std::make_unique<MainWindow>(pathsIn(resources, dir));
        commands().setDesktopServices(&desktop);
        ExitSteps steps = exitStepsFor(*form);
        steps.endProgram = [this] { outcomes << QStringLiteral("end"); };
        commands().setExitSteps(steps);
        commands().setMessagePresenter([this](QMessageBox::Icon, const QString& text) {
            outcomes << QStringLiteral("message:") + text;
        });
        list()->setMessagePresenter([](QMessageBox::Icon, const QString&) {});
        record(form.get(), &MainWindow::convertRequested, "convert");
        record(form.get(), &MainWindow::playRequested, "play");
        record(form.get(), &MainWindow::closing, "unload");
        record(list(), &SourceListView::videoClipRequested, "clip");
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    MainCommands& commands() const { return *form->commands(); }
    SourceListView* list() const { return form->sourceList(); }
    int rowCount() const { return form->sourceListModel()->rowCount(); }

    void addRows() {
        list()->addFiles(
            {dir.filePath(QStringLiteral("a.avi")), dir.filePath(QStringLiteral("b.avi"))});
        list()->setCurrentIndex(list()->model()->index(0, 0));
    }

    // Runs `action`, then lets queued work and a modal dialog happen, recording what came of it.
    QStringList outcomeOf(const std::function<void()>& action) {
        const int rowsBefore = rowCount();
        QTimer::singleShot(0, form.get(), [this] { closeModal(); });
        action();
        QTest::qWait(20);
        closeModal();
        for (const QUrl& url : std::as_const(desktop.opened))
            outcomes << QStringLiteral("url:") + url.fileName();
        if (rowCount() != rowsBefore)
            outcomes << QStringLiteral("rows:%1").arg(rowCount());
        return outcomes;
    }

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> form;
    RecordingDesktop desktop;
    QStringList outcomes;

private:
    template <typename Sender, typename Signal>
    void record(Sender* sender, Signal signal, const char* what) {
        QObject::connect(sender, signal, form.get(),
                         [this, what] { outcomes << QString::fromLatin1(what); });
    }

    void closeModal() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        outcomes << QStringLiteral("modal:") + modal->objectName();
        modal->close();
    }
};

struct CommandCase {
    Command command;
    const char* menuEntry;  // the menu bar's entry (object name, else caption)
    const char* popupEntry; // popupmenu1's twin, if any
    const char* picture;    // the toolbar's twin, if any
    Qt::Key key;            // with Ctrl unless it is a function key; Qt::Key_unknown: none
    QStringList expected;
};

const QList<CommandCase>& commandCases() {
    static const QList<CommandCase> cases = {
        {Command::AddFiles, "AddFiles", "AddFiless", "Image1", Qt::Key_A, {"modal:CommonDialog1"}},
        {Command::RemoveSelected,
         "RemoveSelectedFile",
         "RemoveSelectedItem",
         "Image2",
         Qt::Key_R,
         {"rows:1"}},
        {Command::ClearAll, "ClearAllFiles", "ClearAllItems", "Image9", Qt::Key_C, {"rows:0"}},
        {Command::Capture,
         "Capture",
         "Capture1",
         nullptr,
         Qt::Key_unknown,
         {"modal:CaptureWindow"}},
        {Command::Import,
         "importvideo",
         "Import1",
         nullptr,
         Qt::Key_unknown,
         {"modal:ImportWindow"}},
        {Command::Exit, "exit", nullptr, "Image7", Qt::Key_X, {"unload", "end"}},
        {Command::Settings, "options", nullptr, "Image10", Qt::Key_S, {"modal:SettingsDialog"}},
        {Command::CheckForUpdates, "checkupdate", nullptr, nullptr, Qt::Key_unknown, {}},
        {Command::ConvertNow, "BurnNow", "convertnow1", "Image11", Qt::Key_N, {"convert"}},
        {Command::Play, "play", "PlaySelectedFile", nullptr, Qt::Key_P, {"play"}},
        {Command::VideoClip,
         "videoclip",
         "cuttime",
         nullptr,
         Qt::Key_V,
         {"clip", "modal:ClipEditor"}},
        {Command::Help, "helphelp", nullptr, "Image8", Qt::Key_F1, {"url:index.html"}},
        {Command::HomePage,
         "Video Converter Home Page",
         nullptr,
         nullptr,
         Qt::Key_H,
         {"url:index.html"}},
        {Command::SupportOnline,
         "SupportOnline",
         nullptr,
         nullptr,
         Qt::Key_T,
         {"url:troubleshooting.html"}},
        {Command::About, "About", nullptr, nullptr, Qt::Key_unknown, {"modal:AboutDialog"}},
    };
    return cases;
}

bool needsRows(Command command) {
    return command == Command::RemoveSelected || command == Command::ClearAll ||
           command == Command::VideoClip;
}

QAction* menuAction(const MainWindow& form, const QString& entry) {
    for (QAction* action : form.menuBar()->findChildren<QAction*>()) {
        if (action->objectName() == entry ||
            (action->objectName().isEmpty() && action->text() == entry))
            return action;
    }
    return nullptr;
}

TEST(Commands, EveryWayOfGivingACommandDoesTheSame) {
    enum Way { MenuBar, Popup, Picture, Shortcut };
    for (const CommandCase& c : commandCases()) {
        for (Way way : {MenuBar, Popup, Picture, Shortcut}) {
            if ((way == Popup && !c.popupEntry) || (way == Picture && !c.picture) ||
                (way == Shortcut && c.key == Qt::Key_unknown))
                continue;
            SCOPED_TRACE(QStringLiteral("%1, way %2")
                             .arg(QLatin1String(c.menuEntry))
                             .arg(way)
                             .toStdString());
            Harness h;
            if (needsRows(c.command))
                h.addRows();
            std::function<void()> action;
            if (way == MenuBar) {
                QAction* entry = menuAction(*h.form, QLatin1String(c.menuEntry));
                ASSERT_NE(entry, nullptr);
                action = [entry] { entry->trigger(); };
            } else if (way == Popup) {
                auto* entry =
                    h.list()->contextMenu()->findChild<QAction*>(QLatin1String(c.popupEntry));
                ASSERT_NE(entry, nullptr);
                action = [entry] { entry->trigger(); };
            } else if (way == Picture) {
                auto* picture =
                    h.form->toolbar()->findChild<ToolbarPicture*>(QLatin1String(c.picture));
                ASSERT_NE(picture, nullptr);
                action = [picture] { QTest::mouseClick(picture, Qt::LeftButton); };
            } else {
                h.list()->setFocus();
                const auto modifier = c.key == Qt::Key_F1 ? Qt::NoModifier : Qt::ControlModifier;
                action = [&h, key = c.key, modifier] { QTest::keyClick(h.list(), key, modifier); };
            }
            const QStringList outcome = h.outcomeOf(action);
            EXPECT_EQ(outcome, c.expected) << outcome.join(QLatin1Char(',')).toStdString();
        }
    }
}

TEST(Commands, MenuBarHoldsTheEntriesSeparatorsNamesAndShortcutsInOrder) {
    const QList<QPair<QString, QStringList>> expected = {
        {"File(&F)",
         {"Add Files|AddFiles|Ctrl+A", "Remove Selected File|RemoveSelectedFile|Ctrl+R",
          "Clear All Files|ClearAllFiles|Ctrl+C", "-", "Capture Video From DV|Capture|", "-",
          "Import Video From Youtube|importvideo|", "-", "Exit|exit|Ctrl+X"}},
        {"Edit(&E)", {"Video Settings|options|Ctrl+S", "-", "Check for Updates|checkupdate|"}},
        {"Action(&A)",
         {"Convert Now!|BurnNow|Ctrl+N", "-", "Play Selected File|play|Ctrl+P", "-",
          "Video Clip|videoclip|Ctrl+V"}},
        {"Help(&H)",
         {"Help|helphelp|F1", "-", "Video Converter Home Page||Ctrl+H",
          "Support Online|SupportOnline|Ctrl+T", "-", "About|About|"}},
    };
    Harness h;
    const QList<QAction*> menus = h.form->menuBar()->actions();
    ASSERT_EQ(menus.size(), expected.size());
    for (int m = 0; m < menus.size(); ++m) {
        EXPECT_EQ(menus[m]->text(), expected[m].first);
        QStringList entries;
        for (const QAction* action : menus[m]->menu()->actions()) {
            entries << (action->isSeparator()
                            ? QStringLiteral("-")
                            : QStringList{action->text(), action->objectName(),
                                          action->shortcut().toString(QKeySequence::PortableText)}
                                  .join(QLatin1Char('|')));
        }
        EXPECT_EQ(entries, expected[m].second) << menus[m]->text().toStdString();
    }
}

// A focused text field keeps copy, cut, paste and select-all; the same keys elsewhere in the
// window are the menu's commands.
TEST(Commands, TextFieldKeepsItsEditingKeys) {
    Harness h;
    h.addRows();
    auto* edit = new QLineEdit(h.form->centralWidget());
    edit->setText(QStringLiteral("clip one"));
    edit->show();
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(h.form.get()));
    const QStringList none = h.outcomeOf([&] {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier); // copy, not Clear All
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier); // paste, not Video Clip
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier); // select all, not Add Files
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier); // cut, not Exit
    });
    EXPECT_TRUE(none.isEmpty()) << none.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(edit->text(), QString());
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clip oneclip one"));
    EXPECT_TRUE(h.form->isVisible());
    EXPECT_EQ(h.rowCount(), 2);
}

TEST(Toolbar, HoverBordersPicturesUntilTheBackgroundIsCrossed) {
    struct Case {
        const char* moves; // picture indexes, "b" for the toolbar's background
        QList<int> bordered;
    };
    const Case cases[] = {
        {"0", {0}},     {"01", {0, 1}}, {"01b", {}}, {"0b1", {1}},
        {"06", {0, 6}}, {"0b", {}},     {"b3", {3}}, {"3b", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.moves);
        Toolbar toolbar;
        toolbar.resize(900, 80);
        toolbar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&toolbar));
        QTest::mouseMove(&toolbar, QPoint(toolbar.width() - 10, toolbar.height() / 2));
        for (const char* move = c.moves; *move; ++move) {
            if (*move == 'b') {
                // Between the list commands and CONVERT NOW lies plain background.
                const QRect clear = toolbar.picture(Toolbar::ClearAll)->geometry();
                QTest::mouseMove(&toolbar, QPoint(clear.right() + 9, clear.center().y()));
            } else {
                ToolbarPicture* picture = toolbar.picture(*move - '0');
                QTest::mouseMove(picture, picture->rect().center());
                QTest::mouseMove(picture, picture->rect().center() + QPoint(3, 2));
            }
        }
        EXPECT_EQ(toolbar.borderedPictures(), c.bordered);
    }
}

TEST(Toolbar, SevenPicturesWithTheirCaptionsLeftToRight) {
    Toolbar toolbar;
    toolbar.resize(900, 80);
    toolbar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&toolbar));
    const QStringList names = {"Image1",  "Image2", "Image9", "Image11",
                               "Image10", "Image8", "Image7"};
    const QStringList captions = {"Add Files", "Remove File", "Clear All", "CONVERT NOW",
                                  "Settings",  "Help",        "EXIT"};
    int left = -1;
    for (int i = 0; i < Toolbar::PictureCount; ++i) {
        ToolbarPicture* picture = toolbar.picture(i);
        EXPECT_EQ(picture->objectName(), names[i]);
        EXPECT_EQ(picture->text(), captions[i]);
        EXPECT_FALSE(picture->icon().pixmap(32, 32).isNull()) << names[i].toStdString();
        EXPECT_GT(picture->geometry().left(), left);
        left = picture->geometry().left();
    }
}

TEST(Exit, EveryStepRunsEvenWhenAnEarlierOneFails) {
    for (int failing = -1; failing < 4; ++failing) {
        SCOPED_TRACE(failing);
        QStringList ran;
        const auto step = [&ran, failing](int index) {
            return [&ran, failing, index] {
                ran << QString::number(index);
                if (index == failing)
                    throw std::runtime_error("step failed");
            };
        };
        const int failed = runExit({step(0), step(1), step(2), step(3)});
        EXPECT_EQ(ran, QStringList({"0", "1", "2", "3"}));
        EXPECT_EQ(failed, failing < 0 ? 0 : 1);
    }
}

// The unload is the window's own shutdown sequence: the chosen profile is saved.
TEST(Exit, WithoutAPreviewStopsTheClockUnloadsTheWindowAndEnds) {
    Harness h;
    h.form->previewClock()->start();
    h.form->profileChooser()->selectPosition(76);
    h.outcomeOf([&] { h.commands().trigger(Command::Exit); });
    EXPECT_EQ(h.outcomes, QStringList({"unload", "end"}));
    EXPECT_FALSE(h.form->previewClock()->isActive());
    EXPECT_FALSE(h.form->isVisible());
    EXPECT_EQ(h.form->settings().profile(), 76);
}

TEST(Help, MissingPagesAndAFailingBrowserAreReportedWithThePage) {
    struct Case {
        bool helpShipped;
        bool browserWorks;
        Command command;
        QString expectedStart;
        QString page;
    };
    const Case cases[] = {
        {false, true, Command::Help, "message:The help page ", "index.html"},
        {false, true, Command::SupportOnline, "message:The help page ", "troubleshooting.html"},
        {true, false, Command::Help, "message:No web browser could open ", "index.html"},
        {true, false, Command::HomePage, "message:No web browser could open ", "index.html"},
    };
    QTemporaryDir empty;
    for (const Case& c : cases) {
        Harness h(c.helpShipped ? test::appDir() : empty.path());
        h.desktop.accepts = c.browserWorks;
        h.commands().trigger(c.command);
        ASSERT_EQ(h.outcomes.size(), 1);
        EXPECT_TRUE(h.outcomes[0].startsWith(c.expectedStart)) << h.outcomes[0].toStdString();
        EXPECT_TRUE(h.outcomes[0].contains(QDir::toNativeSeparators(
            QDir(c.helpShipped ? test::appDir() : empty.path()).filePath("help/" + c.page))))
            << h.outcomes[0].toStdString();
        EXPECT_EQ(h.desktop.opened.size(), c.helpShipped ? 1 : 0);
    }
}

// The main window says where converted files go, beside the profile, and its button opens that
// folder; a folder that cannot be shown is said, naming it.
TEST(OutputFolder, ShownBesideTheProfileAndOpenedOrTheFailureSaid) {
    Harness h;
    PathLabel* label = h.form->outputFolderLabel();
    EXPECT_EQ(label->path(), QDir::toNativeSeparators(test::appDir()));
    EXPECT_EQ(label->toolTip(), label->path());
    EXPECT_TRUE(h.form->findChild<QWidget*>(QStringLiteral("frmProfile"))->isAncestorOf(label));

    const QString chosen = h.dir.filePath(QStringLiteral("converted"));
    ASSERT_TRUE(QDir().mkpath(chosen));
    const struct {
        QString stored;
        bool managerWorks;
        const char* said; // nullptr: the folder opens and nothing is said
    } cases[] = {
        {chosen, true, nullptr},
        {chosen, false, "No file manager could open the folder"},
        {h.dir.filePath(QStringLiteral("not yet")), true, "does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        ASSERT_TRUE(h.form->settings().setOutputFolder(c.stored));
        h.outcomes.clear();
        h.desktop.opened.clear();
        h.desktop.accepts = c.managerWorks;
        QTest::mouseClick(h.form->openFolderButton(), Qt::LeftButton);
        EXPECT_EQ(label->path(), QDir::toNativeSeparators(c.stored));
        if (!c.said) {
            EXPECT_TRUE(h.outcomes.isEmpty()) << h.outcomes.join('|').toStdString();
            EXPECT_EQ(h.desktop.opened, QList<QUrl>{QUrl::fromLocalFile(c.stored)});
            continue;
        }
        ASSERT_EQ(h.outcomes.size(), 1);
        EXPECT_TRUE(h.outcomes[0].contains(QLatin1String(c.said))) << h.outcomes[0].toStdString();
        EXPECT_TRUE(h.outcomes[0].contains(QDir::toNativeSeparators(c.stored)));
    }
}

TEST(About, TextsIconSkinAndNoButtons) {
    RecordingDesktop desktop;
    const QUrl help = QUrl::fromLocalFile(QDir(test::appDir()).filePath("help/index.html"));
    AboutDialog about(QDir(test::appDir()).filePath("skins/frmmain.skn"), help,
                      [&desktop](const QUrl& url) { desktop.openUrl(url); });
    const QStringList texts = about.texts();
    ASSERT_EQ(texts.size(), 5);
    EXPECT_EQ(texts[0], "Thank you for using Mirelo Video Converter");
    EXPECT_TRUE(texts[1].contains(QStringLiteral("Copyright"))) << texts[1].toStdString();
    EXPECT_EQ(texts[2], "This product includes software developed by the MPlayer Project.\n"
                        "This product includes software developed by the FFMpeg Project.");
    EXPECT_EQ(texts[3], "MPlayer is licensed under the GNU General Public License Version 2.\n"
                        "FFmpeg is licensed under the GNU General Public License.");
    EXPECT_TRUE(texts[4].contains(QStringLiteral("help"))) << texts[4].toStdString();
    EXPECT_FALSE(texts.join(QLatin1Char(' ')).contains(QStringLiteral("GUN")));
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_TRUE(about.isModal());
    EXPECT_FALSE(about.styleSheet().isEmpty());
    EXPECT_FALSE(about.iconPicture()->pixmap().isNull());
    EXPECT_TRUE(about.findChildren<QAbstractButton*>().isEmpty());

    Q_EMIT about.invitation()->linkActivated(about.invitation()->text().section('"', 1, 1));
    ASSERT_EQ(desktop.opened.size(), 1);
    EXPECT_EQ(desktop.opened[0], help);
}

} // namespace
} // namespace mirelo
