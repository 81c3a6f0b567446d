#include "onlineimport/YtDlpDownload.h"
#include "onlineimport/YtDlpInfo.h"
#include "onlineimport/YtDlpPageReader.h"

#include "onlineimport/Html5PageFixture.h"
#include "onlineimport/TestHttpServer.h"
#include "onlineimport/TestWait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace mirelo {
namespace {

using test::runUntil;
using test::TestHttpServer;

std::optional<YtDlpPage> parsed(const char* json, QString* error = nullptr) {
    QString ignored;
    return parseYtDlpJson(QByteArray(json), error ? error : &ignored);
}

TEST(YtDlpJson, FieldsComeInTheClassicPageFormats) {
    const struct {
        const char* json;
        WatchPageInfo expected;
        const char* version;
    } cases[] = {
        {R"({"id": "abc", "title": "Night: Day", "uploader": "Someone", "upload_date": "20100303",
             "categories": ["Music", "Live"], "duration": 212.6, "average_rating": 4.5,
             "description": "Line one\nLine two", "thumbnail": "https://img.example/t.jpg",
             "like_count": 99, "_version": {"version": "2023.03.04"}})",
         {"abc", "Night: Day", "Someone", "March 3, 2010", "Music, Live", "Line one\nLine two",
          "https://img.example/t.jpg", "213", "4.5"},
         "2023.03.04"},
        // No average: the like count; the channel stands in for a missing uploader; the last of
        // the thumbnails; a date that is not yyyyMMdd is shown as given.
        {R"({"id": "x1", "title": "T", "channel": "Chan", "upload_date": "2010",
             "like_count": 1234, "duration": 5,
             "thumbnails": [{"url": "http://a/1.jpg"}, {"url": "http://a/2.jpg"}]})",
         {"x1", "T", "Chan", "2010", "", "", "http://a/2.jpg", "5", "1234 likes"},
         ""},
        // Absurd or missing values stay empty; a thumbnail that is not a web address is dropped.
        {R"({"id": "y", "title": "", "duration": -3, "thumbnail": "file:///etc/passwd",
             "average_rating": null})",
         {"y", "", "", "", "", "", "", "", ""},
         ""},
        {R"({"id": "z", "duration": 1e300})", {"z", "", "", "", "", "", "", "", ""}, ""},
        // A playlist gives its first video, with the version from the top.
        {R"({"_type": "playlist", "_version": {"version": "2024.1"},
             "entries": [{"id": "first", "title": "One"}, {"id": "second"}]})",
         {"first", "One", "", "", "", "", "", "", ""},
         "2024.1"},
    };
    for (const auto& c : cases) {
        const std::optional<YtDlpPage> page = parsed(c.json);
        ASSERT_TRUE(page) << c.json;
        const WatchPageInfo& got = page->info;
        const WatchPageInfo& want = c.expected;
        for (QString WatchPageInfo::*field :
             {&WatchPageInfo::videoId, &WatchPageInfo::title, &WatchPageInfo::author,
              &WatchPageInfo::published, &WatchPageInfo::category, &WatchPageInfo::description,
              &WatchPageInfo::thumbnailUrl, &WatchPageInfo::lengthSeconds, &WatchPageInfo::rating})
            EXPECT_EQ(got.*field, want.*field) << c.json;
        EXPECT_EQ(page->version, QLatin1String(c.version)) << c.json;
    }
}

