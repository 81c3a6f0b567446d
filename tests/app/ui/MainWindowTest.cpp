#include "app/MainWindow.h"
#include "app/MainCommands.h"
#include "app/OptionSheetView.h"
#include "app/PathLabel.h"
#include "app/PreviewFrame.h"
#include "app/ProfileChooser.h"
#include "app/RunPanel.h"
#include "app/Toolbar.h"
#include "base/IniFile.h"
#include "base/ToolLocator.h"
#include "common/TestSupport.h"
#include "convert/HardwareTrial.h"
#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "profiles/SheetNames.h"
#include "settings/ui/SettingsDialog.h"
#include "sourcelist/ui/SourceListView.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace mirelo;
using namespace mirelo::sheet;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    AppPaths paths = AppPaths::inFolder(dir.path());

    void writeSettings(const QByteArray& data) {
        QFile f(paths.settingsFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }

    QByteArray settingsContents() const {
        QFile f(paths.settingsFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    std::unique_ptr<MainWindow> open() { return std::make_unique<MainWindow>(paths); }

    // What PS1 shows for an item.
    static QString shown(const MainWindow& w, const char* category, const char* item) {
        QTreeWidgetItem* row =
            w.optionSheetView()->rowFor(QLatin1String(category), QLatin1String(item));
        return row ? row->text(OptionSheetView::ValueColumn) : QStringLiteral("<no row>");
    }

    // A user's pick: the chooser sits on the row above and the user presses Down.
    static void pickWithKeyboard(MainWindow& w, int position) {
        ProfileChooser* chooser = w.profileChooser();
        chooser->selectPosition(position - 1);
        chooser->setFocus();
        QTest::keyClick(chooser, Qt::Key_Down);
    }
};

} // namespace

TEST_F(MainWindowTest, HasEveryRegionAndNamedControl) {
    auto w = open();
    EXPECT_EQ(w->windowTitle(), "Mirelo Video Converter 3.50");
    const struct {
        const char* name;
        const char* caption; // nullptr: not checked
    } controls[] = {
        {"Picture3", nullptr},
        {"addFilesButton", "Add Files"},
        {"removeFileButton", "Remove File"},
        {"clearAllButton", "Clear All"},
        {"Image11", "CONVERT NOW"},
        {"settingsButton", "Settings"},
        {"helpButton", "Help"},
        {"exitButton", "EXIT"},
        {"profileCaption", "Profile:"},
        {"ImageCombo1", nullptr},
        {"sourceListFrame", "Video List"},
        {"lvwAudioTracks", nullptr},
        {"optionSheetView", nullptr},
        {"Privew", nullptr},
        {"videoSurface", nullptr},
        {"playButton", nullptr},
        {"pauseButton", nullptr},
        {"stopButton", nullptr},
        {"backButton", nullptr},
        {"forwardButton", nullptr},
        {"firstFrameButton", nullptr},
        {"lastFramesButton", nullptr},
        {"positionSlider", nullptr},
        {"LblCurTime", "0:00:00"},
        {"SkinLabel10", "Total time: 0:00:00"},
        {"Picture4", nullptr},
        {"SkinLabel2", "00:00:00"},
        {"progressFrame", "Progress...."},
        {"totalProgress", nullptr},
        {"itemProgress", nullptr},
        {"cancelButton", "Cancel"},
    };
    for (const auto& c : controls) {
        auto* widget = w->findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(widget, nullptr) << c.name;
        if (!c.caption)
            continue;
        QString caption;
        if (auto* box = qobject_cast<QGroupBox*>(widget))
            caption = box->title();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            caption = button->text();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            caption = label->text();
        EXPECT_EQ(caption, QLatin1String(c.caption)) << c.name;
    }
    const struct {
        const char* name;
        const char* tip;
    } transport[] = {{"playButton", "Play"},
                     {"pauseButton", "Pause"},
                     {"stopButton", "Stop"},
                     {"backButton", "Back"},
                     {"forwardButton", "Forward"},
                     {"firstFrameButton", "First Frame"},
                     {"lastFramesButton", "Last Frames"}};
    for (const auto& t : transport) {
        auto* b = w->preview()->findChild<QToolButton*>(QLatin1String(t.name));
        ASSERT_NE(b, nullptr) << t.name;
        EXPECT_EQ(b->toolTip(), QLatin1String(t.tip));
    }
    auto* slider = w->preview()->positionSlider();
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 100);
    EXPECT_EQ(slider->pageStep(), 5);
    EXPECT_EQ(w->sourceList()->header()->count(), 8);
    EXPECT_TRUE(
        w->findChild<QGroupBox*>(QStringLiteral("sourceListFrame"))->isAncestorOf(w->sourceList()));
    EXPECT_TRUE(w->runPanel()->isHidden());
    for (QProgressBar* bar : {w->runPanel()->totalProgress(), w->runPanel()->trackProgress()}) {
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 100);
    }
    EXPECT_EQ(w->previewClock()->interval(), 1000);
    EXPECT_FALSE(w->previewClock()->isActive());
    EXPECT_EQ(w->conversionClock()->interval(), 1000);
    EXPECT_FALSE(w->conversionClock()->isActive());
}

