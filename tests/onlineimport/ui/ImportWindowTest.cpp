#include "onlineimport/ui/ImportWindow.h"
#include "onlineimport/StreamPreviewPlayer.h"
#include "onlineimport/Transfer.h"
#include "onlineimport/WatchPage.h"
#include "onlineimport/YtDlpPageReader.h"
#include "settings/AppSettings.h"

#include "onlineimport/Html5PageFixture.h"
#include "onlineimport/TestHttpServer.h"
#include "onlineimport/TestWait.h"
#include "onlineimport/WatchPageFixture.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace mirelo {
namespace {

using test::runUntil;
using test::TestHttpServer;

// Records what the window asks of its embedded player, in order.
class RecordingPlayer : public StreamPreviewPlayer {
public:
    QStringList calls;
    void setMovie(const QString& path) override { calls += "movie " + path; }
    void setVariable(const QString& name, const QString& value) override {
        calls += "variable " + name + "=" + value;
    }
    void play() override { calls += QStringLiteral("play"); }
    void setToolTipText(const QString& text) override { calls += "tooltip " + text; }
    void setWindowMode(const QString& mode) override { calls += "mode " + mode; }
};

QByteArray thumbnailJpeg() {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::red);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return buffer.data();
}

template <typename W> W* control(QWidget& window, const char* name) {
    W* w = window.findChild<W*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QString text(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* box = qobject_cast<QGroupBox*>(w))
        return box->title();
    return {};
}

// The window and every message box it shows, each answered with `answer`.
class WindowDriver {
public:
    explicit WindowDriver(ImportWindow& w) : window(w) {
        QObject::connect(&w, &ImportWindow::directLinkFinished, [this] { ++directLinks; });
        QObject::connect(&w, &ImportWindow::downloadFinished, [this](bool ok) { downloads += ok; });
        w.setEndNotice([this](const QString& body, const QString& folder) {
            told << body + QStringLiteral(" | ") + folder;
        });
    }

    // Runs the event loop until `done`, answering message boxes as they appear.
    bool runUntil(const std::function<bool()>& done,
                  QMessageBox::StandardButton answer = QMessageBox::Ok, int ms = 15000) {
        return test::runUntil(
            [&] {
                for (QMessageBox* box : window.findChildren<QMessageBox*>()) {
                    if (!box->isVisible() || seen.contains(box))
                        continue;
                    seen.insert(box);
                    messages += box->windowTitle() + QStringLiteral(" | ") + box->text();
                    QAbstractButton* button = box->button(answer);
                    (button ? button : box->buttons().value(0))->click();
                }
                return done();
            },
            ms);
    }

    ImportWindow& window;
    QSet<QMessageBox*> seen;
    QStringList messages;
    int directLinks = 0;
    QList<bool> downloads;
    QStringList told; // what the desktop was asked to tell
};

class ImportWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString map = test::streamMap({{22, server.url(QStringLiteral("/mp4"))},
                                             {35, server.url(QStringLiteral("/hd%20high"))},
                                             {5, server.url(QStringLiteral("/short"))}});
        server.route(QStringLiteral("/watch"),
                     TestHttpServer::ok(
                         test::watchPage(server.url(QStringLiteral("/thumb.jpg")), map).toUtf8()));
        server.route(QStringLiteral("/thumb.jpg"),
                     TestHttpServer::ok(thumbnailJpeg(), "image/jpeg"));
        server.route(QStringLiteral("/mp4"), TestHttpServer::ok(QByteArray(2500, 'm')));
        server.route(QStringLiteral("/short"),
                     TestHttpServer::announcing(QByteArray(10, 's'), 900));
        server.route(QStringLiteral("/hang"), TestHttpServer::hanging());
        window.setStorageFolder(storage.path());
        window.setPreviewPlayer(&player);
        window.show();
    }

    void getDirectLink(const QString& url) {
        control<QLineEdit>(window, "pageAddress")->setText(url);
        control<QPushButton>(window, "getDirectLink")->click();
    }

    TestHttpServer server;
    QTemporaryDir storage;
    RecordingPlayer player;
    ImportWindow window;
    WindowDriver driver{window};
};