TEST(YtDlpJson, WhatIsNotAVideoIsRefusedWithAReason) {
    const struct {
        const char* json;
        const char* reasonHolds;
    } cases[] = {
        {"", "no readable description"},
        {"{\"title\": \"cut off", "no readable description"},
        {"[1, 2]", "not a JSON object"},
        {"WARNING: something\n{}", "no readable description"},
        {R"({"_type": "playlist", "entries": []})", "playlist without videos"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(parsed(c.json, &error)) << c.json;
        EXPECT_TRUE(error.contains(QLatin1String(c.reasonHolds))) << error.toStdString();
    }
}

TEST(YtDlpJson, FormatsKeepTheirOrderAndWhatIsKnownOfThem) {
    const std::optional<YtDlpPage> page = parsed(R"({"id": "v", "formats": [
        {"format_id": "sb0", "url": "https://s/sb", "ext": "mhtml", "vcodec": "none", "acodec": "none"},
        {"format_id": "0", "url": "http://h/small.mp4", "ext": "mp4", "vcodec": null},
        {"format_id": "140", "url": "https://s/a", "ext": "m4a", "vcodec": "none", "acodec": "mp4a",
         "filesize": 1000},
        {"format_id": "nourl", "ext": "mp4"},
        {"format_id": "137", "url": "https://s/v", "ext": "mp4", "vcodec": "avc1", "acodec": "none",
         "height": 1080, "filesize_approx": 5000}]})");
    ASSERT_TRUE(page);
    ASSERT_EQ(page->formats.size(), 4);
    const struct {
        const char* id;
        bool video;
        bool audio;
        int height;
        qint64 size;
    } expected[] = {
        {"sb0", false, false, -1, -1},
        {"0", true, true, -1, -1}, // unknown codecs count as both
        {"140", false, true, -1, 1000},
        {"137", true, false, 1080, 5000},
    };
    for (int i = 0; i < 4; ++i) {
        const YtDlpFormat& f = page->formats[i];
        EXPECT_EQ(f.id, QLatin1String(expected[i].id));
        EXPECT_EQ(f.hasVideo, expected[i].video) << expected[i].id;
        EXPECT_EQ(f.hasAudio, expected[i].audio) << expected[i].id;
        EXPECT_EQ(f.height, expected[i].height) << expected[i].id;
        EXPECT_EQ(f.size, expected[i].size) << expected[i].id;
        if (i > 0) {
            EXPECT_GT(f.rank, page->formats[i - 1].rank);
        }
    }
    // A video with one format carries it at the top.
    const std::optional<YtDlpPage> single =
        parsed(R"({"id": "one", "url": "http://h/only.webm", "ext": "webm"})");
    ASSERT_TRUE(single);
    ASSERT_EQ(single->formats.size(), 1);
    EXPECT_EQ(single->formats[0].url, QStringLiteral("http://h/only.webm"));
}

// id, ext, video, audio, height, size; listed worst to best as yt-dlp does.
YtDlpFormat format(const char* id, const char* ext, bool video, bool audio, int height = -1,
                   qint64 size = -1) {
    static int rank = 0;
    YtDlpFormat f;
    f.id = QLatin1String(id);
    f.url = QStringLiteral("https://media/") + f.id;
    f.ext = QLatin1String(ext);
    f.hasVideo = video;
    f.hasAudio = audio;
    f.height = height;
    f.size = size;
    f.rank = ++rank;
    return f;
}