TEST_F(MainWindowTest, ChooserHoldsTheCatalogWithHeadingsThatCannotBePicked) {
    auto w = open();
    ProfileChooser* chooser = w->profileChooser();
    ASSERT_EQ(chooser->count(), kCatalogSize);
    auto* model = qobject_cast<QStandardItemModel*>(chooser->model());
    ASSERT_NE(model, nullptr);
    int headings = 0;
    for (const CatalogRow& row : catalogRows()) {
        const QStandardItem* item = model->item(row.position - 1);
        EXPECT_EQ(item->text(), QString::fromUtf8(row.text));
        const bool heading = row.kind == RowKind::Category;
        headings += heading;
        // A hardware row waits for its trial encode, which has not run yet.
        const bool hardware = !hardwareEncoderOf(row).isEmpty();
        EXPECT_EQ(item->isEnabled(), !heading && !hardware) << row.text;
        EXPECT_EQ(!item->icon().isNull(), heading) << row.text;
        if (heading) {
            EXPECT_FALSE(item->icon().pixmap(32, 32).isNull()) << row.text;
        }
    }
    EXPECT_EQ(headings, 26); // 22 in the first 92 rows, 4 after them

    // The image list: at least 41 pictures that all draw; the families named by the catalog
    // have pictures of their own except the two that share index 31.
    const ImageList& images = w->imageList();
    ASSERT_GE(images.size(), 41);
    for (int i = 1; i <= images.size(); ++i)
        EXPECT_FALSE(images.icon(i).pixmap(32, 32).isNull()) << i;
    QSet<QString> familyPictures;
    for (int position : categoryPositions())
        familyPictures.insert(ImageList::resourcePath(catalogRow(position)->icon));
    EXPECT_EQ(familyPictures.size(), 25);
    EXPECT_FALSE(familyPictures.contains(ImageList::resourcePath(4))) << "a spare picture";
}

