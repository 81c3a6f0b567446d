#include "clip/ui/ClipEditor.h"
#include "player/PreviewPlayer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

using namespace mirelo;

namespace {

class ClipEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_display = qgetenv("DISPLAY");
        qunsetenv("DISPLAY"); // a preview started here ends on its own
    }
    void TearDown() override {
        form.reset();
        if (!m_display.isEmpty())
            qputenv("DISPLAY", m_display);
    }

    void open(const ClipTimes& times, const QString& file = QStringLiteral("/media/a b.avi")) {
        player.setPlayPosition(0);
        player.setPlayLength(0);
        form = std::make_unique<ClipEditor>(player, file, times, QStringLiteral("/no/skin.skn"));
        form->setMessagePresenter([this](QMessageBox::Icon icon, const QString& text) {
            messages.push_back({icon, text});
        });
        accepted = std::make_unique<QSignalSpy>(form.get(), &ClipEditor::clipTimesAccepted);
        form->show();
    }
    template <typename T> T* child(const char* name) {
        T* found = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString text(const char* name) { return child<QLineEdit>(name)->text(); }
    void releaseSlider(const char* name, int value) {
        QSlider* slider = child<QSlider>(name);
        slider->setValue(value);
        QTest::mouseRelease(slider, Qt::LeftButton);
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }

    QByteArray m_display;
    PreviewPlayer player;
    std::unique_ptr<ClipEditor> form;
    std::unique_ptr<QSignalSpy> accepted;
    std::vector<std::pair<QMessageBox::Icon, QString>> messages;
};