TEST(YtDlpFormats, EachButtonGetsWhatItPromises) {
    const struct {
        const char* what;
        QList<YtDlpFormat> formats;
        // format choice and saved container of 22 (MP4), 34 (HD Low), 35 (HD High), 5 (FLV);
        // "" where the button stays disabled
        const char* expected[4][2];
    } cases[] = {
        {"two HTML5 sources: unknown codecs and size fit every slot",
         {format("0", "mp4", true, true), format("1", "mp4", true, true)},
         {{"1", "mp4"}, {"1", "mp4"}, {"1", "mp4"}, {"0", "mp4"}}},
        {"a site of separate streams: the best pairs are merged",
         {format("139", "m4a", false, true), format("140", "m4a", false, true),
          format("18", "mp4", true, true, 360), format("243", "webm", true, false, 360),
          format("136", "mp4", true, false, 720), format("247", "webm", true, false, 720),
          format("251", "webm", false, true), format("137", "mp4", true, false, 1080),
          format("248", "webm", true, false, 1080)},
         {{"136+140", "mp4"}, {"247+251", "webm"}, {"248+251", "webm"}, {"18", "mp4"}}},
        {"a combined format as high as the video-only one is kept whole",
         {format("a", "m4a", false, true), format("v", "mp4", true, false, 720),
          format("22", "mp4", true, true, 720)},
         {{"22", "mp4"}, {"22", "mp4"}, {"22", "mp4"}, {"22", "mp4"}}},
        {"a whole format of unknown height is not known to be lower than the video-only one",
         {format("a", "m4a", false, true), format("v", "mp4", true, false, 480),
          format("w", "mp4", true, true)},
         {{"w", "mp4"}, {"w", "mp4"}, {"w", "mp4"}, {"w", "mp4"}}},
        {"a video-only format of unknown height is not known to be higher than the whole one",
         {format("a", "m4a", false, true), format("18", "mp4", true, true, 360),
          format("v", "mp4", true, false)},
         {{"18", "mp4"}, {"18", "mp4"}, {"18", "mp4"}, {"18", "mp4"}}},
        {"nothing up to 720 lines and no MP4: only HD High and FLV",
         {format("w", "webm", true, true, 1080), format("f", "flv", true, true, 1440)},
         {{"", ""}, {"", ""}, {"f", "flv"}, {"w", "webm"}}},
        {"the smallest by lines, then by size; unknown ones last",
         {format("u", "mp4", true, true), format("big", "mp4", true, true, 240, 900),
          format("small", "flv", true, true, 240, 300), format("hd", "mp4", true, true, 720)},
         {{"hd", "mp4"}, {"hd", "mp4"}, {"hd", "mp4"}, {"small", "flv"}}},
        {"a video-only MP4 without MP4 audio is no MP4 with sound",
         {format("o", "webm", false, true), format("v", "mp4", true, false, 480)},
         {{"", ""}, {"v+o", "mkv"}, {"v+o", "mkv"}, {"", ""}}},
        {"audio only: nothing to fetch",
         {format("a", "m4a", false, true), format("sb", "mhtml", false, false)},
         {{"", ""}, {"", ""}, {"", ""}, {"", ""}}},
    };
    const int codes[] = {22, 34, 35, 5};
    for (const auto& c : cases) {
        const QMap<int, YtDlpChoice> chosen = chooseYtDlpFormats(c.formats);
        for (int i = 0; i < 4; ++i) {
            const YtDlpChoice choice = chosen.value(codes[i]);
            EXPECT_EQ(choice.formatSelector(), QLatin1String(c.expected[i][0]))
                << c.what << ", button " << codes[i];
            EXPECT_EQ(choice.ext, QLatin1String(c.expected[i][1]))
                << c.what << ", button " << codes[i];
            EXPECT_EQ(chosen.contains(codes[i]), *c.expected[i][0] != '\0') << c.what;
        }
    }
}

