#include "onlineimport/TextOps.h"
#include "onlineimport/StreamLinks.h"
#include "onlineimport/Transfer.h"
#include "onlineimport/WatchPage.h"

#include "onlineimport/WatchPageFixture.h"

#include <gtest/gtest.h>

namespace mirelo {
namespace {

QString s(const char* utf8) {
    return QString::fromUtf8(utf8);
}

TEST(TextBetween, MarkerCases) {
    struct Case {
        const char* text;
        const char* start;
        const char* end;
        const char* expected;
    } cases[] = {
        {"xx<b>bold</b>yy", "<b>", "</b>", "bold"},
        {"<b>first</b><b>second</b>", "<b>", "</b>", "first"},
        {"<b>no end here", "<b>", "</b>", ""},
        {"end</b> before <b>start", "<b>", "</b>", ""},
        // A missing start marker starts the search at position length(start) (1-based).
        {"abcdefgh|", "QQQQ", "|", "defgh"},
        {"ab", "QQQQ", "|", ""},
        {"<b></b>", "<b>", "</b>", ""},
        {"a<b>c", "a", "<b>", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextBetween(s(c.text), s(c.start), s(c.end)), s(c.expected)) << c.text;
}

TEST(URLDecode, DecodesAndFails) {
    struct Case {
        const char* text;
        std::optional<const char*> expected;
    } cases[] = {
        {"a+b%2Cc", "a b,c"},
        {"x%41", "xA"},
        {"x%4a%4A", "xJJ"},
        {"100%", "100"},
        {"%4", "4"},
        {"%", ""},
        {"%C3%A9t%C3%A9", "\u00e9t\u00e9"},   // UTF-8 escapes make one character each
        {"caf%E9", "caf\u00e9"},              // not UTF-8: read byte by byte
        {"\u00e9%20\u00e8", "\u00e9 \u00e8"}, // literal characters kept as they are
        {"%E2%82%AC%41", "\u20acA"},
        {"%zz", std::nullopt},
        {"ok%4zrest", std::nullopt},
        {"%+4", std::nullopt}, // "+" is a blank by then
    };
    for (const Case& c : cases) {
        const std::optional<QString> decoded = URLDecode(s(c.text));
        ASSERT_EQ(decoded.has_value(), c.expected.has_value()) << c.text;
        if (decoded) {
            EXPECT_EQ(*decoded, s(*c.expected)) << c.text;
        }
    }
    // No length limit: a long text decodes whole.
    const QString longText = QStringLiteral("%41").repeated(40000);
    EXPECT_EQ(URLDecode(longText).value_or(QString()).size(), 40000);
}

TEST(RegexFirstGroup, FirstMatchFirstGroup) {
    const QString pattern = QStringLiteral("\"fmt_url_map\": \"([^\"]+)");
    EXPECT_EQ(RegexFirstGroup(QStringLiteral("{\"fmt_url_map\": \"a%2Cb\", \"fmt_url_map\": "
                                             "\"second\"}"),
                              pattern),
              QStringLiteral("a%2Cb"));
    EXPECT_EQ(RegexFirstGroup(QStringLiteral("\"FMT_URL_MAP\": \"a\""), pattern), QString());
    EXPECT_EQ(RegexFirstGroup(QStringLiteral("\"fmt_url_map\": \"\""), pattern), QString());
    EXPECT_EQ(RegexFirstGroup(QStringLiteral("anything"), QStringLiteral("(unclosed")), QString());
}

TEST(ParseWatchPage, ReadsEveryFieldOfThePage) {
    WatchPageInfo info;
    const QString page = test::watchPage(QStringLiteral("http://127.0.0.1:1/t.jpg"), QString());
    ASSERT_TRUE(ParseWatchPage(page, info));
    EXPECT_EQ(info.title, s(test::kPageTitle));
    EXPECT_EQ(info.author, QStringLiteral("mirelo_tests"));
    EXPECT_EQ(info.videoId, QStringLiteral("tEsT_42"));
    EXPECT_EQ(info.published, QStringLiteral("March 3, 2010"));
    EXPECT_EQ(info.category, QStringLiteral("Music"));
    EXPECT_EQ(info.description, QStringLiteral("A test description."));
    EXPECT_EQ(info.thumbnailUrl, QStringLiteral("http://127.0.0.1:1/t.jpg"));
    EXPECT_EQ(info.lengthSeconds, QStringLiteral("213"));
    EXPECT_EQ(info.rating, QStringLiteral("4.5"));
}

TEST(ParseWatchPage, FieldEdgeCases) {
    struct Case {
        const char* page;
        QString WatchPageInfo::*field;
        const char* expected;
    } cases[] = {
        {"VIDEO_TITLE': 'A/B (live): x', ", &WatchPageInfo::title, "AB live x"},
        {"VIDEO_TITLE': 'It\\'s', ", &WatchPageInfo::title, "Its"},
        {"VIDEO_TITLE': 'never closed", &WatchPageInfo::title, ""},
        {"watch-video-desc description\">0123456789</span>", &WatchPageInfo::description, "6789"},
        {"watch-video-desc description\">ab<span >cd</span>", &WatchPageInfo::description, "cd"},
        {"length_seconds\": \"1%32\",", &WatchPageInfo::lengthSeconds, "12"},
        {"master-sprite ratingL ratingL-3.5\"", &WatchPageInfo::rating, "3.5"},
    };
    for (const Case& c : cases) {
        WatchPageInfo info;
        ParseWatchPage(s(c.page), info);
        EXPECT_EQ(info.*c.field, s(c.expected)) << c.page;
    }
}

TEST(ParseWatchPage, DecodingFailureKeepsTheLaterFields) {
    WatchPageInfo info;
    info.thumbnailUrl = QStringLiteral("old thumb");
    info.lengthSeconds = QStringLiteral("old length");
    info.rating = QStringLiteral("old rating");
    QString error;
    EXPECT_FALSE(ParseWatchPage(QStringLiteral("VIDEO_TITLE': 'New', rv.2.thumbnailUrl\": "
                                               "\"bad%zz\", length_seconds\": \"5\","),
                                info, &error));
    EXPECT_EQ(info.title, QStringLiteral("New"));
    EXPECT_EQ(info.thumbnailUrl, QStringLiteral("old thumb"));
    EXPECT_EQ(info.lengthSeconds, QStringLiteral("old length"));
    EXPECT_EQ(info.rating, QStringLiteral("old rating"));
    EXPECT_TRUE(error.contains(QStringLiteral("thumbnailUrl")));
}

TEST(ReadStreamLinks, MapEntries) {
    struct Case {
        const char* map; // as decoded once
        QList<int> stored;
        QMap<int, QString> links;
        bool stoppedEarly;
    } cases[] = {
        {"5|f,34|h", {5, 34}, {{5, "f"}, {34, "h"}}, false},
        {"99|x,22|m", {22}, {{22, "m"}}, false},
        {"22|a,22|b", {22, 22}, {{22, "b"}}, false},
        {"022|m,35|x|y", {22, 35}, {{22, "m"}, {35, "x|y"}}, false},
        {"22|m,nobar,5|f", {22}, {{22, "m"}}, true},
        {"22|m,abc|z,5|f", {22}, {{22, "m"}}, true},
        {"", {}, {}, false},
    };
    for (const Case& c : cases) {
        const QString page =
            QStringLiteral("\"fmt_url_map\": \"%1\"").arg(test::percentEncoded(s(c.map)));
        StreamLinks links;
        QString error;
        EXPECT_EQ(readStreamLinks(page, links, &error), c.stored) << c.map;
        EXPECT_EQ(links, c.links) << c.map;
        EXPECT_EQ(!error.isEmpty(), c.stoppedEarly) << c.map;
    }
    // Slots are overwritten, never cleared, by a later page.
    StreamLinks links{{22, QStringLiteral("earlier")}};
    readStreamLinks(QStringLiteral("\"fmt_url_map\": \"5%7Cf\""), links);
    EXPECT_EQ(links.value(22), QStringLiteral("earlier"));
}

TEST(DownloadFileName, SafeNames) {
    struct Case {
        const char* title;
        const char* suffix;
        const char* expected;
    } cases[] = {
        {"My Clip", ".mp4", "My Clip.mp4"},
        {"a/b\\c", ".flv", "abc.flv"},
        {"tab\there\nnew", "_HD.flv", "tabherenew_HD.flv"},
        {"what? <yes> | no * \"q\"", ".mp4", "what yes  no  q.mp4"},
        {"", ".mp4", "video.mp4"},
        {".", ".flv", "video.flv"},
        {"..", "", "video"},
        {"/", "", "video"},
        {"\u00e9t\u00e9", ".mp4", "\u00e9t\u00e9.mp4"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(downloadFileName(s(c.title), s(c.suffix)), s(c.expected)) << c.title;
    const QString longName = downloadFileName(QStringLiteral("\u00e9").repeated(300), ".mp4");
    EXPECT_LE(longName.toUtf8().size(), 255);
    EXPECT_TRUE(longName.endsWith(QStringLiteral(".mp4")));
}

TEST(DownloadPercent, RoundsHalvesToEven) {
    struct Case {
        qint64 done, total;
        int expected;
    } cases[] = {
        {1024, 2500, 41}, {2048, 2500, 82}, {2500, 2500, 100}, {1, 8, 12},
        {3, 8, 38},       {5, 8, 62},       {0, 10, 0},        {3000000000LL, 6000000000LL, 50},
    };
    for (const Case& c : cases)
        EXPECT_EQ(downloadPercent(c.done, c.total), c.expected) << c.done << "/" << c.total;
}

TEST(TransferStatusText, StatesAndFailure) {
    EXPECT_EQ(transferStatusText(1, 0, {}), QStringLiteral("Looking up IP address"));
    EXPECT_EQ(transferStatusText(7, 0, {}), QStringLiteral("Receiving Response.."));
    EXPECT_EQ(transferStatusText(10, 0, {}), QStringLiteral("Disconnected."));
    EXPECT_EQ(transferStatusText(11, 404, QStringLiteral("Not Found")),
              QStringLiteral("Error 404 Not Found"));
    EXPECT_EQ(transferStatusText(12, 0, {}), std::nullopt);
}

} // namespace
} // namespace mirelo