// The hardware rows stay visible; each becomes pickable exactly when the trial encode with its
// encoder works here, and otherwise tells why in its tooltip.
TEST_F(MainWindowTest, HardwareRowsFollowTheirTrialEncode) {
    auto w = open();
    ProfileChooser* chooser = w->profileChooser();
    auto* model = qobject_cast<QStandardItemModel*>(chooser->model());
    std::vector<int> hardwareRows;
    for (const CatalogRow& row : catalogRows())
        if (!hardwareEncoderOf(row).isEmpty())
            hardwareRows.push_back(row.position);
    ASSERT_EQ(hardwareRows.size(), 6u);
    const auto decided = [&] {
        for (int p : hardwareRows)
            if (model->item(p - 1)->toolTip().startsWith("Checking"))
                return false;
        return true;
    };
    EXPECT_TRUE(QTest::qWaitFor(decided, 60000)) << "the trial encodes did not end";
    const QString encoder = locateEncoder();
    for (int p : hardwareRows) {
        const QString name = hardwareEncoderOf(*catalogRow(p));
        const std::optional<TrialResult> trial = cachedTrial(encoder, name);
        ASSERT_TRUE(trial.has_value()) << name.toStdString();
        EXPECT_EQ(chooser->isPickable(p), trial->works) << name.toStdString();
        if (!trial->works) {
            EXPECT_EQ(model->item(p - 1)->toolTip(), trial->reason);
            EXPECT_TRUE(trial->reason.contains(name)) << trial->reason.toStdString();
        }
    }
    // A later result turns a row on or off, and only the rows of that encoder.
    chooser->setHardwareResult("hevc_qsv", true, {});
    EXPECT_TRUE(chooser->isPickable(113));
    EXPECT_EQ(chooser->isPickable(112), cachedTrial(encoder, "h264_qsv")->works);
    chooser->setHardwareResult("hevc_qsv", false, "The hevc_qsv encoder does not work: no device");
    EXPECT_FALSE(chooser->isPickable(113));
    EXPECT_EQ(model->item(112)->toolTip(), "The hevc_qsv encoder does not work: no device");
    // The copy rows say that a clip snaps to a key frame.
    EXPECT_TRUE(model->item(99)->toolTip().contains("key frame"));
}

// What the chooser shows at start is what runs: a restored profile row brings its presets, as
// its pick did; a heading, an unusable value or no file leave the defaults.
TEST_F(MainWindowTest, StartUpRestoresTheStoredPositionWithItsPresets) {
    const struct {
        const char* file; // nullptr: no settings.dat
        int position;     // 0: nothing selected
        const char* text;
    } cases[] = {
        {nullptr, 0, ""},
        {"[set]\nprofile=20\n", 20, "Sony PS3"},
        {"[set]\nprofile=7\n", 7, "Apple iPhone"},
        {"[Set]\nprofile=76\n", 76, "Flash SWF(*.swf)"},
        {"[SET]\nPROFILE= 18 \n", 18, "Sony PSP MPEG-4 Movie(*.mp4)"},
        {"[set]\nprofile=86\n", 86, "Customized MP4 Movie(*.mp4)"},
        {"[set]\nprofile=114\n", 0, ""}, // past the last row
        {"[set]\nprofile=0\n", 0, ""},
        {"[set]\nprofile=abc\n", 0, ""},
        {"[set]\nprofile=\n", 0, ""},
        {"[other]\nprofile=12\n", 0, ""},
    };
    for (const auto& c : cases) {
        QFile::remove(paths.settingsFile);
        if (c.file)
            writeSettings(c.file);
        auto w = open();
        const char* label = c.file ? c.file : "no settings.dat";
        EXPECT_EQ(w->profileChooser()->selectedPosition(), c.position) << label;
        EXPECT_EQ(w->profileChooser()->currentText(), QLatin1String(c.text)) << label;
        // The sheet a user's pick of that row leaves: defaults, then the row's presets.
        OptionSheet picked;
        resetToDefaults(picked);
        applyPresets(picked, c.position);
        for (const auto& category : picked.categories()) {
            for (const auto& item : category.items) {
                const auto* now = w->optionSheet()->item(category.name, item.name);
                ASSERT_NE(now, nullptr);
                EXPECT_EQ(now->value, item.value) << label << " " << item.name.toStdString();
                EXPECT_EQ(now->list, item.list) << label << " " << item.name.toStdString();
            }
        }
        EXPECT_TRUE(w->optionSheetView()->showGridLines());
        EXPECT_TRUE(w->optionSheetView()->boldCategories());
        EXPECT_TRUE(w->optionSheetView()->expandAllCategories());
    }
}