TEST_F(ClipEditorTest, LoadFillsTimesSlidersLengthAndCaption) {
    open({QStringLiteral("0:00:00"), QStringLiteral("0:02:00"), QStringLiteral("0:02:00")});
    for (const char* name : {"startSlider", "endSlider"}) {
        EXPECT_EQ(child<QSlider>(name)->minimum(), 0) << name;
        EXPECT_EQ(child<QSlider>(name)->maximum(), 120) << name;
    }
    EXPECT_EQ(child<QSlider>("startSlider")->value(), 0);
    EXPECT_EQ(child<QSlider>("endSlider")->value(), 120);
    EXPECT_EQ(text("startTime"), QStringLiteral("0:00:00"));
    EXPECT_EQ(text("endTime"), QStringLiteral("0:02:00"));
    EXPECT_EQ(text("clipLength"), QStringLiteral("0:02:00"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Clip Time  -  /media/a b.avi"));
    EXPECT_EQ(player.playLength(), 120);
    EXPECT_TRUE(form->isModal());
    EXPECT_EQ(child<QSlider>("positionSlider")->maximum(), 100);
    EXPECT_EQ(child<QLabel>("LblCurTime")->text(), QStringLiteral("0:00:00"));
    EXPECT_EQ(child<QLabel>("SkinLabel10")->text(), QStringLiteral("Total time:0:02:00"))
        << "the file's length shows before anything plays";
    EXPECT_FALSE(child<QTimer>("previewClock")->isActive());
    for (const char* name :
         {"previewPicture", "playButton", "pauseButton", "stopButton", "backButton",
          "forwardButton", "firstFrameButton", "lastFramesButton", "clipTimesFrame"})
        EXPECT_NE(form->findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
}

TEST_F(ClipEditorTest, SlidersSetTheTimesAndOkWritesThem) {
    open({QStringLiteral("0:00:00"), QStringLiteral("0:02:00"), QStringLiteral("0:02:00")});
    releaseSlider("startSlider", 30);
    releaseSlider("endSlider", 90);
    EXPECT_EQ(text("startTime"), QStringLiteral("0:00:30"));
    EXPECT_EQ(text("endTime"), QStringLiteral("0:01:30"));
    EXPECT_EQ(text("clipLength"), QStringLiteral("0:01:00"));
    click("okButton");
    ASSERT_EQ(accepted->count(), 1);
    EXPECT_EQ(accepted->at(0).at(0).toInt(), 30); // 0:00:30
    EXPECT_EQ(accepted->at(0).at(1).toInt(), 90); // 0:01:30
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_TRUE(form->currentClipFile().isEmpty());
}

TEST_F(ClipEditorTest, OkComparesTimesAsTimes) {
    const struct {
        const char* start;
        const char* end;
        bool accepted;
        const char* message = "Start time or End time is error.";
    } cases[] = {
        {"9:00:00", "10:00:00", true},
        {"0:01:00", "0:01:00", false, "The end must come after the start."},
        {"0:02:00", "0:01:00", false, "The end must come after the start."},
        {"later", "0:01:00", false},
        {"0:00:10", "0:1:00", false},
        {"0:00:59", "0:01:00", true},
    };
    for (const auto& c : cases) {
        messages.clear();
        open({QStringLiteral("0:00:00"), QStringLiteral("0:02:00"), QStringLiteral("12:00:00")});
        child<QLineEdit>("startTime")->setText(QLatin1String(c.start));
        child<QLineEdit>("endTime")->setText(QLatin1String(c.end));
        click("okButton");
        EXPECT_EQ(accepted->count(), c.accepted ? 1 : 0) << c.start << " " << c.end;
        EXPECT_EQ(form->isVisible(), !c.accepted) << c.start << " " << c.end;
        if (c.accepted)
            continue;
        ASSERT_EQ(messages.size(), 1u) << c.start << " " << c.end;
        EXPECT_EQ(messages[0].first, QMessageBox::Critical);
        EXPECT_EQ(messages[0].second, QLatin1String(c.message));
        EXPECT_EQ(text("startTime"), QLatin1String(c.start)) << "the user's values stay";
        if (c.message == std::string_view("The end must come after the start.")) {
            EXPECT_EQ(text("clipLength"), "") << "a clip time only when it is positive";
        }
    }
}

// A file a day or more long: its length is read back whole, the sliders span it and the times
// they set stay hours, so OK accepts a clip past the 24th hour.
TEST_F(ClipEditorTest, LengthsOfADayOrMoreKeepTheirHours) {
    open({QStringLiteral("0:00:00"), QStringLiteral("25:00:00"), QStringLiteral("25:00:00")});
    EXPECT_EQ(child<QSlider>("endSlider")->maximum(), 90000);
    EXPECT_EQ(child<QSlider>("endSlider")->value(), 90000);
    EXPECT_EQ(player.playLength(), 90000);
    releaseSlider("startSlider", 86400 + 60);
    EXPECT_EQ(text("startTime"), QStringLiteral("24:01:00"));
    EXPECT_EQ(text("clipLength"), QStringLiteral("0:59:00"));
    click("okButton");
    ASSERT_EQ(accepted->count(), 1);
    EXPECT_EQ(accepted->at(0).at(0).toInt(), 24 * 3600 + 60); // 24:01:00
    EXPECT_EQ(accepted->at(0).at(1).toInt(), 25 * 3600);      // 25:00:00
    EXPECT_TRUE(messages.empty());
}

TEST_F(ClipEditorTest, TypedTimesMoveTheSlidersAndTheClipLength) {
    open({QStringLiteral("0:00:10"), QStringLiteral("0:00:50"), QStringLiteral("0:01:00")});
    child<QLineEdit>("startTime")->selectAll(); // typed over, as a user does
    QTest::keyClicks(child<QLineEdit>("startTime"), QStringLiteral("0:00:20"));
    EXPECT_EQ(child<QSlider>("startSlider")->value(), 20);
    EXPECT_EQ(text("clipLength"), QStringLiteral("0:00:30"));

    child<QLineEdit>("endTime")->setText(QStringLiteral("0:00:45"));
    EXPECT_EQ(child<QSlider>("endSlider")->value(), 45);
    EXPECT_EQ(text("clipLength"), QStringLiteral("0:00:25"));

    // Past the file the slider stops at its end; the text stays as typed.
    child<QLineEdit>("endTime")->setText(QStringLiteral("0:05:00"));
    EXPECT_EQ(child<QSlider>("endSlider")->value(), 60);
    EXPECT_EQ(text("endTime"), QStringLiteral("0:05:00"));

    // A text that is not a time moves nothing and leaves the length.
    child<QLineEdit>("endTime")->setText(QStringLiteral("0:00:45"));
    child<QLineEdit>("endTime")->setText(QStringLiteral("soon"));
    EXPECT_EQ(child<QSlider>("endSlider")->value(), 45);
    EXPECT_EQ(text("clipLength"), QStringLiteral("0:00:25"));
    releaseSlider("startSlider", 5);
    EXPECT_EQ(text("startTime"), QStringLiteral("0:00:05"));
    EXPECT_EQ(text("clipLength"), QStringLiteral("0:00:25"))
        << "not updated when End is not a time";
}

TEST_F(ClipEditorTest, AnEndPastTheFileIsRefused) {
    const struct {
        const char* videoTime;
        const char* end;
        bool accepted;
    } cases[] = {
        {"0:02:00", "0:02:00", true},  {"0:02:00", "0:02:01", false},
        {"0:02:00", "1:00:00", false}, {"0:00:00", "0:05:00", true}, // length unknown
        {"", "0:05:00", true},
    };
    for (const auto& c : cases) {
        messages.clear();
        open({QStringLiteral("0:00:10"), QStringLiteral("0:00:20"), QLatin1String(c.videoTime)});
        child<QLineEdit>("endTime")->setText(QLatin1String(c.end));
        click("okButton");
        EXPECT_EQ(accepted->count(), c.accepted ? 1 : 0) << c.videoTime << " " << c.end;
        if (c.accepted)
            continue;
        ASSERT_EQ(messages.size(), 1u) << c.videoTime << " " << c.end;
        EXPECT_EQ(messages[0].first, QMessageBox::Critical);
        EXPECT_EQ(messages[0].second, QStringLiteral("Start time or End time is error."));
        EXPECT_TRUE(form->isVisible());
    }
}

TEST_F(ClipEditorTest, PlayStartsAtTheChosenStart) {
    const struct {
        const char* start;
        const char* offset; // in the command line; nullptr: from the file's start
        int position;
        const char* clock;
    } cases[] = {
        {"0:00:30", " -ss 30 ", 30, "0:00:30"}, {"0:01:05", " -ss 65 ", 65, "0:01:05"},
        {"0:00:00", nullptr, 0, "0:00:00"},     {"later", nullptr, 0, "0:00:00"}, // not a time
        {"0:03:00", nullptr, 0, "0:00:00"},                                       // past the file
    };
    for (const auto& c : cases) {
        open({QStringLiteral("0:00:00"), QStringLiteral("0:02:00"), QStringLiteral("0:02:00")});
        child<QLineEdit>("startTime")->setText(QLatin1String(c.start));
        QTest::mouseClick(child<QAbstractButton>("playButton"), Qt::LeftButton);
        const QString line = player.playerCommandLine();
        if (c.offset)
            EXPECT_TRUE(line.contains(QLatin1String(c.offset)))
                << c.start << ": " << line.toStdString();
        else
            EXPECT_FALSE(line.contains(QLatin1String(" -ss ")))
                << c.start << ": " << line.toStdString();
        EXPECT_EQ(player.playPosition(), c.position) << c.start;
        EXPECT_EQ(child<QLabel>("LblCurTime")->text(), QLatin1String(c.clock)) << c.start;
        EXPECT_TRUE(child<QTimer>("previewClock")->isActive()) << c.start;
    }
}

TEST_F(ClipEditorTest, ZeroLengthFileAndCancel) {
    open({QStringLiteral("0:00:00"), QStringLiteral("0:00:00"), QStringLiteral("0:00:00")});
    EXPECT_EQ(child<QSlider>("startSlider")->maximum(), 0);
    EXPECT_EQ(child<QSlider>("endSlider")->maximum(), 0);
    QTest::mouseClick(child<QAbstractButton>("playButton"), Qt::LeftButton);
    EXPECT_TRUE(player.playerCommandLine().endsWith(QLatin1String("\"/media/a b.avi\"")));
    EXPECT_TRUE(child<QTimer>("previewClock")->isActive());
    child<QSlider>("positionSlider")->setValue(40);
    form->preview().transport().tick();
    EXPECT_EQ(child<QSlider>("positionSlider")->value(), 40) << "no division by a zero length";
    EXPECT_FALSE(child<QTimer>("previewClock")->isActive()) << "stops after its first tick";

    QTest::mouseClick(child<QAbstractButton>("playButton"), Qt::LeftButton);
    releaseSlider("startSlider", 0);
    click("cancelButton");
    EXPECT_EQ(accepted->count(), 0);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(child<QTimer>("previewClock")->isActive());
    EXPECT_TRUE(form->currentClipFile().isEmpty());
}

TEST_F(ClipEditorTest, ClosingByTheWindowWritesNothing) {
    open({QStringLiteral("0:00:00"), QStringLiteral("0:02:00"), QStringLiteral("0:02:00")});
    releaseSlider("startSlider", 30);
    form->close();
    EXPECT_EQ(accepted->count(), 0);
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_TRUE(form->currentClipFile().isEmpty());
}

} // namespace
