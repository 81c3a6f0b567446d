#include "convert/CodecNames.h"

#include <initializer_list>
#include <utility>

namespace mirelo {

namespace {

QString mapValue(const QString& value,
                 std::initializer_list<std::pair<const char*, const char*>> table) {
    for (const auto& [from, to] : table)
        if (value == QLatin1String(from))
            return QString::fromLatin1(to);
    return value;
}

} // namespace

QString encoderVideoCodec(const QString& v) {
    return mapValue(v, {{"xvid", "libxvid"},
                        {"x264", "libx264"},
                        {"mpeg4", "mpeg4"},
                        {"WMV V9", "wmv2"},
                        {"WMV V8", "wmv2"},
                        {"mjpeg", "mjpeg"},
                        {"h263", "h263"},
                        {"mpeg1", "mpeg1video"},
                        {"mpeg2", "mpeg2video"}});
}

QString encoderAudioCodec(const QString& v) {
    return mapValue(v, {{"aac", "libfaac"},
                        {"mp3", "libmp3lame"},
                        {"WMA9", "wmav2"},
                        {"WMA8", "wmav2"},
                        {"pcm", "pcm_s16le"},
                        {"amr_nb", "libamr_nb"},
                        {"faac", "libfaac"},
                        {"ac3", "ac3"},
                        {"ogg", "vorbis"},
                        {"wav", "pcm_s16le"},
                        {"WMA", "wmav2"},
                        {"mp2", "mp2"}});
}

namespace {

struct ModernCodec {
    const char* sheetName;
    const char* encoder;
    bool usesBitrate; // lossless and copied audio have none
};

// clang-format off
const ModernCodec kModernVideoCodecs[] = {
    {"x265", "libx265",    true},
    {"av1",  "libsvtav1",  true},
    {"vp9",  "libvpx-vp9", true},
    {"x264", "libx264",    true},
};
const ModernCodec kModernAudioCodecs[] = {
    {"aac",  "aac",     true},
    {"opus", "libopus", true},
    {"flac", "flac",    false},
    {"alac", "alac",    false},
    {"copy", "copy",    false},
};
// clang-format on

template <size_t N>
const ModernCodec* findCodec(const ModernCodec (&table)[N], const QString& sheetValue) {
    for (const ModernCodec& c : table)
        if (sheetValue == QLatin1String(c.sheetName))
            return &c;
    return nullptr;
}

} // namespace

QString modernVideoEncoder(const QString& sheetValue) {
    const ModernCodec* c = findCodec(kModernVideoCodecs, sheetValue);
    return c ? QString::fromLatin1(c->encoder) : sheetValue;
}

QString modernAudioEncoder(const QString& sheetValue) {
    const ModernCodec* c = findCodec(kModernAudioCodecs, sheetValue);
    return c ? QString::fromLatin1(c->encoder) : sheetValue;
}

bool audioUsesBitrate(const QString& sheetValue) {
    const ModernCodec* c = findCodec(kModernAudioCodecs, sheetValue);
    return !c || c->usesBitrate;
}

} // namespace mirelo
