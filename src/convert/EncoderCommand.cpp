#include "convert/EncoderCommand.h"

#include "convert/HardwareTrial.h"
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

// The option an older profile's layout cannot write: it has no way to keep the source's value.
QString originalRefused(const SheetValues& sheet, const CatalogRow& row) {
    using namespace sheet;
    if (row.isModern())
        return {};
    for (auto [category, item] :
         {std::pair{kVideoOptions, kVideoSize}, std::pair{kVideoOptions, kVideoFramerate},
          std::pair{kAudioOptions, kSampleRate}})
        if (sheet.value(category, item) == QLatin1String("Original"))
            return QStringLiteral("The profile \"%1\" cannot keep the original value of \"%2\"; "
                                  "pick a value from the list.")
                .arg(QString::fromUtf8(row.text), QLatin1String(item));
    return {};
}

} // namespace

std::optional<EncoderRequest> gatherEncoderRequest(const SheetValues& sheet, ProfileId profile,
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
    r.videoQuality = sheet.value(kVideoOptions, kVideoQuality);
    r.audioCodec = sheet.value(kAudioOptions, kAudioCodec);
    r.disableAudio = sheet.value(kAudioOptions, kDisableAudio);
    r.sampleRate = sheet.value(kAudioOptions, kSampleRate);
    QString invalid = sheetValueError(sheet);
    if (const CatalogRow* row = catalogRow(profile); row && invalid.isEmpty())
        invalid = originalRefused(sheet, *row);
    if (!invalid.isEmpty()) {
        if (error)
            *error = invalid;
        return std::nullopt;
    }
    for (auto [name, target] :
         {std::pair{kAudioBitrate, &r.audioBitrate}, std::pair{kAudioChannel, &r.audioChannel}}) {
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
    // The newer rows' pieces: each writes its whole option, or nothing when it keeps the source's.
    HardwareDevice,
    ModernVideoCodec,
    Quality,
    VideoFilter,
    ModernFramerate,
    ModernAudioCodec,
    ModernAudioBitrate,
    ModernSampleRate,
    SourceOptions,
    ModernClip,
    ModernNoAudio,
};

struct Token {
    Slot slot;
    const char* text = nullptr;
};

using Layout = std::initializer_list<Token>;
constexpr Token T(const char* s) {
    return {Slot::Text, s};
}
constexpr Token S(Slot s) {
    return {s, nullptr};
}

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

#define MIRELO_MODERN_TAIL                                                                         \
    S(Slot::RowFragment), S(Slot::ModernClip), T(" "), S(Slot::Output)

const Layout kModernVideo{S(Slot::HardwareDevice), T(" -c:v "), S(Slot::ModernVideoCodec),
                          S(Slot::Quality), S(Slot::VideoFilter), S(Slot::ModernFramerate),
                          T(" -c:a "), S(Slot::ModernAudioCodec), S(Slot::ModernAudioBitrate),
                          T(" -ac "), S(Slot::AudioChannel), S(Slot::ModernSampleRate),
                          S(Slot::ModernNoAudio), MIRELO_MODERN_TAIL};
const Layout kModernAudio{T(" -vn -sn -c:a "), S(Slot::ModernAudioCodec),
                          S(Slot::ModernAudioBitrate), T(" -ac "), S(Slot::AudioChannel),
                          S(Slot::ModernSampleRate), MIRELO_MODERN_TAIL};
const Layout kCopyStreams{S(Slot::SourceOptions), T(" -c copy"), MIRELO_MODERN_TAIL};
const Layout kExtractAudio{T(" -vn -sn"), S(Slot::SourceOptions), T(" -c:a copy"),
                           MIRELO_MODERN_TAIL};

#undef MIRELO_MODERN_TAIL

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
    case CommandLayout::ModernVideo:  return kModernVideo;
    case CommandLayout::ModernAudio:  return kModernAudio;
    case CommandLayout::CopyStreams:  return kCopyStreams;
    case CommandLayout::ExtractAudio: return kExtractAudio;
    }
    return kWma;
}
// clang-format on

} // namespace