TEST_F(ImportWindowTest, ControlsStartWithTheirCaptionsInTheirArrangement) {
    ImportWindow fresh;
    fresh.show();
    EXPECT_EQ(fresh.windowTitle(), QStringLiteral("RirUzarAvud-Beta Release"));
    EXPECT_GE(fresh.width(), 478);
    EXPECT_GE(fresh.height(), 323);
    const struct {
        const char* name;
        const char* caption;
    } cases[] = {
        {"addressPrompt", "Enter YouTube video URL"},
        {"pageAddress", ""},
        {"getDirectLink", "Get Direct Link"},
        {"thumbnail", ""},
        {"videoTitle", "Title"},
        {"author", "Author"},
        {"category", "Category"},
        {"published", "Published"},
        {"duration", "Duration"},
        {"ratingCaption", "Rating"},
        {"rating", "..."},
        {"downloadPercent", ""},
        {"downloadBar", ""},
        {"getMp4", "Get MP4"},
        {"getHdHigh", "Get HD High"},
        {"previewStream", "Preview"},
        {"getHdLow", "Get HD Low"},
        {"getFlv", "Get FLV"},
        {"cmdCLose", "X"},
        {"status", "Status  "},
        {"frmPR", "YouTube Preview"},
        {"previewSurface", ""},
        {"previewHint", "Click and wait for video to Load..."},
        {"closePreview", "X"},
    };
    for (const auto& c : cases) {
        QWidget* w = control<QWidget>(fresh, c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(text(w), QString::fromUtf8(c.caption)) << c.name;
    }
    // The example address is a hint, not text the user must delete first.
    EXPECT_EQ(control<QLineEdit>(fresh, "pageAddress")->placeholderText(),
              QStringLiteral("https://www.youtube.com/watch?v=XXXXX"));

    // In window coordinates: the prompt and address on top, then thumbnail | texts | rating and
    // "Get Direct Link", the download bar, the stream buttons, the status line; "X" top right.
    auto at = [&](const char* name) {
        QWidget* w = control<QWidget>(fresh, name);
        return QRect(w->mapTo(&fresh, QPoint()), w->size());
    };
    const char* above[][2] = {
        {"addressPrompt", "pageAddress"},
        {"pageAddress", "thumbnail"},
        {"pageAddress", "videoTitle"},
        {"videoTitle", "author"},
        {"author", "description"},
        {"description", "category"},
        {"category", "published"},
        {"thumbnail", "duration"},
        {"ratingCaption", "rating"},
        {"rating", "getDirectLink"},
        {"published", "downloadBar"},
        {"downloadBar", "getMp4"},
        {"getMp4", "status"},
        {"cmdCLose", "pageAddress"},
    };
    for (const auto& pair : above)
        EXPECT_LT(at(pair[0]).bottom(), at(pair[1]).top()) << pair[0] << " above " << pair[1];
    const char* leftOf[][2] = {
        {"thumbnail", "videoTitle"},      {"videoTitle", "ratingCaption"},
        {"description", "getDirectLink"}, {"downloadPercent", "downloadBar"},
        {"getMp4", "getHdHigh"},          {"getHdHigh", "previewStream"},
        {"previewStream", "getHdLow"},    {"getHdLow", "getFlv"},
    };
    for (const auto& pair : leftOf)
        EXPECT_LT(at(pair[0]).right(), at(pair[1]).left()) << pair[0] << " left of " << pair[1];
    EXPECT_GT(at("cmdCLose").left(), fresh.width() * 3 / 4);
    EXPECT_LT(at("cmdCLose").top(), at("addressPrompt").top());
    EXPECT_FALSE(control<QWidget>(fresh, "frmPR")->isVisible()) << "the preview panel rests";

    for (const char* name : {"getMp4", "getHdHigh", "getHdLow", "getFlv"})
        EXPECT_FALSE(control<QPushButton>(fresh, name)->isEnabled()) << name;
    EXPECT_TRUE(control<QPushButton>(fresh, "getDirectLink")->isEnabled());
    EXPECT_TRUE(control<QPushButton>(fresh, "previewStream")->isEnabled());
    EXPECT_EQ(control<QProgressBar>(fresh, "downloadBar")->value(), 0);
    EXPECT_EQ(control<QProgressBar>(fresh, "downloadBar")->maximum(), 100);
    EXPECT_EQ(fresh.pageTransfer().timeoutMs(), 60000);
}

TEST_F(ImportWindowTest, GetDirectLinkFillsTheWindow) {
    getDirectLink(server.url(QStringLiteral("/watch")));
    EXPECT_FALSE(control<QPushButton>(window, "getDirectLink")->isEnabled());
    // The shipped loading picture stands in while the page is fetched.
    const QPixmap loading(QCoreApplication::applicationDirPath() + QStringLiteral("/loading.jpg"));
    ASSERT_FALSE(loading.isNull());
    EXPECT_EQ(control<QLabel>(window, "thumbnail")->pixmap().toImage(), loading.toImage());
    ASSERT_TRUE(driver.runUntil([&] { return driver.directLinks == 1; }));
    EXPECT_TRUE(driver.messages.isEmpty()) << driver.messages.join('\n').toStdString();

    const struct {
        const char* name;
        QString expected;
    } fields[] = {
        {"videoTitle", QString::fromUtf8(test::kPageTitle)},
        {"author", QStringLiteral("mirelo_tests")},
        {"category", QStringLiteral("Music")},
        {"published", QStringLiteral("March 3, 2010")},
        {"duration", QStringLiteral("213 Sec.")},
        {"rating", QStringLiteral("4.5")},
        {"status", QStringLiteral("Complete!")},
    };
    for (const auto& f : fields)
        EXPECT_EQ(control<QLabel>(window, f.name)->text(), f.expected) << f.name;
    EXPECT_EQ(control<QPlainTextEdit>(window, "description")->toPlainText(),
              QStringLiteral("A test description."));
    EXPECT_EQ(window.session().page().info.videoId, QStringLiteral("tEsT_42"));

    for (const auto& [name, enabled] : {std::pair{"getMp4", true}, std::pair{"getHdHigh", true},
                                        std::pair{"getFlv", true}, std::pair{"getHdLow", false}})
        EXPECT_EQ(control<QPushButton>(window, name)->isEnabled(), enabled) << name;

    const QString thumbnail = QDir(storage.path()).filePath(QStringLiteral("Cache/tEsT_42.jpg"));
    EXPECT_TRUE(QFile::exists(thumbnail));
    EXPECT_EQ(control<QLabel>(window, "thumbnail")->pixmap().size(), QSize(64, 48));

    EXPECT_FALSE(control<QPushButton>(window, "getDirectLink")->isEnabled());
    control<QLineEdit>(window, "pageAddress")->insert(QStringLiteral("x"));
    EXPECT_TRUE(control<QPushButton>(window, "getDirectLink")->isEnabled());
}

TEST_F(ImportWindowTest, StreamsDownloadOrPlay) {
    getDirectLink(server.url(QStringLiteral("/watch")));
    ASSERT_TRUE(driver.runUntil([&] { return driver.directLinks == 1; }));
    const QString title = QString::fromUtf8(test::kPageTitle);

    // "Get MP4" downloads at once.
    control<QPushButton>(window, "getMp4")->click();
    ASSERT_TRUE(driver.runUntil([&] { return driver.downloads.size() == 1; }));
    EXPECT_EQ(driver.downloads, QList<bool>{true});
    EXPECT_TRUE(driver.messages.isEmpty());
    EXPECT_EQ(control<QLabel>(window, "downloadPercent")->text(), QStringLiteral("100 % "));
    EXPECT_EQ(control<QProgressBar>(window, "downloadBar")->value(), 100);
    QFile mp4(QDir(storage.path()).filePath(title + QStringLiteral(".mp4")));
    ASSERT_TRUE(mp4.open(QIODevice::ReadOnly));
    EXPECT_EQ(mp4.readAll(), QByteArray(2500, 'm'));
    EXPECT_EQ(driver.told,
              QStringList{QStringLiteral("Downloaded ") + title + QStringLiteral(".mp4 | ") +
                          QDir(storage.path()).absolutePath()});

    // "Get FLV" asks; Yes downloads, and a short body is an error with no file left.
    control<QPushButton>(window, "getFlv")->click();
    ASSERT_TRUE(driver.runUntil([&] { return driver.downloads.size() == 2; }, QMessageBox::Yes));
    ASSERT_EQ(driver.messages.size(), 2);
    EXPECT_EQ(driver.messages[0],
              QStringLiteral("Download/Play | Do you want Download or Play "
                             "this video?\r\nClick yes to Download, No to Play"));
    EXPECT_TRUE(driver.messages[1].startsWith(QStringLiteral("Mirelo Video Converter | Error-")));
    EXPECT_TRUE(driver.messages[1].contains(QStringLiteral("10 of the 900")))
        << driver.messages[1].toStdString();
    EXPECT_FALSE(QFile::exists(QDir(storage.path()).filePath(title + QStringLiteral(".flv"))));
    ASSERT_EQ(driver.told.size(), 2);
    EXPECT_TRUE(driver.told[1].startsWith(QStringLiteral("Download failed: ")))
        << driver.told[1].toStdString();

    // "Get HD High" asks; No plays the stream in the preview panel.
    control<QPushButton>(window, "getHdHigh")->click();
    ASSERT_TRUE(driver.runUntil([&] { return !player.calls.isEmpty(); }, QMessageBox::No));
    auto* panel = control<QGroupBox>(window, "frmPR");
    EXPECT_EQ(panel->pos(), QPoint(16, 8));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(window.rect().contains(panel->geometry()));
    const QStringList expectedCalls = {
        QStringLiteral("movie ") + QCoreApplication::applicationDirPath() +
            QStringLiteral("/flvplayer.swf"),
        QStringLiteral("variable file=") + server.url(QStringLiteral("/hd%20high")),
        QStringLiteral("play"),
        QStringLiteral("tooltip Preview of ") + title,
        QStringLiteral("mode Fullscreen"),
    };
    EXPECT_EQ(player.calls, expectedCalls);
    EXPECT_EQ(control<QWidget>(window, "previewSurface")->toolTip(),
              QStringLiteral("Preview of ") + title);

    player.calls.clear();
    control<QPushButton>(window, "previewStream")->click();
    EXPECT_EQ(panel->pos(), QPoint(20, 30));
    EXPECT_EQ(player.calls, expectedCalls);

    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(control<QLabel>(window, "closePreview"), &release);
    EXPECT_EQ(panel->pos(), QPoint(533, 30));
    EXPECT_FALSE(panel->isVisible()) << "out of view, whatever the window's width";
}

TEST_F(ImportWindowTest, UnreadablePartsOfThePageAreShownAndSkipped) {
    const QString map = test::percentEncoded(
        QStringLiteral("22|") + test::percentEncoded(server.url(QStringLiteral("/mp4"))) +
        QStringLiteral(",abc|x,5|") + test::percentEncoded(server.url(QStringLiteral("/short"))));
    server.route(QStringLiteral("/odd"),
                 TestHttpServer::ok(
                     test::watchPage(server.url(QStringLiteral("/thumb.jpg")), map).toUtf8()));
    getDirectLink(server.url(QStringLiteral("/odd")));
    ASSERT_TRUE(driver.runUntil([&] { return driver.directLinks == 1; }));
    ASSERT_EQ(driver.messages.size(), 1) << driver.messages.join('\n').toStdString();
    EXPECT_TRUE(driver.messages[0].startsWith(
        QStringLiteral("Mirelo Video Converter | Some parts of the page could not be read:\r\n")));
    EXPECT_TRUE(driver.messages[0].contains(QStringLiteral("\"abc|x\"")))
        << driver.messages[0].toStdString();
    // The entries on both sides of the bad one still count, and the fields are read.
    for (const auto& [name, enabled] :
         {std::pair{"getMp4", true}, std::pair{"getFlv", true}, std::pair{"getHdHigh", false},
          std::pair{"getHdLow", false}})
        EXPECT_EQ(control<QPushButton>(window, name)->isEnabled(), enabled) << name;
    EXPECT_EQ(control<QLabel>(window, "videoTitle")->text(), QString::fromUtf8(test::kPageTitle));
}

TEST_F(ImportWindowTest, DownloadingATitleAgainKeepsTheFirstFile) {
    getDirectLink(server.url(QStringLiteral("/watch")));
    ASSERT_TRUE(driver.runUntil([&] { return driver.directLinks == 1; }));
    const QString title = QString::fromUtf8(test::kPageTitle);
    QFile first(QDir(storage.path()).filePath(title + QStringLiteral(".mp4")));
    ASSERT_TRUE(first.open(QIODevice::WriteOnly));
    first.write("kept");
    first.close();
    control<QPushButton>(window, "getMp4")->click();
    ASSERT_TRUE(driver.runUntil([&] { return driver.downloads.size() == 1; }));
    EXPECT_EQ(driver.downloads, QList<bool>{true});
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), "kept");
    QFile second(QDir(storage.path()).filePath(title + QStringLiteral(" (2).mp4")));
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    EXPECT_EQ(second.readAll(), QByteArray(2500, 'm'));
}