TEST_F(MainWindowTest, ARestoredCustomizedMp4ShowsItsOwnOptions) {
    writeSettings("[set]\nprofile=86\n");
    auto w = open();
    w->show();
    const struct {
        const char* category;
        const char* item;
        const char* value;
    } expected[] = {
        {kVideoOptions, kVideoCodec, "x264"},   {kVideoOptions, kVideoBitrate, "768"},
        {kVideoOptions, kVideoFramerate, "25"}, {kAudioOptions, kAudioCodec, "aac"},
        {kAudioOptions, kSampleRate, "44100"},
    };
    for (const auto& e : expected)
        EXPECT_EQ(shown(*w, e.category, e.item), QLatin1String(e.value)) << e.item;

    // A heading row restored applies nothing: the defaults stay.
    writeSettings("[set]\nprofile=20\n");
    auto heading = open();
    EXPECT_EQ(shown(*heading, kVideoOptions, kVideoCodec), "xvid");
    EXPECT_EQ(shown(*heading, kVideoOptions, kVideoBitrate), "256");
}

TEST_F(MainWindowTest, APickRunsThePresetsAndTheSheetShowsThemAtOnce) {
    auto w = open();
    w->show();
    EXPECT_EQ(shown(*w, kVideoSize, kVideoSize), "<no row>");
    EXPECT_EQ(shown(*w, kVideoOptions, kVideoSize), "320x240");

    pickWithKeyboard(*w, 18); // "Sony PSP MPEG-4 Movie(*.mp4)"
    ASSERT_EQ(w->profileChooser()->selectedPosition(), 18);
    const struct {
        const char* category;
        const char* item;
        const char* value;
    } psp[] = {
        {kVideoOptions, kVideoCodec, "mpeg4"}, {kVideoOptions, kVideoSize, "368x208"},
        {kVideoOptions, kVideoBitrate, "512"}, {kVideoOptions, kVideoFramerate, "29.97"},
        {kAudioOptions, kAudioCodec, "aac"},   {kAudioOptions, kAudioBitrate, "64"},
        {kAudioOptions, kSampleRate, "24000"}, {kAudioOptions, kAudioChannel, "2"},
    };
    for (const auto& p : psp)
        EXPECT_EQ(shown(*w, p.category, p.item), QLatin1String(p.value)) << p.item;
    EXPECT_EQ(w->optionSheet()->item(QLatin1String(kVideoOptions), QLatin1String(kVideoSize))->list,
              (QStringList{"368x208", "320x240", "160x112"}));
}

TEST_F(MainWindowTest, KeyboardPicksSkipTheHeadings) {
    auto w = open();
    w->show();
    pickWithKeyboard(*w, 17); // from row 16 Down passes over the heading "Sony PSP"
    EXPECT_EQ(w->profileChooser()->selectedPosition(), 18);
    EXPECT_EQ(shown(*w, kVideoOptions, kVideoSize), "368x208");
}

TEST_F(MainWindowTest, ClosingStoresThePickedRowAndTheNextStartRestoresIt) {
    {
        auto w = open();
        w->show();
        pickWithKeyboard(*w, 76);
        ASSERT_EQ(w->profileChooser()->currentText(), "Flash SWF(*.swf)");
        EXPECT_EQ(shown(*w, kVideoOptions, kVideoCodec), "SWF");
        w->close();
    }
    EXPECT_EQ(settingsContents(), "[Set]\nprofile=76\n");
    auto again = open();
    EXPECT_EQ(again->profileChooser()->selectedPosition(), 76);
    EXPECT_EQ(outputExtension(again->profileChooser()->currentText()), ".swf");
}

TEST_F(MainWindowTest, ClosingWithoutASelectionWritesNothing) {
    {
        auto w = open();
        w->close();
    }
    EXPECT_EQ(settingsContents(), "<missing>");

    writeSettings("[set]\nprofile=93\noutputfolder=/x\n");
    {
        auto w = open();
        w->close();
    }
    EXPECT_EQ(settingsContents(), "[set]\nprofile=93\noutputfolder=/x\n");
}

