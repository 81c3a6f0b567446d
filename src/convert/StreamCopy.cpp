#include "convert/StreamCopy.h"

#include "convert/SourceStreams.h"
#include "profiles/Catalog.h"

#include <QStringList>

namespace mirelo {

namespace {

struct Container {
    const char* extension;
    const char* format; // the muxer, for the extracted audio
    bool holdsAnything; // Matroska takes every codec the encoder knows
    QStringList codecs; // what the others take
};

// clang-format off
const Container kContainers[] = {
    {".mkv", "matroska", true, {}},
    {".mka", "matroska", true, {}},
    {".mp4", "mp4", false, {"h264", "hevc", "mpeg4", "av1", "vp9", "mpeg2video", "mpeg1video",
                            "aac", "mp3", "ac3", "eac3", "alac", "flac", "opus", "mp2", "mov_text"}},
    {".m4a", "mp4", false, {"aac"}},
};
// clang-format on

const Container* containerFor(const QString& extension) {
    for (const Container& c : kContainers)
        if (extension == QLatin1String(c.extension))
            return &c;
    return nullptr;
}

bool holds(const Container& c, const SourceStream& s) {
    return c.holdsAnything || c.codecs.contains(s.codec);
}

QString mapOf(const SourceStream& s) {
    return QStringLiteral(" -map 0:%1").arg(s.index);
}

CopySelection allStreams(const CatalogRow& row, const SourceStreams* streams) {
    const QString extension = outputExtension(row);
    const Container* container = containerFor(extension);
    if (!streams) {
        const bool subtitles = container && container->holdsAnything;
        return {subtitles ? QStringLiteral(" -map 0:v? -map 0:a? -map 0:s?")
                          : QStringLiteral(" -map 0:v? -map 0:a?"),
                extension,
                {}};
    }
    QString options;
    bool hevc = false;
    for (const SourceStream& s : streams->streams) {
        // A cover picture is no stream a player plays; data streams have no place to go.
        if (s.isCoverPicture || s.kind == StreamKind::Other || !container || !holds(*container, s))
            continue;
        options += mapOf(s);
        hevc = hevc || s.codec == QLatin1String("hevc");
    }
    if (options.isEmpty())
        return {{},
                extension,
                QStringLiteral("No stream of the source fits a %1 file without re-encoding.")
                    .arg(extension)};
    // Apple players take HEVC in MP4 only under this tag.
    if (hevc && extension == QLatin1String(".mp4"))
        options += QStringLiteral(" -tag:v hvc1");
    return {options, extension, {}};
}

CopySelection audioStream(const SourceStreams* streams) {
    const SourceStream* audio = streams ? streams->chosenAudio() : nullptr;
    if (streams && !audio)
        return {{}, {}, QStringLiteral("This file has no audio stream.")};
    const Container* m4a = containerFor(QStringLiteral(".m4a"));
    const Container* c = audio && holds(*m4a, *audio) ? m4a : containerFor(QStringLiteral(".mka"));
    const QString map = audio ? mapOf(*audio) : QStringLiteral(" -map 0:a:0");
    return {
        map + QStringLiteral(" -f ") + QLatin1String(c->format), QLatin1String(c->extension), {}};
}

} // namespace

CopySelection copySelection(const CatalogRow& row, const SourceStreams* streams) {
    if (row.layout == CommandLayout::ExtractAudio)
        return audioStream(streams);
    return allStreams(row, streams);
}

} // namespace mirelo