TEST(YtDlpProgress, LinesAndPercentages) {
    const struct {
        const char* line;
        bool read;
        const char* id;
        qint64 done;
        qint64 total;
    } lines[] = {
        {"mirelo-progress 137 1024 4096", true, "137", 1024, 4096},
        {"mirelo-progress 0 512 NA", true, "0", 512, -1},
        {"mirelo-progress 0 77.0 1.5e3", true, "0", 77, 1500},
        {"[download] Destination: media.mp4", false, "", 0, 0},
        {"mirelo-progress 0 1", false, "", 0, 0},
        {"ERROR: mirelo-progress 1 2 3", false, "", 0, 0},
    };
    for (const auto& l : lines) {
        const auto p = parseYtDlpProgressLine(QLatin1String(l.line));
        ASSERT_EQ(bool(p), l.read) << l.line;
        if (!p)
            continue;
        EXPECT_EQ(p->formatId, QLatin1String(l.id));
        EXPECT_EQ(p->done, l.done) << l.line;
        EXPECT_EQ(p->total, l.total) << l.line;
    }
    const struct {
        QList<qint64> done;
        QList<qint64> total;
        int percent;
    } cases[] = {
        {{0}, {1000}, 0},
        {{415}, {1000}, 42},
        {{1000}, {1000}, 100},
        {{900, 50}, {900, 100}, 95}, // bytes of both parts
        {{100, 0}, {100, -1}, 50},   // one part of two done, the other's size unknown
        {{50, 0}, {100, -1}, 25},
        {{5000}, {1000}, 100}, // never past the end
        {{}, {}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ytDlpPercent(c.done, c.total), c.percent) << c.done.value(0);
}

class YtDlpRun : public ::testing::Test {
protected:
    void SetUp() override { test::serveHtml5Page(server); }
    QString pageUrl() const { return server.url(QStringLiteral("/video.html")); }

    std::optional<YtDlpPage> read(const QString& program, QString* error, int timeoutMs = 0) {
        YtDlpPageReader reader;
        if (timeoutMs > 0)
            reader.setTimeout(timeoutMs);
        QSignalSpy done(&reader, &YtDlpPageReader::finished);
        reader.start(program, pageUrl());
        EXPECT_TRUE(done.isEmpty()) << "never from inside start()";
        EXPECT_TRUE(runUntil([&] { return !done.isEmpty(); }, 120000));
        *error = reader.errorString();
        if (done.isEmpty() || !done.first().first().toBool())
            return std::nullopt;
        return reader.page();
    }

    // Downloads button `code` of the page into `folder`; the download's end and error.
    std::pair<bool, QString> download(int code, const QString& folder, QString* path,
                                      QList<int>* percents = nullptr) {
        QString error;
        const std::optional<YtDlpPage> page = read(QString(), &error);
        if (!page)
            return {false, error};
        YtDlpDownload download;
        QSignalSpy done(&download, &YtDlpDownload::finished);
        if (percents)
            QObject::connect(&download, &YtDlpDownload::progress,
                             [percents](int p) { *percents += p; });
        const YtDlpChoice choice = chooseYtDlpFormats(page->formats).value(code);
        if (!download.start(QString(), page->pageUrl, choice,
                            QDir(folder).filePath(page->info.title + ".mp4")))
            return {false, download.errorString()};
        EXPECT_TRUE(runUntil([&] { return !done.isEmpty(); }, 120000));
        *path = download.filePath();
        return {!done.isEmpty() && done.first().first().toBool(), download.errorString()};
    }

    TestHttpServer server;
    QTemporaryDir scratch;
};

TEST_F(YtDlpRun, AnHtml5PageIsReadWithItsFieldsAndSources) {
    MIRELO_REQUIRE_YTDLP();
    QString error;
    const std::optional<YtDlpPage> page = read(QString(), &error);
    ASSERT_TRUE(page) << error.toStdString();
    EXPECT_TRUE(page->info.title.startsWith(QLatin1String(test::kHtml5Title)))
        << page->info.title.toStdString();
    EXPECT_EQ(page->info.description, QLatin1String(test::kHtml5Description));
    EXPECT_EQ(page->info.thumbnailUrl, server.url(QStringLiteral("/poster.jpg")));
    EXPECT_FALSE(page->version.isEmpty());
    EXPECT_EQ(page->pageUrl, pageUrl());
    const QMap<int, YtDlpChoice> chosen = chooseYtDlpFormats(page->formats);
    // Unknown codecs and size: both sources fit every button; the best is the last listed.
    EXPECT_EQ(chosen.keys(), (QList<int>{5, 22, 34, 35}));
    EXPECT_EQ(chosen[35].previewUrl(), server.url(QStringLiteral("/big.mp4")));
    EXPECT_EQ(chosen[22].previewUrl(), server.url(QStringLiteral("/big.mp4")));
    EXPECT_EQ(chosen[5].previewUrl(), server.url(QStringLiteral("/small.mp4")));
}

TEST_F(YtDlpRun, DownloadsAreTheSourcesByteForByteAndNeverReplaceAFile) {
    MIRELO_REQUIRE_YTDLP();
    const QString folder = scratch.path();
    QList<int> percents;
    QString first;
    const auto [ok, error] = download(35, folder, &first, &percents);
    ASSERT_TRUE(ok) << error.toStdString();
    QFile big(first);
    ASSERT_TRUE(big.open(QIODevice::ReadOnly)) << first.toStdString();
    EXPECT_EQ(big.readAll(), test::bigSource());
    ASSERT_FALSE(percents.isEmpty());
    EXPECT_EQ(percents.last(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));

    // The same title again: a free name; the first file is untouched, nothing else is left.
    QString second;
    const auto [ok2, error2] = download(5, folder, &second);
    ASSERT_TRUE(ok2) << error2.toStdString();
    EXPECT_NE(second, first);
    EXPECT_TRUE(second.endsWith(QLatin1String(" (2).mp4"))) << second.toStdString();
    QFile small(second);
    ASSERT_TRUE(small.open(QIODevice::ReadOnly));
    EXPECT_EQ(small.readAll(), test::smallSource());
    big.seek(0);
    EXPECT_EQ(big.readAll(), test::bigSource());
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
              2);
}

