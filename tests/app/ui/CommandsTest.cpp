// The main window's commands: their actions in the menu bar, the list's context menu and the
// command strip, shortcuts, Help, the web pages, About and Exit, on real widgets (offscreen
// platform).

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
    const char* action; // the action's object name; the menu bar shows every action
    bool inContextMenu; // the list's context menu shows it too
    const char* button; // the command strip's button showing it, if any
    Qt::Key key;        // with Ctrl unless it is a function key; Qt::Key_unknown: none
    QStringList expected;
};

const QList<CommandCase>& commandCases() {
    static const QList<CommandCase> cases = {
        {Command::AddFiles,
         "addFilesAction",
         true,
         "addFilesButton",
         Qt::Key_A,
         {"modal:openFilesDialog"}},
        {Command::RemoveSelected,
         "removeSelectedAction",
         true,
         "removeFileButton",
         Qt::Key_R,
         {"rows:1"}},
        {Command::ClearAll, "clearAllAction", true, "clearAllButton", Qt::Key_C, {"rows:0"}},
        {Command::Capture,
         "captureAction",
         true,
         nullptr,
         Qt::Key_unknown,
         {"modal:CaptureWindow"}},
        {Command::Import, "importAction", true, nullptr, Qt::Key_unknown, {"modal:ImportWindow"}},
        {Command::Exit, "exitAction", false, "exitButton", Qt::Key_X, {"unload", "end"}},
        {Command::Settings,
         "settingsAction",
         false,
         "settingsButton",
         Qt::Key_S,
         {"modal:SettingsDialog"}},
        {Command::CheckForUpdates, "checkForUpdatesAction", false, nullptr, Qt::Key_unknown, {}},
        {Command::ConvertNow, "convertAction", true, "Image11", Qt::Key_N, {"convert"}},
        {Command::Play, "playAction", true, nullptr, Qt::Key_P, {"play"}},
        {Command::VideoClip,
         "videoClipAction",
         true,
         nullptr,
         Qt::Key_V,
         {"clip", "modal:ClipEditor"}},
        {Command::Help, "helpAction", false, "helpButton", Qt::Key_F1, {"url:index.html"}},
        {Command::HomePage, "homePageAction", false, nullptr, Qt::Key_H, {"url:index.html"}},
        {Command::SupportOnline,
         "supportOnlineAction",
         false,
         nullptr,
         Qt::Key_T,
         {"url:troubleshooting.html"}},
        {Command::About, "aboutAction", false, nullptr, Qt::Key_unknown, {"modal:AboutDialog"}},
    };
    return cases;
}

bool needsRows(Command command) {
    return command == Command::RemoveSelected || command == Command::ClearAll ||
           command == Command::VideoClip;
}

QAction* entryNamed(const QList<QAction*>& entries, const char* name) {
    for (QAction* entry : entries) {
        if (entry->objectName() == QLatin1String(name))
            return entry;
    }
    return nullptr;
}

QList<QAction*> menuBarEntries(const MainWindow& form) {
    QList<QAction*> entries;
    for (const QAction* menu : form.menuBar()->actions())
        entries << menu->menu()->actions();
    return entries;
}

enum Way { MenuBar, ContextMenu, Button, Shortcut };
constexpr Way kWays[] = {MenuBar, ContextMenu, Button, Shortcut};

// Gives the command the way the user would; empty when the command is not offered that way.
std::function<void()> giving(Harness& h, const CommandCase& c, Way way) {
    if (way == MenuBar || way == ContextMenu) {
        const QList<QAction*> entries =
            way == MenuBar ? menuBarEntries(*h.form) : h.list()->contextMenu()->actions();
        QAction* entry = entryNamed(entries, c.action);
        EXPECT_EQ(entry != nullptr, way == MenuBar || c.inContextMenu);
        return entry ? std::function<void()>([entry] { entry->trigger(); }) : nullptr;
    }
    if (way == Button) {
        auto* button = c.button
                           ? h.form->toolbar()->findChild<ToolbarButton*>(QLatin1String(c.button))
                           : nullptr;
        EXPECT_EQ(button != nullptr, c.button != nullptr);
        return button
                   ? std::function<void()>([button] { QTest::mouseClick(button, Qt::LeftButton); })
                   : nullptr;
    }
    if (c.key == Qt::Key_unknown)
        return nullptr;
    h.list()->setFocus();
    const auto modifier = c.key == Qt::Key_F1 ? Qt::NoModifier : Qt::ControlModifier;
    return [&h, key = c.key, modifier] { QTest::keyClick(h.list(), key, modifier); };
}

TEST(Commands, EveryWayOfGivingACommandDoesTheSame) {
    for (const CommandCase& c : commandCases()) {
        for (Way way : kWays) {
            SCOPED_TRACE(
                QStringLiteral("%1, way %2").arg(QLatin1String(c.action)).arg(way).toStdString());
            Harness h;
            if (needsRows(c.command))
                h.addRows();
            const std::function<void()> give = giving(h, c, way);
            if (!give)
                continue;
            const QStringList outcome = h.outcomeOf(give);
            EXPECT_EQ(outcome, c.expected) << outcome.join(QLatin1Char(',')).toStdString();
        }
    }
}

