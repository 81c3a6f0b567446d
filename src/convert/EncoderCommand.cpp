#include "convert/EncoderCommand.h"

#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "profiles/SheetNames.h"

#include <initializer_list>
#include <utility>

namespace mirelo {

void EncoderCommand::addText(const QString& text) {
    m_pieces.push_back({Kind::Text, text});
}

void EncoderCommand::addValue(const QString& value) {
    m_pieces.push_back({Kind::Value, value});
}

void EncoderCommand::addQuotedPath(const QString& path) {
    m_pieces.push_back({Kind::Path, path});
}

QString EncoderCommand::text() const {
    QString out;
    for (const Piece& p : m_pieces)
        out += p.kind == Kind::Path ? QLatin1Char('"') + p.text + QLatin1Char('"') : p.text;
    return out;
}

QStringList EncoderCommand::arguments() const {
    QStringList args;
    QString current;
    bool open = false; // an argument is being built, possibly still empty (an empty value)
    auto close = [&] {
        if (open)
            args += current;
        current.clear();
        open = false;
    };
    for (size_t i = 1; i < m_pieces.size(); ++i) {
        const Piece& p = m_pieces[i];
        switch (p.kind) {
        case Kind::Path:
            close();
            args += p.text;
            break;
        case Kind::Value: // glued to the text around it ("768" "k"), never split
            current += p.text;
            open = true;
            break;
        case Kind::Text:
            for (const QChar c : p.text) {
                if (c == QLatin1Char(' ')) {
                    close();
                } else {
                    current += c;
                    open = true;
                }
            }
            break;
        }
    }
    close();
    return args;
}

QString EncoderCommand::program() const {
    return m_pieces.empty() ? QString() : m_pieces.front().text;
}

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

std::optional<EncoderRequest> gatherEncoderRequest(const OptionSheet& sheet, ProfileId profile,
                                                   const QString& encoderPath,
                                                   const QString& inputPath,
                                                   const QString& outputPath, int clipStartSeconds,
                                                   int clipEndSeconds, QString* error) {
    using namespace sheet;
    EncoderRequest r;
    r.encoderPath = encoderPath;
    r.inputPath = inputPath;
    r.outputPath = outputPath;
    r.position = profile;
    r.videoCodec = sheet.value(kVideoOptions, kVideoCodec);
    r.videoSize = sheet.value(kVideoOptions, kVideoSize);
    r.videoBitrate = sheet.value(kVideoOptions, kVideoBitrate);
    r.videoFramerate = sheet.value(kVideoOptions, kVideoFramerate);
    r.audioCodec = sheet.value(kAudioOptions, kAudioCodec);
    r.disableAudio = sheet.value(kAudioOptions, kDisableAudio);
    r.sampleRate = sheet.value(kAudioOptions, kSampleRate);
    if (const QString invalid = sheetValueError(sheet); !invalid.isEmpty()) {
        if (error)
            *error = invalid;
        return std::nullopt;
    }
    for (auto [name, target] : {std::pair{kAudioBitrate, &r.audioBitrate},
                                std::pair{kAudioChannel, &r.audioChannel}}) {
        const QString text = sheet.value(kAudioOptions, name);
        const std::optional<int> n = toInteger16(text);
        if (!n) {
            if (error)
                *error = QStringLiteral("The option \"%1\" must be a number, not \"%2\".")
                             .arg(QLatin1String(name), text);
            return std::nullopt;
        }
        *target = *n;
    }
    r.clipStartSeconds = clipStartSeconds;
    r.clipDurationSeconds = clipEndSeconds - clipStartSeconds;
    return r;
}

namespace {

// The pieces a layout is made of: fixed text, or one of the request's values.
enum class Slot {
    Text,
    RowFragment,
    VideoCodec,
    AudioBitrate,
    AudioChannel,
    SampleRate,
    VideoBitrate,
    Framerate,
    ClipStart,
    ClipDuration,
    VideoSize,
    AudioCodec,
    NoAudio,
    Output,
};

struct Token {
    Slot slot;
    const char* text = nullptr;
};

using Layout = std::initializer_list<Token>;
constexpr Token T(const char* s) { return {Slot::Text, s}; }
constexpr Token S(Slot s) { return {s, nullptr}; }

// clang-format off
// The pieces from the video bitrate to the end, shared by the 3GP and 3G2 layouts.
#define MIRELO_PHONE_TAIL                                                                          \
    T(" -b "), S(Slot::VideoBitrate), T("k -r "), S(Slot::Framerate), T(" -ss "),                  \
        S(Slot::ClipStart), T(" -t "), S(Slot::ClipDuration), T(" -s "), S(Slot::VideoSize),       \
        T(" -acodec "), S(Slot::AudioCodec), S(Slot::NoAudio), T(" "), S(Slot::Output)

const Layout kFull{S(Slot::RowFragment), S(Slot::VideoCodec), T("  -ab "), S(Slot::AudioBitrate),
                   T("  -ac "), S(Slot::AudioChannel), T(" -ar "), S(Slot::SampleRate),
                   T(" -b "), S(Slot::VideoBitrate), T("k -r "), S(Slot::Framerate), T(" -ss "),
                   S(Slot::ClipStart), T(" -t "), S(Slot::ClipDuration), T(" -s "),
                   S(Slot::VideoSize), T(" -acodec "), S(Slot::AudioCodec), S(Slot::NoAudio),
                   T(" "), S(Slot::Output)};
const Layout kWmv{T("  -vcodec "), S(Slot::VideoCodec), T(" -b "), S(Slot::VideoBitrate),
                  T("k -r "), S(Slot::Framerate), T(" -ss "), S(Slot::ClipStart), T(" -t "),
                  S(Slot::ClipDuration), T(" -s "), S(Slot::VideoSize), T(" -acodec "),
                  S(Slot::AudioCodec), T(" "), S(Slot::NoAudio), S(Slot::Output)};
const Layout k3gp{T("   -vcodec "), S(Slot::VideoCodec), T("  -f 3gp -ac 1 -ar 8000 -ab 12.2k   "),
                  MIRELO_PHONE_TAIL};
const Layout k3g2{T(" -f 3g2  -vcodec "), S(Slot::VideoCodec), T("  -ac 1 -ar 8000 -ab 12.2k   "),
                  MIRELO_PHONE_TAIL};
const Layout kFlash{T("  -ab "), S(Slot::AudioBitrate), T("  -ac "), S(Slot::AudioChannel),
                    T(" -ar "), S(Slot::SampleRate), T(" -b "), S(Slot::VideoBitrate),
                    T("k -r "), S(Slot::Framerate), T(" -ss "), S(Slot::ClipStart), T(" -t "),
                    S(Slot::ClipDuration), T(" -s "), S(Slot::VideoSize), T(" -acodec "),
                    S(Slot::AudioCodec), S(Slot::NoAudio), T(" "), S(Slot::Output)};
const Layout kDvd{S(Slot::RowFragment), T(" -b "), S(Slot::VideoBitrate), T("k -r "),
                  S(Slot::Framerate), T(" -ss "), S(Slot::ClipStart), T(" -t "),
                  S(Slot::ClipDuration), T(" -s "), S(Slot::VideoSize), S(Slot::NoAudio), T(" "),
                  S(Slot::Output)};
const Layout kAudio{T("  -ab "), S(Slot::AudioBitrate), T("  -ac "), S(Slot::AudioChannel),
                    T(" -ar "), S(Slot::SampleRate), S(Slot::RowFragment), S(Slot::Output)};
const Layout kWma{T(" -acodec "), S(Slot::AudioCodec), T(" -vn "), S(Slot::Output)};

#undef MIRELO_PHONE_TAIL

const Layout& layoutPieces(CommandLayout layout) {
    switch (layout) {
    case CommandLayout::Full:     return kFull;
    case CommandLayout::Wmv:      return kWmv;
    case CommandLayout::Phone3gp: return k3gp;
    case CommandLayout::Phone3g2: return k3g2;
    case CommandLayout::Flash:    return kFlash;
    case CommandLayout::Dvd:      return kDvd;
    case CommandLayout::Audio:    return kAudio;
    case CommandLayout::Wma:      return kWma;
    }
    return kWma;
}
// clang-format on

} // namespace

EncoderCommand buildEncoderCommand(const EncoderRequest& r) {
    EncoderCommand cmd;
    const CatalogRow* row = catalogRow(r.position);
    if (!row)
        return cmd;
    cmd.addQuotedPath(r.encoderPath);
    cmd.addText(QStringLiteral(" -i "));
    cmd.addQuotedPath(r.inputPath);
    for (const Token& t : layoutPieces(row->layout)) {
        // clang-format off
        switch (t.slot) {
        case Slot::Text: cmd.addText(QString::fromLatin1(t.text)); break;
        case Slot::RowFragment: cmd.addText(QString::fromLatin1(row->fragment)); break;
        case Slot::VideoCodec: cmd.addValue(encoderVideoCodec(r.videoCodec)); break;
        case Slot::AudioBitrate: cmd.addValue(QString::number(r.audioBitrate)); break;
        case Slot::AudioChannel: cmd.addValue(QString::number(r.audioChannel)); break;
        case Slot::SampleRate: cmd.addValue(r.sampleRate); break;
        case Slot::VideoBitrate: cmd.addValue(r.videoBitrate); break;
        case Slot::Framerate:
            cmd.addValue(r.videoFramerate == QLatin1String("Auto") ? QStringLiteral("25")
                                                                   : r.videoFramerate);
            break;
        case Slot::ClipStart: cmd.addValue(QString::number(r.clipStartSeconds)); break;
        case Slot::ClipDuration: cmd.addValue(QString::number(r.clipDurationSeconds)); break;
        case Slot::VideoSize: cmd.addValue(r.videoSize); break;
        case Slot::AudioCodec: cmd.addValue(encoderAudioCodec(r.audioCodec)); break;
        case Slot::NoAudio:
            cmd.addText(r.disableAudio == QLatin1String("No") ? QString() : QStringLiteral(" -an "));
            break;
        case Slot::Output: cmd.addQuotedPath(r.outputPath); break;
        }
        // clang-format on
    }
    return cmd;
}

} // namespace mirelo
