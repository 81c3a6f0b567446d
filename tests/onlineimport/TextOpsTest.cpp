#include "onlineimport/TextOps.h"
#include "onlineimport/StreamLinks.h"
#include "onlineimport/Transfer.h"
#include "onlineimport/WatchPage.h"

#include "onlineimport/WatchPageFixture.h"

#include <QElapsedTimer>

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

TEST(URLDecodeLenient, KeepsBadEscapesAndSaysWhere) {
    struct Case {
        const char* text;
        const char* decoded;
        QList<qsizetype> badEscapes;
    } cases[] = {
        {"a%41b", "aAb", {}},
        {"%zz", "%zz", {0}},
        {"x%41%zzy%42", "xA%zzyB", {2}},
        {"%C3%A9%zz%C3%A9", "\u00e9%zz\u00e9", {1}}, // escapes on each side still make characters
        {"%4g,%g4", "%4g,%g4", {0, 4}},
        {"ok%", "ok", {}},
    };
    for (const Case& c : cases) {
        const LenientDecoding d = URLDecodeLenient(s(c.text));
        EXPECT_EQ(d.text, s(c.decoded)) << c.text;
        EXPECT_EQ(d.badEscapes, c.badEscapes) << c.text;
        EXPECT_EQ(URLDecode(s(c.text)).has_value(), c.badEscapes.isEmpty()) << c.text;
    }
}

TEST(LeftUtf8Bytes, NeverSplitsACharacter) {
    struct Case {
        const char* text;
        qsizetype maxBytes;
        const char* expected;
    } cases[] = {
        {"abcdef", 4, "abcd"},
        {"abc", 10, "abc"},
        {"\u00e9\u00e9", 3, "\u00e9"}, // 2 bytes each
        {"a\u20ac", 3, "a"},           // the euro sign takes 3
        {"a\U0001F600b", 4, "a"},      // a surrogate pair is 4 bytes, kept whole
        {"a\U0001F600b", 5, "a\U0001F600"},
        {"x", 0, ""},
    };
    for (const Case& c : cases) {
        const QString cut = leftUtf8Bytes(s(c.text), c.maxBytes);
        EXPECT_EQ(cut, s(c.expected)) << c.text << " " << c.maxBytes;
        EXPECT_LE(cut.toUtf8().size(), c.maxBytes);
    }
    // A lone surrogate is counted as the 3-byte character that replaces it.
    const QString lone = QString(QChar(0xD800)) + QStringLiteral("a");
    EXPECT_LE(leftUtf8Bytes(lone, 3).toUtf8().size(), 3);
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

TEST(ParseWatchPage, DecodingFailureEmptiesOnlyThatField) {
    WatchPageInfo info;
    info.thumbnailUrl = QStringLiteral("old thumb");
    info.lengthSeconds = QStringLiteral("old length");
    info.rating = QStringLiteral("old rating");
    QStringList warnings;
    EXPECT_FALSE(ParseWatchPage(QStringLiteral("VIDEO_TITLE': 'New', rv.2.thumbnailUrl\": "
                                               "\"bad%zz\", length_seconds\": \"5\", "
                                               "master-sprite ratingL ratingL-4%2E5\""),
                                info, &warnings));
    EXPECT_EQ(info.title, QStringLiteral("New"));
    EXPECT_EQ(info.thumbnailUrl, QString()); // never a previous page's picture
    EXPECT_EQ(info.lengthSeconds, QStringLiteral("5"));
    EXPECT_EQ(info.rating, QStringLiteral("4.5"));
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("thumbnailUrl")));
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("bad%zz")));
}

TEST(ParseWatchPage, MissingStartMarkerGivesAnEmptyField) {
    // Without its start marker a field would otherwise be a slice of the page.
    const QString page = QStringLiteral("<html>'VIDEO_ID': 'abc', 'x': 'y', \" >, </span></a>, "
                                        "\", \" rest</html>");
    WatchPageInfo info;
    info.title = QStringLiteral("previous title");
    QStringList warnings;
    EXPECT_TRUE(ParseWatchPage(page, info, &warnings));
    EXPECT_TRUE(warnings.isEmpty());
    EXPECT_EQ(info.videoId, QStringLiteral("abc"));
    for (QString WatchPageInfo::*field :
         {&WatchPageInfo::title, &WatchPageInfo::author, &WatchPageInfo::published,
          &WatchPageInfo::category, &WatchPageInfo::description, &WatchPageInfo::thumbnailUrl,
          &WatchPageInfo::lengthSeconds, &WatchPageInfo::rating})
        EXPECT_EQ(info.*field, QString()) << (info.*field).toStdString();
}