namespace {

bool keepsOriginal(const QString& value) {
    return value == QLatin1String("Original");
}

// " -crf %1 -b:v 0" with the sheet's number in place of %1, or the bitrate at "Auto".
void addQuality(EncoderCommand& cmd, const CatalogRow& row, const EncoderRequest& r) {
    if (!row.quality || r.videoQuality == QLatin1String("Auto") || r.videoQuality.isEmpty()) {
        cmd.addText(QStringLiteral(" -b:v "));
        cmd.addValue(r.videoBitrate);
        cmd.addText(QStringLiteral("k"));
        return;
    }
    const QString pattern = QString::fromLatin1(row.quality);
    const qsizetype at = pattern.indexOf(QLatin1String("%1"));
    cmd.addText(pattern.left(at));
    cmd.addValue(r.videoQuality);
    cmd.addText(pattern.mid(at + 2));
}

// A picked size sets the height; the width follows the source's aspect ratio, kept even.
void addVideoFilter(EncoderCommand& cmd, const EncoderRequest& r) {
    QStringList filters;
    if (!keepsOriginal(r.videoSize))
        filters += QStringLiteral("scale=-2:") + r.videoSize.section(QLatin1Char('x'), 1);
    if (const HardwareApi* api = hardwareApi(modernVideoEncoder(r.videoCodec)); api && api->upload)
        filters += QString::fromLatin1(api->upload);
    if (filters.isEmpty())
        return;
    cmd.addText(QStringLiteral(" -vf "));
    cmd.addValue(filters.join(QLatin1Char(',')));
}

void addUnlessOriginal(EncoderCommand& cmd, const char* option, const QString& value) {
    if (keepsOriginal(value) || value == QLatin1String("Auto"))
        return;
    cmd.addText(QLatin1String(option));
    cmd.addValue(value);
}

void addModernSlot(EncoderCommand& cmd, Slot slot, const CatalogRow& row, const EncoderRequest& r) {
    switch (slot) {
    case Slot::HardwareDevice:
        if (const HardwareApi* api = hardwareApi(modernVideoEncoder(r.videoCodec)))
            cmd.addText(QString::fromLatin1(api->device));
        break;
    case Slot::ModernVideoCodec:
        cmd.addValue(modernVideoEncoder(r.videoCodec));
        break;
    case Slot::Quality:
        addQuality(cmd, row, r);
        break;
    case Slot::VideoFilter:
        addVideoFilter(cmd, r);
        break;
    case Slot::ModernFramerate:
        addUnlessOriginal(cmd, " -r ", r.videoFramerate);
        break;
    case Slot::ModernAudioCodec:
        cmd.addValue(modernAudioEncoder(r.audioCodec));
        break;
    case Slot::ModernAudioBitrate:
        if (audioUsesBitrate(r.audioCodec)) {
            cmd.addText(QStringLiteral(" -b:a "));
            cmd.addValue(QString::number(r.audioBitrate));
            cmd.addText(QStringLiteral("k"));
        }
        break;
    case Slot::ModernSampleRate:
        addUnlessOriginal(cmd, " -ar ", r.sampleRate);
        break;
    case Slot::SourceOptions:
        cmd.addText(r.sourceOptions);
        break;
    case Slot::ModernNoAudio:
        if (r.disableAudio != QLatin1String("No"))
            cmd.addText(QStringLiteral(" -an"));
        break;
    case Slot::ModernClip: // a seek to 0 would drop a copied stream's first packets
        if (r.clipStartSeconds > 0) {
            cmd.addText(QStringLiteral(" -ss "));
            cmd.addValue(QString::number(r.clipStartSeconds));
        }
        if (r.clipDurationSeconds > 0) {
            cmd.addText(QStringLiteral(" -t "));
            cmd.addValue(QString::number(r.clipDurationSeconds));
        }
        break;
    default:
        break;
    }
}

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
        default: addModernSlot(cmd, t.slot, *row, r); break;
        }
        // clang-format on
    }
    return cmd;
}

} // namespace mirelo
