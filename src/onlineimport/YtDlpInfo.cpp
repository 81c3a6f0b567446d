#include "onlineimport/YtDlpInfo.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <functional>
#include <tuple>

namespace mirelo {

namespace {

constexpr int kHdLowLines = 720;

QString text(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isString())
        return v.toString();
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 15);
    return {};
}

QString firstText(const QJsonObject& o, std::initializer_list<const char*> keys) {
    for (const char* key : keys)
        if (const QString t = text(o, key); !t.isEmpty())
            return t;
    return {};
}

// "20100303" as the classic page showed dates: "March 3, 2010".
QString publishedDate(const QString& uploadDate) {
    const QDate date = QDate::fromString(uploadDate, QStringLiteral("yyyyMMdd"));
    return date.isValid() ? QLocale::c().toString(date, QStringLiteral("MMMM d, yyyy"))
                          : uploadDate;
}

// Whole seconds, as the classic page gave them; nothing when unknown or absurd.
QString lengthSeconds(const QJsonValue& duration) {
    const double seconds = duration.toDouble(-1);
    if (!duration.isDouble() || !(seconds >= 0) || seconds > 1e9)
        return {};
    return QString::number(qRound64(seconds));
}

// The average rating where the site gives one, else its like count.
QString rating(const QJsonObject& o) {
    const QJsonValue average = o.value(QLatin1String("average_rating"));
    if (average.isDouble())
        return QString::number(average.toDouble(), 'g', 3);
    const QJsonValue likes = o.value(QLatin1String("like_count"));
    if (likes.isDouble())
        return QString::number(qint64(likes.toDouble())) + QStringLiteral(" likes");
    return {};
}

QString category(const QJsonObject& o) {
    QStringList names;
    for (const QJsonValue& v : o.value(QLatin1String("categories")).toArray())
        if (v.isString())
            names += v.toString();
    return names.join(QStringLiteral(", "));
}

QString thumbnail(const QJsonObject& o) {
    QString url = text(o, "thumbnail");
    if (url.isEmpty()) {
        const QJsonArray all = o.value(QLatin1String("thumbnails")).toArray();
        if (!all.isEmpty())
            url = text(all.last().toObject(), "url");
    }
    return url.startsWith(QLatin1String("http://")) || url.startsWith(QLatin1String("https://"))
               ? url
               : QString();
}

// "none" is yt-dlp's word for an absent stream; a missing or null codec is unknown.
bool present(const QJsonObject& format, const char* codecKey) {
    return format.value(QLatin1String(codecKey)).toString() != QLatin1String("none");
}

std::optional<YtDlpFormat> readFormat(const QJsonObject& f, int rank) {
    YtDlpFormat format;
    format.url = text(f, "url");
    if (format.url.isEmpty())
        return std::nullopt;
    format.id = text(f, "format_id");
    if (format.id.isEmpty())
        format.id = QString::number(rank);
    format.ext = text(f, "ext");
    if (format.ext.isEmpty())
        format.ext = QStringLiteral("mp4"); // yt-dlp always names one; a file needs one

    format.hasVideo = present(f, "vcodec");
    format.hasAudio = present(f, "acodec");
    const QJsonValue height = f.value(QLatin1String("height"));
    format.height = height.isDouble() && height.toDouble() > 0 ? int(height.toDouble()) : -1;
    for (const char* key : {"filesize", "filesize_approx"}) {
        const QJsonValue size = f.value(QLatin1String(key));
        if (size.isDouble() && size.toDouble() > 0) {
            format.size = qint64(size.toDouble());
            break;
        }
    }
    format.rank = rank;
    return format;
}

QList<YtDlpFormat> readFormats(const QJsonObject& video) {
    const QJsonValue list = video.value(QLatin1String("formats"));
    QList<YtDlpFormat> formats;
    if (!list.isArray()) {
        // A single-format video carries its address at the top.
        if (const auto only = readFormat(video, 0))
            formats += *only;
        return formats;
    }
    int rank = 0;
    for (const QJsonValue& v : list.toArray())
        if (const auto format = readFormat(v.toObject(), rank++))
            formats += *format;
    return formats;
}

using Fits = std::function<bool(const YtDlpFormat&)>;

bool fitsHdLow(const YtDlpFormat& f) {
    return f.height < 0 || f.height <= kHdLowLines;
}

const YtDlpFormat* bestOf(const QList<YtDlpFormat>& formats, const Fits& fits) {
    const YtDlpFormat* best = nullptr;
    for (const YtDlpFormat& f : formats)
        if (fits(f) && (!best || f.rank > best->rank))
            best = &f;
    return best;
}

bool combined(const YtDlpFormat& f) {
    return f.hasVideo && f.hasAudio;
}

