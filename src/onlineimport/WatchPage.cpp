#include "onlineimport/WatchPage.h"

#include "onlineimport/StreamLinks.h"
#include "onlineimport/TextOps.h"

#include <QRegularExpression>

namespace mirelo {

namespace {

enum class Finish { None, CleanTitle, AfterSpan, Decode };

struct FieldRule {
    QString WatchPageInfo::*field;
    const char* name;
    const char* startMarker;
    const char* endMarker;
    Finish finish;
};

// The page's fields by their markers, in the order they are read.
const FieldRule kFieldRules[] = {
    {&WatchPageInfo::title, "title", "VIDEO_TITLE': '", "',", Finish::CleanTitle},
    {&WatchPageInfo::author, "author", "data-discoverbox-username=\"", "\" >", Finish::None},
    {&WatchPageInfo::videoId, "videoId", "'VIDEO_ID': '", "'", Finish::None},
    {&WatchPageInfo::published, "published", "watch-video-added post-date\">", "</span>",
     Finish::None},
    {&WatchPageInfo::category, "category", "VideoCategoryLink');\">", "</a>", Finish::None},
    {&WatchPageInfo::description, "description", "watch-video-desc description\">", "</span>",
     Finish::AfterSpan},
    {&WatchPageInfo::thumbnailUrl, "thumbnailUrl", "rv.2.thumbnailUrl\": \"", "\",",
     Finish::Decode},
    {&WatchPageInfo::lengthSeconds, "lengthSeconds", "length_seconds\": \"", "\",", Finish::Decode},
    {&WatchPageInfo::rating, "rating", "master-sprite ratingL ratingL-", "\"", Finish::Decode},
};

QString cleanTitle(QString title) {
    static const QRegularExpression removed(QStringLiteral("[/\\\\':()]"));
    return title.remove(removed);
}

// The description proper starts after the first "<span >"; without one, six characters are
// skipped, as the page layout it was written for always had them.
QString afterSpan(const QString& raw) {
    const QString span = QStringLiteral("<span >");
    return raw.mid(raw.indexOf(span) + span.size());
}

} // namespace

bool isClassicWatchPage(const QString& page) {
    return page.contains(QLatin1String(kFieldRules[0].startMarker)) ||
           !GetStreamMap(page).isEmpty();
}

bool ParseWatchPage(const QString& page, WatchPageInfo& info, QStringList* warnings) {
    bool allDecoded = true;
    for (const FieldRule& rule : kFieldRules) {
        const QLatin1String start(rule.startMarker);
        QString value = page.contains(start)
                            ? TextBetween(page, start, QLatin1String(rule.endMarker))
                            : QString();
        switch (rule.finish) {
        case Finish::None:
            break;
        case Finish::CleanTitle:
            value = cleanTitle(value);
            break;
        case Finish::AfterSpan:
            value = afterSpan(value);
            break;
        case Finish::Decode:
            if (const std::optional<QString> decoded = URLDecode(value)) {
                value = *decoded;
                break;
            }
            allDecoded = false;
            if (warnings)
                *warnings += QStringLiteral("the page's %1 has a bad %-escape (\"%2\"); it is "
                                            "left empty")
                                 .arg(QLatin1String(rule.name), elidedText(value));
            value.clear();
            break;
        }
        info.*rule.field = value;
    }
    return allDecoded;
}

} // namespace mirelo