TEST_F(MainWindowTest, ClosingAnnouncesItselfOnce) {
    auto w = open();
    int closings = 0;
    QObject::connect(w.get(), &MainWindow::closing, [&closings] { ++closings; });
    w->show();
    w->close();
    w->close();
    EXPECT_EQ(closings, 1);
}

// A typed value the encoder would misread is refused: the item keeps its value and the sheet
// says why.
TEST_F(MainWindowTest, SheetRefusesTypedValuesItsItemsCannotHold) {
    auto w = open();
    w->show();
    OptionSheetView* ps1 = w->optionSheetView();
    QSignalSpy refused(ps1, SIGNAL(editRefused(QString)));
    const struct {
        const char* category;
        const char* item;
        const char* typed;
        const char* value; // what the item holds afterwards
    } cases[] = {
        {kVideoOptions, kVideoBitrate, "256 /abs/victim.mp4 -y -b:v 256", "256"},
        {kVideoOptions, kVideoSize, "big", "320x240"},
        {kVideoOptions, kVideoFramerate, "fast", "29.97"},
        {kAudioOptions, kSampleRate, "44100 -y", "44100"},
        {kAudioOptions, kAudioChannel, "two", "2"},
        {kVideoOptions, kVideoSize, " 640x360 ", "640x360"}, // blanks around are dropped
        {kVideoOptions, kVideoFramerate, "Auto", "Auto"},
        {kVideoOptions, kVideoCodec, "my codec", "my codec"}, // not an item the check governs
    };
    int refusals = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.item) + " " + c.typed);
        QTRY_VERIFY(ps1->viewport()->findChildren<QComboBox*>().isEmpty());
        QTreeWidgetItem* row = ps1->rowFor(QLatin1String(c.category), QLatin1String(c.item));
        ASSERT_NE(row, nullptr);
        ps1->editItem(row, OptionSheetView::ValueColumn);
        auto* combo = ps1->viewport()->findChild<QComboBox*>();
        ASSERT_NE(combo, nullptr);
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), QLatin1String(c.typed));
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        QTRY_VERIFY(ps1->viewport()->findChildren<QComboBox*>().isEmpty());
        EXPECT_EQ(w->optionSheet()->value(QLatin1String(c.category), QLatin1String(c.item)),
                  QLatin1String(c.value));
        EXPECT_EQ(row->text(OptionSheetView::ValueColumn), QLatin1String(c.value));
        if (QLatin1String(c.typed).trimmed() != QLatin1String(c.value)) {
            ++refusals;
            ASSERT_EQ(refused.count(), refusals);
            EXPECT_TRUE(refused.last().at(0).toString().contains(QLatin1String(c.item)));
        }
    }
}