// The container yt-dlp merges a pair into.
QString mergedExt(const YtDlpFormat& video, const YtDlpFormat& audio) {
    const QString a = audio.ext;
    if (video.ext == QLatin1String("mp4") &&
        (a == QLatin1String("m4a") || a == QLatin1String("mp4")))
        return QStringLiteral("mp4");
    if (video.ext == QLatin1String("webm") &&
        (a == QLatin1String("webm") || a == QLatin1String("weba")))
        return QStringLiteral("webm");
    return QStringLiteral("mkv");
}

// The best format that `fits`: a video with its audio, or, when a video-only format of more
// lines fits, that one with the best audio-only format `audioFits`.
std::optional<YtDlpChoice> best(const QList<YtDlpFormat>& formats, const Fits& fits,
                                const Fits& audioFits) {
    const YtDlpFormat* whole =
        bestOf(formats, [&](const YtDlpFormat& f) { return combined(f) && fits(f); });
    const YtDlpFormat* video =
        bestOf(formats, [&](const YtDlpFormat& f) { return f.hasVideo && !f.hasAudio && fits(f); });
    const YtDlpFormat* audio = bestOf(
        formats, [&](const YtDlpFormat& f) { return !f.hasVideo && f.hasAudio && audioFits(f); });
    const bool pairIsBetter =
        video && audio && (!whole || (whole->height >= 0 && video->height > whole->height));
    if (pairIsBetter)
        return YtDlpChoice{{*video, *audio}, mergedExt(*video, *audio)};
    if (whole)
        return YtDlpChoice{{*whole}, whole->ext};
    return std::nullopt;
}

// Unknown heights and sizes sort after known ones; yt-dlp's own order settles the rest.
std::optional<YtDlpChoice> smallest(const QList<YtDlpFormat>& formats) {
    const YtDlpFormat* small = nullptr;
    const auto key = [](const YtDlpFormat& f) {
        return std::tuple(f.height < 0 ? INT_MAX : f.height, f.size < 0 ? LLONG_MAX : f.size,
                          f.rank);
    };
    for (const YtDlpFormat& f : formats)
        if (combined(f) && (!small || key(f) < key(*small)))
            small = &f;
    if (!small)
        return std::nullopt;
    return YtDlpChoice{{*small}, small->ext};
}

} // namespace

QString YtDlpChoice::formatSelector() const {
    QStringList ids;
    for (const YtDlpFormat& f : parts)
        ids += f.id;
    return ids.join(QLatin1Char('+'));
}

std::optional<YtDlpPage> parseYtDlpJson(const QByteArray& json, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        *error = QStringLiteral("yt-dlp gave no readable description of the video (%1)")
                     .arg(parseError.error != QJsonParseError::NoError
                              ? parseError.errorString()
                              : QStringLiteral("not a JSON object"));
        return std::nullopt;
    }
    QJsonObject video = document.object();
    YtDlpPage page;
    page.version = text(video.value(QLatin1String("_version")).toObject(), "version");
    if (text(video, "_type") == QLatin1String("playlist")) {
        video = video.value(QLatin1String("entries")).toArray().at(0).toObject();
        if (video.isEmpty()) {
            *error = QStringLiteral("the address is a playlist without videos");
            return std::nullopt;
        }
    }
    WatchPageInfo& info = page.info;
    info.videoId = text(video, "id");
    info.title = text(video, "title");
    info.author = firstText(video, {"uploader", "channel", "creator"});
    info.published = publishedDate(text(video, "upload_date"));
    info.category = category(video);
    info.description = text(video, "description");
    info.thumbnailUrl = thumbnail(video);
    info.lengthSeconds = lengthSeconds(video.value(QLatin1String("duration")));
    info.rating = rating(video);
    page.pageUrl = firstText(video, {"webpage_url", "original_url"});
    page.formats = readFormats(video);
    return page;
}

QMap<int, YtDlpChoice> chooseYtDlpFormats(const QList<YtDlpFormat>& formats) {
    const auto any = [](const YtDlpFormat&) { return true; };
    const auto mp4 = [](const YtDlpFormat& f) {
        return f.ext == QLatin1String("mp4") && fitsHdLow(f);
    };
    const auto mp4Audio = [](const YtDlpFormat& f) {
        return f.ext == QLatin1String("m4a") || f.ext == QLatin1String("mp4");
    };
    QMap<int, YtDlpChoice> chosen;
    const auto put = [&chosen](int code, std::optional<YtDlpChoice> choice) {
        if (choice)
            chosen.insert(code, *choice);
    };
    put(22, best(formats, mp4, mp4Audio));
    put(34, best(formats, fitsHdLow, any));
    put(35, best(formats, any, any));
    put(5, smallest(formats));
    return chosen;
}

} // namespace mirelo