TEST(ReadStreamLinks, MapEntries) {
    struct Case {
        const char* map; // as decoded once
        QList<int> stored;
        QMap<int, QString> links;
        int warnings;
    } cases[] = {
        {"5|f,34|h", {5, 34}, {{5, "f"}, {34, "h"}}, 0},
        {"99|x,22|m", {22}, {{22, "m"}}, 0},
        {"22|a,22|b", {22, 22}, {{22, "b"}}, 0},
        {"022|m,35|x|y", {22, 35}, {{22, "m"}, {35, "x|y"}}, 0},
        // A bad entry is skipped; those after it still count.
        {"22|m,nobar,5|f", {22, 5}, {{22, "m"}, {5, "f"}}, 1},
        {"22|m,abc|z,5|f", {22, 5}, {{22, "m"}, {5, "f"}}, 1},
        {"abc|z,x,34|h", {34}, {{34, "h"}}, 2},
        {"22|m,,5|f,", {22, 5}, {{22, "m"}, {5, "f"}}, 0},
        {"", {}, {}, 0},
    };
    for (const Case& c : cases) {
        const QString page =
            QStringLiteral("\"fmt_url_map\": \"%1\"").arg(test::percentEncoded(s(c.map)));
        StreamLinks links;
        QStringList warnings;
        EXPECT_EQ(readStreamLinks(page, links, &warnings), c.stored) << c.map;
        EXPECT_EQ(links, c.links) << c.map;
        EXPECT_EQ(warnings.size(), c.warnings) << c.map << warnings.join('\n').toStdString();
    }
    // Slots are overwritten, never cleared, by a later page.
    StreamLinks links{{22, QStringLiteral("earlier")}};
    readStreamLinks(QStringLiteral("\"fmt_url_map\": \"5%7Cf\""), links);
    EXPECT_EQ(links.value(22), QStringLiteral("earlier"));
}

TEST(ReadStreamLinks, BadEscapeSkipsOnlyItsEntry) {
    // The map as the page carries it: escaped once; "%zz" sits in the second entry's link.
    const QString page = QStringLiteral(
        "\"fmt_url_map\": \"22%7Chttp%253A%252F%252Fa%2C35%7Chttp%zz%2C5%7Chttp%253A%252F%252Fc\"");
    StreamLinks links;
    QStringList warnings;
    EXPECT_EQ(readStreamLinks(page, links, &warnings), (QList<int>{22, 5}));
    EXPECT_EQ(links.value(22), QStringLiteral("http%3A%2F%2Fa"));
    EXPECT_EQ(links.value(5), QStringLiteral("http%3A%2F%2Fc"));
    EXPECT_FALSE(links.contains(35));
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("35|http%zz"))) << warnings[0].toStdString();

    // A huge bad entry is quoted short.
    const QString hugeMap = QStringLiteral("x").repeated(100000) + QStringLiteral("%2C5%7Cf");
    warnings.clear();
    EXPECT_EQ(
        readStreamLinks(QStringLiteral("\"fmt_url_map\": \"%1\"").arg(hugeMap), links, &warnings),
        QList<int>{5});
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_LT(warnings[0].size(), 200);
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
        // Leading dots would hide the file.
        {".bashrc", ".mp4", "bashrc.mp4"},
        {"...", ".mp4", "video.mp4"},
        {" . .x. y", ".flv", "x. y.flv"},
        {"../../etc", "", "etc"},
        {"v1.2 final", ".mp4", "v1.2 final.mp4"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(downloadFileName(s(c.title), s(c.suffix)), s(c.expected)) << c.title;
    const QString longName = downloadFileName(QStringLiteral("\u00e9").repeated(300), ".mp4");
    EXPECT_LE(longName.toUtf8().size(), 255);
    EXPECT_TRUE(longName.endsWith(QStringLiteral(".mp4")));
}

TEST(DownloadFileName, FallsBackToTheVideoId) {
    struct Case {
        const char* title;
        const char* fallback;
        const char* expected;
    } cases[] = {
        {"", "tEsT_42", "tEsT_42.mp4"},
        {"...", "tEsT_42", "tEsT_42.mp4"},
        {"Title", "tEsT_42", "Title.mp4"},
        {"", ".hidden", "hidden.mp4"},
        {"", "", "video.mp4"},
        {"//", "..", "video.mp4"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(downloadFileName(s(c.title), QStringLiteral(".mp4"), s(c.fallback)),
                  s(c.expected))
            << c.title << " / " << c.fallback;
}

TEST(DownloadFileName, HugeTitleIsCutQuickly) {
    // A title can be most of an 8 MB page; cutting it must not take time in its square.
    const QString huge = QStringLiteral("\u00e9x").repeated(2 * 1024 * 1024);
    QElapsedTimer timer;
    timer.start();
    const QString name = downloadFileName(huge, QStringLiteral("_Full_HD.flv"));
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_LE(name.toUtf8().size(), 255);
    EXPECT_GT(name.toUtf8().size(), 250);
    EXPECT_TRUE(name.endsWith(QStringLiteral("_Full_HD.flv")));
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