TEST_F(MainWindowTest, SheetEditsGoToTheModelAtOnce) {
    auto w = open();
    w->show();
    OptionSheetView* ps1 = w->optionSheetView();

    // A list item: a drop-down of its values, and a pick ends the edit.
    QTreeWidgetItem* codec = ps1->rowFor(QLatin1String(kVideoOptions), QLatin1String(kVideoCodec));
    ps1->editItem(codec, OptionSheetView::ValueColumn);
    auto* combo = ps1->viewport()->findChild<QComboBox*>();
    ASSERT_NE(combo, nullptr);
    QStringList offered;
    for (int i = 0; i < combo->count(); ++i)
        offered << combo->itemText(i);
    EXPECT_EQ(offered, (QStringList{"xvid", "mpeg4", "x264"}));
    EXPECT_EQ(combo->currentText(), "xvid");
    combo->setCurrentIndex(2);
    Q_EMIT combo->activated(2);
    EXPECT_EQ(w->optionSheet()->value(QLatin1String(kVideoOptions), QLatin1String(kVideoCodec)),
              "x264");
    EXPECT_EQ(codec->text(OptionSheetView::ValueColumn), "x264");

    // A typed value that is not in the list is taken as it is.
    QTreeWidgetItem* bitrate =
        ps1->rowFor(QLatin1String(kVideoOptions), QLatin1String(kVideoBitrate));
    // The closed editor goes away with the next event loop pass.
    QTRY_VERIFY(ps1->viewport()->findChildren<QComboBox*>().isEmpty());
    ps1->editItem(bitrate, OptionSheetView::ValueColumn);
    combo = ps1->viewport()->findChild<QComboBox*>();
    ASSERT_NE(combo, nullptr);
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("777"));
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return); // the view commits on its next pass
    QTRY_COMPARE(
        w->optionSheet()->value(QLatin1String(kVideoOptions), QLatin1String(kVideoBitrate)),
        QStringLiteral("777"));

    // Read-only items open no editor.
    QTreeWidgetItem* name = ps1->rowFor(QLatin1String(kGeneral), QLatin1String(kItemName));
    EXPECT_FALSE(name->flags() & Qt::ItemIsEditable);
    QTRY_VERIFY(ps1->viewport()->findChildren<QComboBox*>().isEmpty());
    ps1->editItem(name, OptionSheetView::ValueColumn);
    EXPECT_EQ(ps1->viewport()->findChild<QLineEdit*>(), nullptr);
    QTest::mouseClick(ps1->viewport(), Qt::LeftButton, {},
                      ps1->visualItemRect(name).center() + QPoint(ps1->columnWidth(0) / 2, 0));
    EXPECT_EQ(ps1->viewport()->findChild<QLineEdit*>(), nullptr);
    EXPECT_EQ(w->optionSheet()->value(QLatin1String(kGeneral), QLatin1String(kItemName)), "Auto");

    // A change made elsewhere (the source list, a preset) shows at once.
    w->optionSheet()->setValue(QLatin1String(kOutputDuration), QLatin1String(kStartTime),
                               QStringLiteral("0:01:00"));
    EXPECT_EQ(shown(*w, kOutputDuration, kStartTime), "0:01:00");
}

TEST_F(MainWindowTest, SkinIsAppliedAndAMissingOrBrokenOneIsHarmless) {
    // The shipped skin parses without a warning.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(paths.skinFile).absolutePath()));
    ASSERT_TRUE(QFile::copy(test::sourceDir() + QStringLiteral("/resources/app/skins/frmmain.skn"),
                            paths.skinFile));
    static QStringList warnings;
    warnings.clear();
    const auto previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext&, const QString& message) {
            if (type == QtWarningMsg && message.contains(QLatin1String("style")))
                warnings << message;
        });
    {
        auto w = open();
        w->show();
        EXPECT_TRUE(w->skinApplied());
        EXPECT_FALSE(w->styleSheet().isEmpty());
        QTest::qWait(0);
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();

    const struct {
        const char* contents; // nullptr: no skin file
        bool applied;
    } cases[] = {{nullptr, false}, {"", false}, {"QWidget { color: ;;; {{{ ", true}};
    for (const auto& c : cases) {
        QFile::remove(paths.skinFile);
        if (c.contents) {
            QFile f(paths.skinFile);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.contents);
        }
        writeSettings("[set]\nprofile=18\n");
        auto w = open();
        w->show();
        EXPECT_EQ(w->skinApplied(), c.applied);
        // Start-up went on past the skin.
        EXPECT_EQ(w->profileChooser()->count(), kCatalogSize);
        EXPECT_EQ(w->profileChooser()->selectedPosition(), 18);
        EXPECT_TRUE(w->runPanel()->isHidden());
        EXPECT_EQ(w->optionSheet()->categories().size(), 4u);
    }
}

TEST_F(MainWindowTest, SettingsCommandOpensTheDialogModally) {
    auto w = open();
    w->show();
    QString title;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<SettingsDialog*>(QApplication::activeModalWidget())) {
            title = dialog->windowTitle();
            modal = dialog->isModal();
            dialog->reject();
        }
    });
    QTest::mouseClick(
        w->toolbar()->buttonFor(w->commands()->action(MainCommands::Command::Settings)),
        Qt::LeftButton);
    EXPECT_EQ(title, "Video Options");
    EXPECT_TRUE(modal);
    EXPECT_EQ(settingsContents(), "<missing>");
}