TEST_F(YtDlpRun, ALinkUnderTheTitleIsNeverWrittenThrough) {
    MIRELO_REQUIRE_YTDLP();
    QTemporaryDir outside;
    const QString victim = QDir(outside.path()).filePath(QStringLiteral("victim"));
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::WriteOnly));
    v.write("precious");
    v.close();
    QString error;
    const std::optional<YtDlpPage> page = read(QString(), &error);
    ASSERT_TRUE(page) << error.toStdString();
    const QString linked = QDir(scratch.path()).filePath(page->info.title + ".mp4");
    ASSERT_TRUE(QFile::link(victim, linked));
    QString path;
    const auto [ok, why] = download(5, scratch.path(), &path);
    ASSERT_TRUE(ok) << why.toStdString();
    EXPECT_NE(path, linked);
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), "precious");
    EXPECT_TRUE(QFileInfo(linked).isSymLink());
}

TEST_F(YtDlpRun, CancelStopsYtDlpAndLeavesNothing) {
    MIRELO_REQUIRE_YTDLP();
    server.route(QStringLiteral("/big.mp4"),
                 TestHttpServer::stalledStream(50 * 1024 * 1024, 5 * 1024 * 1024));
    QString error;
    const std::optional<YtDlpPage> page = read(QString(), &error);
    ASSERT_TRUE(page) << error.toStdString();
    YtDlpDownload download;
    QSignalSpy done(&download, &YtDlpDownload::finished);
    QList<int> percents;
    QObject::connect(&download, &YtDlpDownload::progress, [&](int p) { percents += p; });
    ASSERT_TRUE(download.start(QString(), page->pageUrl,
                               chooseYtDlpFormats(page->formats).value(35),
                               scratch.filePath(QStringLiteral("Stalled.mp4"))));
    // Part of the stream has arrived and sits in yt-dlp's partial file (yt-dlp reads in blocks
    // that double in size: it shows 4 of the 5 MB sent).
    ASSERT_TRUE(runUntil([&] { return !percents.isEmpty() && percents.last() >= 5; }, 120000))
        << percents.size() << " updates, last " << percents.value(percents.size() - 1, -1);
    EXPECT_LT(percents.last(), 10); // a true share of the announced 50 MB
    const auto everything = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    const QStringList working = QDir(scratch.path()).entryList(everything);
    ASSERT_EQ(working.size(), 1);
    EXPECT_FALSE(QDir(scratch.filePath(working[0])).entryList(everything).isEmpty());
    download.cancel();
    ASSERT_TRUE(runUntil([&] { return !done.isEmpty(); }, 20000));
    EXPECT_FALSE(done.first().first().toBool());
    EXPECT_TRUE(download.cancelled());
    EXPECT_TRUE(QDir(scratch.path()).entryList(everything).isEmpty());
    EXPECT_EQ(ProgramRunner::runningCount(), 0);
}

TEST_F(YtDlpRun, BrokenOrMissingProgramsAreNamedInTheMessage) {
    const QString folder = scratch.path();
    const QString hangs = test::writeScript(folder, QStringLiteral("hangs"), "exec sleep 600");
    const QString garbage =
        test::writeScript(folder, QStringLiteral("garbage"), "echo '{\"title\": \"cut'");
    const QString fails = test::writeScript(
        folder, QStringLiteral("fails"), "echo 'ERROR: [generic] Unsupported URL: x' >&2; exit 1");
    const QString missing = QDir(folder).filePath(QStringLiteral("no-such-yt-dlp"));
    const struct {
        QString program;
        QStringList messageHolds;
    } cases[] = {
        {hangs, {hangs, "did not finish within 2 seconds"}},
        {garbage, {garbage, "no readable description"}},
        {fails, {fails, "exit code 1", "Unsupported URL: x"}},
        {missing, {missing, "sudo apt install yt-dlp", "settings"}},
    };
    for (const auto& c : cases) {
        QElapsedTimer clock;
        clock.start();
        QString error;
        EXPECT_FALSE(read(c.program, &error, 2000)) << c.program.toStdString();
        for (const QString& part : c.messageHolds)
            EXPECT_TRUE(error.contains(part))
                << error.toStdString() << " lacks " << part.toStdString();
        EXPECT_LT(clock.elapsed(), 30000);
        EXPECT_EQ(ProgramRunner::runningCount(), 0);
    }
    // None on PATH either.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", folder.toUtf8());
    QString error;
    EXPECT_FALSE(read(QString(), &error));
    qputenv("PATH", path);
    EXPECT_TRUE(error.contains(QLatin1String("yt-dlp was not found"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String("sudo apt install yt-dlp"))) << error.toStdString();
}

} // namespace
} // namespace mirelo
