#pragma once

// A watch page written for the tests, in the layout the page parser reads, with its stream map
// pointing at the test server.

#include <QString>
#include <QUrl>

#include <initializer_list>
#include <utility>

namespace mirelo::test {

inline QString percentEncoded(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// The stream map as a page carries it: "CODE|LINK" entries, each link escaped once more.
inline QString streamMap(std::initializer_list<std::pair<int, QString>> streams) {
    QStringList entries;
    for (const auto& [code, url] : streams)
        entries += QString::number(code) + QLatin1Char('|') + percentEncoded(url);
    return percentEncoded(entries.join(QLatin1Char(',')));
}

inline QString watchPage(const QString& thumbnailUrl, const QString& map) {
    return QStringLiteral(
               "<html><head><script>\n"
               "var swfArgs = {\"fmt_url_map\": \"%1\", \"length_seconds\": \"213\", "
               "\"rv.2.thumbnailUrl\": \"%2\", \"t\": \"x\"};\n"
               "'VIDEO_ID': 'tEsT_42',\n"
               "'VIDEO_TITLE': 'Caf\u00e9 (Live): Night/Day',\n"
               "</script></head><body>\n"
               "<a href=\"/user/x\" data-discoverbox-username=\"mirelo_tests\" >mirelo_tests</a>\n"
               "<span class=\"watch-video-added post-date\">March 3, 2010</span>\n"
               "<a onclick=\"_trackEvent('VideoCategoryLink');\">Music</a>\n"
               "<span class=\"watch-video-desc description\"><span >A test description.</span>\n"
               "<div class=\"master-sprite ratingL ratingL-4.5\" title=\"4.5\"></div>\n"
               "</body></html>\n")
        .arg(map, percentEncoded(thumbnailUrl));
}

// The fields the parser reads from watchPage().
inline const char* const kPageTitle = "Caf\u00e9 Live NightDay";

} // namespace mirelo::test