// One action per command: disabling it disables the menu entry, the context entry, the button
// and the shortcut at once.
TEST(Commands, ADisabledCommandIsGivenNoWay) {
    for (const CommandCase& c : commandCases()) {
        SCOPED_TRACE(c.action);
        Harness h;
        if (needsRows(c.command))
            h.addRows();
        h.commands().action(c.command)->setEnabled(false);
        if (c.button) {
            EXPECT_FALSE(
                h.form->toolbar()->findChild<ToolbarButton*>(QLatin1String(c.button))->isEnabled());
        }
        for (Way way : kWays) {
            SCOPED_TRACE(way);
            if (const std::function<void()> give = giving(h, c, way)) {
                const QStringList outcome = h.outcomeOf(give);
                EXPECT_TRUE(outcome.isEmpty()) << outcome.join(QLatin1Char(',')).toStdString();
            }
        }
    }
}

// The menu bar's menus, then the source list's context menu.
TEST(Commands, MenusHoldTheEntriesSeparatorsNamesAndShortcutsInOrder) {
    const QList<QPair<QString, QStringList>> expected = {
        {"File(&F)",
         {"Add Files|addFilesAction|Ctrl+A", "Remove Selected File|removeSelectedAction|Ctrl+R",
          "Clear All Files|clearAllAction|Ctrl+C", "-", "Capture Video From DV|captureAction|", "-",
          "Import Video From Youtube|importAction|", "-", "Exit|exitAction|Ctrl+X"}},
        {"Edit(&E)",
         {"Video Settings|settingsAction|Ctrl+S", "-", "Check for Updates|checkForUpdatesAction|"}},
        {"Action(&A)",
         {"Convert Now!|convertAction|Ctrl+N", "-", "Play Selected File|playAction|Ctrl+P", "-",
          "Video Clip|videoClipAction|Ctrl+V"}},
        {"Help(&H)",
         {"Help|helpAction|F1", "-", "Video Converter Home Page|homePageAction|Ctrl+H",
          "Support Online|supportOnlineAction|Ctrl+T", "-", "About|aboutAction|"}},
        {"",
         {"Convert Now!|convertAction|Ctrl+N", "-", "Play Selected File|playAction|Ctrl+P", "-",
          "Video Clip|videoClipAction|Ctrl+V", "-", "Add Files|addFilesAction|Ctrl+A",
          "Remove Selected File|removeSelectedAction|Ctrl+R",
          "Clear All Files|clearAllAction|Ctrl+C", "-", "Capture Video From DV|captureAction|", "-",
          "Import Video From Youtube|importAction|"}},
    };
    Harness h;
    QList<QMenu*> menus;
    for (const QAction* menu : h.form->menuBar()->actions())
        menus << menu->menu();
    menus << h.list()->contextMenu();
    ASSERT_EQ(menus.size(), expected.size());
    for (int m = 0; m < menus.size(); ++m) {
        EXPECT_EQ(menus[m]->title(), expected[m].first);
        QStringList entries;
        for (const QAction* action : menus[m]->actions()) {
            entries << (action->isSeparator()
                            ? QStringLiteral("-")
                            : QStringList{action->text(), action->objectName(),
                                          action->shortcut().toString(QKeySequence::PortableText)}
                                  .join(QLatin1Char('|')));
        }
        EXPECT_EQ(entries, expected[m].second) << menus[m]->title().toStdString();
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

TEST(Toolbar, HoverBordersButtonsUntilTheBackgroundIsCrossed) {
    struct Case {
        const char* moves; // button indexes, "b" for the toolbar's background
        QList<int> bordered;
    };
    const Case cases[] = {
        {"0", {0}},     {"01", {0, 1}}, {"01b", {}}, {"0b1", {1}},
        {"06", {0, 6}}, {"0b", {}},     {"b3", {3}}, {"3b", {}},
    };
    Harness h;
    Toolbar* toolbar = h.form->toolbar();
    const QList<ToolbarButton*>& buttons = toolbar->buttons();
    ASSERT_EQ(buttons.size(), 7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.moves);
        QTest::mouseMove(toolbar, QPoint(toolbar->width() - 10, toolbar->height() / 2));
        for (const char* move = c.moves; *move; ++move) {
            if (*move == 'b') {
                // Between the list commands and CONVERT NOW lies plain background.
                const QRect clear = buttons[2]->geometry();
                QTest::mouseMove(toolbar, QPoint(clear.right() + 9, clear.center().y()));
            } else {
                ToolbarButton* button = buttons[*move - '0'];
                QTest::mouseMove(button, button->rect().center());
                QTest::mouseMove(button, button->rect().center() + QPoint(3, 2));
            }
        }
        EXPECT_EQ(toolbar->borderedButtons(), c.bordered);
    }
}

TEST(Toolbar, SevenButtonsWithTheirCaptionsLeftToRight) {
    Harness h;
    const QStringList names = {"addFilesButton", "removeFileButton", "clearAllButton", "Image11",
                               "settingsButton", "helpButton",       "exitButton"};
    const QStringList captions = {"Add Files", "Remove File", "Clear All", "CONVERT NOW",
                                  "Settings",  "Help",        "EXIT"};
    const QList<ToolbarButton*>& buttons = h.form->toolbar()->buttons();
    ASSERT_EQ(buttons.size(), names.size());
    int left = -1;
    for (int i = 0; i < buttons.size(); ++i) {
        ToolbarButton* button = buttons[i];
        EXPECT_EQ(button->objectName(), names[i]);
        EXPECT_EQ(button->text(), captions[i]);
        EXPECT_FALSE(button->icon().pixmap(32, 32).isNull()) << names[i].toStdString();
        EXPECT_GT(button->geometry().left(), left);
        left = button->geometry().left();
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
    EXPECT_TRUE(h.form->findChild<QWidget*>(QStringLiteral("outputFrame"))->isAncestorOf(label));

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