TEST_F(ImportWindowTest, FailedFetchShowsOneMessage) {
    const struct {
        QString url;
        const char* holds;
        bool slow;
    } cases[] = {
        {QStringLiteral("http://127.0.0.1:%1/w").arg(TestHttpServer::closedPort()), "12029", false},
        {QStringLiteral("ftp://127.0.0.1/watch"), "ftp://127.0.0.1/watch", false},
        {server.url(QStringLiteral("/hang")), "12002", true},
    };
    window.pageTransfer().setTimeoutMs(700);
    for (const auto& c : cases) {
        driver.messages.clear();
        driver.directLinks = 0;
        getDirectLink(c.url);
        ASSERT_TRUE(driver.runUntil([&] { return driver.directLinks == 1; }));
        ASSERT_EQ(driver.messages.size(), 1) << driver.messages.join('\n').toStdString();
        EXPECT_TRUE(driver.messages[0].startsWith(
            QStringLiteral("Mirelo Video Converter | Something Went Wrong\r\n")));
        EXPECT_TRUE(driver.messages[0].contains(QLatin1String(c.holds)))
            << driver.messages[0].toStdString();
        EXPECT_EQ(control<QLabel>(window, "status")->text() == QStringLiteral("Slow Connection"),
                  c.slow);
        // No page: the details keep their captions instead of going blank.
        for (const auto& [name, caption] :
             {std::pair{"videoTitle", "Title"}, std::pair{"author", "Author"},
              std::pair{"category", "Category"}, std::pair{"published", "Published"},
              std::pair{"duration", "Duration"}, std::pair{"rating", "..."}})
            EXPECT_EQ(control<QLabel>(window, name)->text(), QLatin1String(caption)) << name;
        EXPECT_EQ(control<QLineEdit>(window, "pageAddress")->text(), c.url);
        EXPECT_FALSE(control<QPushButton>(window, "getDirectLink")->isEnabled());
    }
}