// The panel starts docked at the left under the list; a drag takes it off and it floats.
TEST_F(MainWindowTest, RunPanelCanBeDraggedWithinTheWindow) {
    auto w = open();
    w->show();
    RunPanel* panel = w->runPanel();
    panel->show();
    const QPoint start = panel->pos();
    const QPoint grip(8, 8);
    const QPoint step(30, -20);
    QTest::mousePress(panel, Qt::LeftButton, {}, grip);
    QMouseEvent move(QEvent::MouseMove, QPointF(grip + step),
                     panel->mapToGlobal(QPointF(grip + step)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(panel, &move);
    QTest::mouseRelease(panel, Qt::LeftButton, {}, grip + step);
    EXPECT_EQ(panel->pos(), start + step);
    EXPECT_FALSE(panel->isDocked());
    EXPECT_TRUE(panel->parentWidget()->rect().contains(panel->geometry()));
}

// While a run shows the panel it covers none of the window's controls: it docks in a space of
// its own under the list, the list's every column (Status above all) stays in view, and the
// space goes back to the list when the run ends.
TEST_F(MainWindowTest, RunPanelCoversNothingAndEveryColumnStaysInView) {
    for (const QSize size : {QSize(1024, 700), QSize(1280, 1024)}) {
        SCOPED_TRACE(size.width());
        auto w = open();
        w->resize(size);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        SourceListView* list = w->sourceList();
        const int listHeightAtRest = list->height();
        RunPanel* panel = w->runPanel();
        panel->show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(panel->isDocked());
        const QRect covered(panel->mapTo(w.get(), QPoint()), panel->size());
        const QList<QWidget*> needed = {
            list,         w->profileChooser(),  w->openFolderButton(), w->outputFolderLabel(),
            w->preview(), w->optionSheetView(), w->toolbar()};
        for (QWidget* widget : needed) {
            const QRect at(widget->mapTo(w.get(), QPoint()), widget->size());
            EXPECT_FALSE(covered.intersects(at))
                << widget->objectName().toStdString() << " under the run panel";
        }
        EXPECT_TRUE(w->rect().contains(covered));
        QHeaderView* header = list->header();
        for (int c = 0; c < SourceListModel::ColumnCount; ++c)
            EXPECT_LE(header->sectionViewportPosition(c) + header->sectionSize(c),
                      list->viewport()->width())
                << "column " << c;
        EXPECT_GE(list->viewport()->height(), 3 * list->fontMetrics().height());
        panel->hide();
        QCoreApplication::processEvents();
        w->centralWidget()->layout()->activate();
        QCoreApplication::processEvents();
        EXPECT_EQ(list->height(), listHeightAtRest);
    }
}

// The window opens at a size its screen can show, comes back where the user left it when that
// still fits, and keeps that in a file of its own: settings.dat is not touched for it.
TEST_F(MainWindowTest, OpensToFitTheScreenAndRemembersWhereItWasLeft) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(paths.windowFile(), dir.filePath(QStringLiteral("window.dat")));
    {
        auto w = open();
        w->show();
        EXPECT_TRUE(area.contains(w->geometry()))
            << "opens inside " << area.width() << "x" << area.height();
        EXPECT_GE(w->width(), w->minimumSizeHint().width());
        w->setGeometry(area.x() + 20, area.y() + 30, area.width() - 60, area.height() - 80);
        w->close();
    }
    EXPECT_EQ(settingsContents(), "<missing>");
    const QRect left(area.x() + 20, area.y() + 30, area.width() - 60, area.height() - 80);
    {
        auto w = open();
        EXPECT_EQ(w->geometry(), left);
    }

    // A place that no longer fits a screen (another monitor, a smaller resolution) is not used.
    const struct {
        const char* what;
        QByteArray contents;
    } unusable[] = {
        {"off every screen", "[Form1]\nx=" + QByteArray::number(area.right() + 500) +
                                 "\ny=10\nwidth=700\nheight=500\n"},
        {"larger than the screen",
         "[Form1]\nx=0\ny=0\nwidth=" + QByteArray::number(area.width() + 400) +
             "\nheight=" + QByteArray::number(area.height() + 300) + "\n"},
        {"not numbers", "[Form1]\nx=left\ny=top\nwidth=wide\nheight=high\n"},
        {"not a placement", "garbage\n"},
    };
    for (const auto& u : unusable) {
        QFile f(paths.windowFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(u.contents);
        f.close();
        auto w = open();
        EXPECT_TRUE(area.contains(w->geometry())) << u.what;
        EXPECT_NE(w->geometry(), left) << u.what;
    }
}

// Tab walks every control of the main window in reading order, and comes back round.
TEST_F(MainWindowTest, TabWalksEveryControlInReadingOrder) {
    auto w = open();
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    const QStringList expected = {
        "addFilesButton", "removeFileButton", "clearAllButton",  "Image11",
        "settingsButton", "helpButton",       "exitButton",      "lvwAudioTracks",
        "ImageCombo1",    "openFolderButton", "positionSlider",  "firstFrameButton",
        "backButton",     "playButton",       "pauseButton",     "stopButton",
        "forwardButton",  "lastFramesButton", "optionSheetView",
    };
    w->toolbar()->buttons().first()->setFocus(Qt::TabFocusReason);
    QStringList walked;
    for (int step = 0; step <= expected.size(); ++step) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr) << "step " << step;
        walked << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(walked, expected + QStringList{"addFilesButton"});

    // During a run the panel's "Cancel" is reached after the sheet.
    w->runPanel()->show();
    w->optionSheetView()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->runPanel()->cancelButton());
}

