#pragma once

#include "onlineimport/WatchPage.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace mirelo {

// One format yt-dlp offers for a video, as much of it as the import needs. yt-dlp lists formats
// from worst to best; `rank` keeps that place.
struct YtDlpFormat {
    QString id;
    QString url;
    QString ext;
    // Unknown codecs count as present: yt-dlp's generic extractor knows nothing of an HTML5
    // <video> source but that it plays.
    bool hasVideo = true;
    bool hasAudio = true;
    int height = -1;  // -1: unknown
    qint64 size = -1; // bytes, exact or approximate; -1: unknown
    int rank = 0;
};

// What one stream button fetches: one format, or a video-only and an audio-only format that
// yt-dlp merges with FFmpeg.
struct YtDlpChoice {
    QList<YtDlpFormat> parts;
    QString ext; // of the saved file

    // yt-dlp's -f argument: "ID" or "VIDEO+AUDIO".
    QString formatSelector() const;
    // The address the preview plays: the single format's, or the video part's.
    QString previewUrl() const { return parts.isEmpty() ? QString() : parts.first().url; }
};

// A page as yt-dlp read it.
struct YtDlpPage {
    WatchPageInfo info;
    QList<YtDlpFormat> formats;
    QString version; // of the yt-dlp that read it; empty when it did not say
    QString pageUrl;
};

// Reads yt-dlp's -J output. A playlist gives its first video. nullopt, with the reason in
// *error, for anything that is not a video's JSON.
std::optional<YtDlpPage> parseYtDlpJson(const QByteArray& json, QString* error);

// The format each stream button fetches, by the button's format code (22, 34, 35, 5); a button
// nothing fits for is absent.
//   22 "Get MP4": the best MP4 with video and audio up to 720 lines;
//   34 "Get HD Low": the best up to 720 lines in any container;
//   35 "Get HD High": the best there is;
//   5 "Get FLV": the smallest with video and audio.
// A format of unknown height fits every limit.
QMap<int, YtDlpChoice> chooseYtDlpFormats(const QList<YtDlpFormat>& formats);

} // namespace mirelo