TEST_F(ImportWindowTest, DraggingAddressClickAndClose) {
    const QPoint start = window.pos();
    const QPoint grab = window.mapToGlobal(QPoint(100, 10)); // bare background above the panel
    auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(window.mapFromGlobal(global)), QPointF(global),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &e);
    };
    send(QEvent::MouseButtonPress, grab, Qt::LeftButton);
    send(QEvent::MouseMove, grab + QPoint(50, 30), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grab + QPoint(50, 30), Qt::NoButton);
    EXPECT_EQ(window.pos(), start + QPoint(50, 30));

    // A click into the address selects all of it.
    auto* address = control<QLineEdit>(window, "pageAddress");
    address->deselect();
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5),
                      QPointF(address->mapToGlobal(QPoint(5, 5))), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(address, &click);
    EXPECT_TRUE(runUntil([&] { return address->selectedText() == address->text(); }, 3000));

    control<QPushButton>(window, "cmdCLose")->click();
    EXPECT_FALSE(window.isVisible());
}

// Today's pages go to yt-dlp; the window shows what it read and which yt-dlp read it.
// yt-dlp starts slowly on a busy machine.
constexpr int kYtDlpWaitMs = 120000;

class ImportWindowYtDlpTest : public ImportWindowTest {
protected:
    void SetUp() override {
        ImportWindowTest::SetUp();
        test::serveHtml5Page(server, thumbnailJpeg());
        useYtDlp(QString());
    }
    // The settings name `program` as the yt-dlp to run (empty: the one on PATH).
    void useYtDlp(const QString& program) {
        const QString file = settingsFolder.filePath(QStringLiteral("settings.dat"));
        AppSettings settings(file, settingsFolder.path());
        if (!program.isEmpty()) {
            ASSERT_TRUE(settings.setYtdlpProgram(program));
        }
        window.setSettings(settings);
    }
    QStringList storedEntries() const {
        return QDir(storage.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir settingsFolder;
};

TEST_F(ImportWindowYtDlpTest, AnHtml5PageFillsTheWindowDownloadsAndPlays) {
    MIRELO_REQUIRE_YTDLP();
    getDirectLink(server.url(QStringLiteral("/video.html")));
    ASSERT_TRUE(
        driver.runUntil([&] { return driver.directLinks == 1; }, QMessageBox::No, kYtDlpWaitMs));
    EXPECT_TRUE(driver.messages.isEmpty()) << driver.messages.join('\n').toStdString();
    EXPECT_TRUE(
        control<QLabel>(window, "videoTitle")->text().startsWith(QLatin1String(test::kHtml5Title)));
    EXPECT_EQ(control<QPlainTextEdit>(window, "description")->toPlainText(),
              QLatin1String(test::kHtml5Description));
    EXPECT_EQ(control<QLabel>(window, "thumbnail")->pixmap().size(), QSize(64, 48));
    EXPECT_TRUE(QFile::exists(
        QDir(storage.path()).filePath("Cache/" + window.session().page().info.videoId + ".jpg")));
    EXPECT_TRUE(control<QLabel>(window, "pageReader")
                    ->text()
                    .startsWith(QStringLiteral("Read by yt-dlp 20")))
        << control<QLabel>(window, "pageReader")->text().toStdString();
    EXPECT_EQ(control<QLabel>(window, "status")->text(), QStringLiteral("Complete!"));
    for (const char* name : {"getMp4", "getHdHigh", "getHdLow", "getFlv"})
        EXPECT_TRUE(control<QPushButton>(window, name)->isEnabled()) << name;

    // "No": the smallest source plays in the panel; Preview plays the best.
    control<QPushButton>(window, "getFlv")->click();
    ASSERT_TRUE(driver.runUntil([&] { return player.calls.size() >= 5; }, QMessageBox::No));
    EXPECT_TRUE(player.calls.contains("variable file=" + server.url(QStringLiteral("/small.mp4"))))
        << player.calls.join('\n').toStdString();
    player.calls.clear();
    control<QPushButton>(window, "previewStream")->click();
    EXPECT_TRUE(player.calls.contains("variable file=" + server.url(QStringLiteral("/big.mp4"))))
        << player.calls.join('\n').toStdString();

    // Get MP4 downloads at once: the best MP4, byte for byte, with the bar at 100.
    control<QPushButton>(window, "getMp4")->click();
    ASSERT_TRUE(driver.runUntil([&] { return driver.downloads.size() == 1; }, QMessageBox::Ok,
                                kYtDlpWaitMs));
    EXPECT_EQ(driver.downloads, QList<bool>{true}) << driver.messages.join('\n').toStdString();
    EXPECT_EQ(control<QLabel>(window, "downloadPercent")->text(), QStringLiteral("100 % "));
    EXPECT_EQ(control<QProgressBar>(window, "downloadBar")->value(), 100);
    const QString saved =
        downloadFileName(window.session().page().info.title, QStringLiteral(".mp4"));
    QFile file(QDir(storage.path()).filePath(saved));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << storedEntries().join(' ').toStdString();
    EXPECT_EQ(file.readAll(), test::bigSource());
    EXPECT_EQ(storedEntries(), (QStringList{QStringLiteral("Cache"), saved}));

    // A classic page after it goes to the classic reader, with only its own buttons.
    getDirectLink(server.url(QStringLiteral("/watch")));
    ASSERT_TRUE(
        driver.runUntil([&] { return driver.directLinks == 2; }, QMessageBox::Ok, kYtDlpWaitMs));
    EXPECT_EQ(control<QLabel>(window, "pageReader")->text(),
              QStringLiteral("Read by the classic page reader"));
    EXPECT_EQ(control<QLabel>(window, "videoTitle")->text(), QString::fromUtf8(test::kPageTitle));
    EXPECT_FALSE(control<QPushButton>(window, "getHdLow")->isEnabled());
}

TEST_F(ImportWindowYtDlpTest, AMissingOrBrokenYtDlpIsExplained) {
    const QString garbage =
        test::writeScript(settingsFolder.path(), QStringLiteral("garbage"), "echo not json");
    const struct {
        QString program;
        QStringList holds;
    } cases[] = {
        {settingsFolder.filePath(QStringLiteral("missing-yt-dlp")),
         {QStringLiteral("missing-yt-dlp"), QStringLiteral("sudo apt install yt-dlp")}},
        {garbage, {garbage, QStringLiteral("no readable description")}},
    };
    for (const auto& c : cases) {
        useYtDlp(c.program);
        driver.messages.clear();
        driver.directLinks = 0;
        control<QLineEdit>(window, "pageAddress")->clear(); // the same address again
        getDirectLink(server.url(QStringLiteral("/video.html")));
        ASSERT_TRUE(driver.runUntil([&] { return driver.directLinks == 1; }, QMessageBox::Ok,
                                    kYtDlpWaitMs));
        ASSERT_EQ(driver.messages.size(), 1) << driver.messages.join('\n').toStdString();
        EXPECT_TRUE(driver.messages[0].startsWith(
            QStringLiteral("Mirelo Video Converter | Something Went Wrong\r\n")));
        for (const QString& part : c.holds)
            EXPECT_TRUE(driver.messages[0].contains(part)) << driver.messages[0].toStdString();
        EXPECT_EQ(control<QLabel>(window, "videoTitle")->text(), QStringLiteral("Title"));
        for (const char* name : {"getMp4", "getHdHigh", "getHdLow", "getFlv"})
            EXPECT_FALSE(control<QPushButton>(window, name)->isEnabled()) << name;
    }
}

TEST_F(ImportWindowYtDlpTest, ClosingDuringADownloadStopsItAndLeavesNothing) {
    MIRELO_REQUIRE_YTDLP();
    server.route(QStringLiteral("/big.mp4"),
                 TestHttpServer::stalledStream(50 * 1024 * 1024, 2 * 1024 * 1024));
    getDirectLink(server.url(QStringLiteral("/video.html")));
    ASSERT_TRUE(
        driver.runUntil([&] { return driver.directLinks == 1; }, QMessageBox::Ok, kYtDlpWaitMs));
    control<QPushButton>(window, "getMp4")->click();
    auto* bar = control<QProgressBar>(window, "downloadBar");
    ASSERT_TRUE(driver.runUntil([&] { return bar->value() > 0; }, QMessageBox::Ok, kYtDlpWaitMs));
    EXPECT_LT(bar->value(), 10);
    control<QPushButton>(window, "cmdCLose")->click();
    ASSERT_TRUE(
        driver.runUntil([&] { return !window.isVisible(); }, QMessageBox::Ok, kYtDlpWaitMs));
    EXPECT_EQ(driver.downloads, QList<bool>{false});
    EXPECT_TRUE(driver.messages.isEmpty()) << driver.messages.join('\n').toStdString();
    EXPECT_TRUE(driver.told.isEmpty()) << "a cancelled download is not told";
    EXPECT_EQ(storedEntries(), QStringList{QStringLiteral("Cache")});
}

} // namespace
} // namespace mirelo