// A caption too long for the run panel keeps both ends of its paths and shows whole as a tooltip.
TEST_F(MainWindowTest, RunPanelShortensLongCaptionsInTheMiddle) {
    auto w = open();
    w->show();
    RunPanel* panel = w->runPanel();
    panel->show();
    const QString input = QStringLiteral("/home/someone/Videos/") + QString(120, QLatin1Char('a')) +
                          QStringLiteral("/first clip.avi");
    const QString caption =
        QStringLiteral("Progress....") + input + QStringLiteral(" To /out/first clip.mp4");
    panel->setProgressCaption(caption);
    QGroupBox* frame = panel->progressFrame();
    EXPECT_EQ(panel->progressCaption(), caption);
    EXPECT_TRUE(frame->title().startsWith(QStringLiteral("Progress....")));
    EXPECT_TRUE(frame->title().endsWith(QStringLiteral(" To /out/first clip.mp4")));
    EXPECT_TRUE(frame->title().contains(QChar(0x2026))) << frame->title().toStdString();
    EXPECT_LE(frame->fontMetrics().horizontalAdvance(frame->title()), frame->width());
    EXPECT_EQ(frame->toolTip(), caption);
    EXPECT_TRUE(panel->parentWidget()->rect().contains(panel->geometry()));

    panel->setProgressCaption(QStringLiteral("Progress....a.avi To b.mp4"));
    EXPECT_EQ(frame->title(), QStringLiteral("Progress....a.avi To b.mp4"));
    EXPECT_TRUE(frame->toolTip().isEmpty());

    // The time left wraps instead of running off the panel.
    panel->rateLabel()->setText(QStringLiteral("Speed 12.34x   Time left: this file 0:10:00, "
                                               "all files 10:00:00 and a good deal more text"));
    QTRY_VERIFY(panel->rateLabel()->height() >=
                panel->rateLabel()->heightForWidth(panel->rateLabel()->width()));
    EXPECT_TRUE(panel->rect().contains(panel->rateLabel()->mapTo(panel, QPoint())));
}
