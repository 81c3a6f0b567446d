#include "capture/Compressors.h"

#include <algorithm>
#include <array>

namespace mirelo {

namespace {

struct AviCodec {
    const char* encoder;
    const char* quality; // extra options for a sensible quality; blank separated
};

// Encoders whose streams an AVI file can hold (they have a RIFF four-character code).
constexpr std::array<AviCodec, 21> kAviCodecs = {{
    {"mpeg4", "-q:v 3"},      {"libxvid", "-q:v 3"},
    {"msmpeg4v2", "-q:v 3"},  {"msmpeg4", "-q:v 3"},
    {"wmv1", "-q:v 3"},       {"wmv2", "-q:v 3"},
    {"mjpeg", "-q:v 3"},      {"huffyuv", ""},
    {"ffvhuff", ""},          {"ffv1", ""},
    {"utvideo", ""},          {"magicyuv", ""},
    {"dvvideo", ""},          {"libx264", "-crf 20 -preset veryfast"},
    {"mpeg1video", "-q:v 3"}, {"mpeg2video", "-q:v 3"},
    {"h263p", "-q:v 3"},      {"cinepak", ""},
    {"msvideo1", ""},         {"zmbv", ""},
    {"rawvideo", ""},
}};

const AviCodec* aviCodec(const QString& encoder) {
    const auto it = std::find_if(kAviCodecs.begin(), kAviCodecs.end(), [&](const AviCodec& c) {
        return encoder == QLatin1String(c.encoder);
    });
    return it == kAviCodecs.end() ? nullptr : &*it;
}

} // namespace

QList<Compressor> aviCompressors(const QList<EncoderListing>& videoEncoders) {
    QList<Compressor> result;
    for (const EncoderListing& row : videoEncoders)
        if (row.isVideo() && aviCodec(row.name))
            result.append({row.name, row.description});
    return result;
}

std::optional<int> firstDivxCompressor(const QStringList& names) {
    for (int i = 0; i < names.size(); ++i)
        if (names[i].startsWith(QLatin1String("DivX"), Qt::CaseSensitive))
            return i;
    return std::nullopt;
}

QStringList videoCodecArguments(const Compressor* compressor) {
    const AviCodec* codec = compressor ? aviCodec(compressor->encoder) : nullptr;
    if (!codec)
        return {QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-vtag"),
                QStringLiteral("DIVX"), QStringLiteral("-q:v"),  QStringLiteral("3")};
    QStringList args{QStringLiteral("-c:v"), compressor->encoder};
    args += QString::fromLatin1(codec->quality).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return args;
}

} // namespace mirelo
