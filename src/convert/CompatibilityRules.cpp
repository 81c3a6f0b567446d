#include "convert/CompatibilityRules.h"

#include "convert/EncoderCapabilities.h"
#include "convert/SourceStreams.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mirelo {

namespace {

using Option = EncoderArguments::Option;

bool hasOption(const QList<Option>& options, const char* name) {
    return std::any_of(options.begin(), options.end(),
                       [name](const Option& o) { return o.name == QLatin1String(name); });
}

// The value of the last of the names given: the encoder takes the last one too.
std::optional<QString> lastValue(const QList<Option>& options,
                                 std::initializer_list<const char*> names) {
    for (auto it = options.rbegin(); it != options.rend(); ++it)
        for (const char* name : names)
            if (it->name == QLatin1String(name) && it->value)
                return it->value;
    return std::nullopt;
}

std::optional<int> intValue(const QList<Option>& options, const char* name) {
    const std::optional<QString> text = lastValue(options, {name});
    bool ok = false;
    const int n = text ? text->toInt(&ok) : 0;
    return ok ? std::optional<int>(n) : std::nullopt;
}

void setOption(QList<Option>& options, const char* name, const QString& value) {
    for (Option& o : options)
        if (o.name == QLatin1String(name))
            o.value = value;
    if (!hasOption(options, name))
        options += Option{QLatin1String(name), value};
}

// The encoder keeps only the last "-vf": every filter goes into one chain, in the order added.
void appendVideoFilter(EncoderArguments& a, const QString& filter) {
    for (Option& o : a.output)
        if (o.name == QLatin1String("-vf") && o.value) {
            o.value = *o.value + QLatin1Char(',') + filter;
            return;
        }
    a.output += Option{QStringLiteral("-vf"), filter};
}

void note(const RuleContext& c, const QString& text) {
    if (c.notes)
        *c.notes += text;
}

// Replacements for encoders an installed program may lack, best first; extra options go with
// the replacement (an MPEG-4 stream keeps its xvid tag so players treat it as before).
struct EncoderFallback {
    const char* missing;
    struct Candidate {
        const char* encoder;
        const char* extraName;
        const char* extraValue;
    };
    std::initializer_list<Candidate> candidates;
};

const EncoderFallback kEncoderFallbacks[] = {
    {"libfaac", {{"aac", nullptr, nullptr}}},
    {"libamr_nb", {{"libopencore_amrnb", nullptr, nullptr}, {"aac", nullptr, nullptr}}},
    {"vorbis", {{"libvorbis", nullptr, nullptr}}},
    {"libxvid", {{"mpeg4", "-vtag", "xvid"}}},
};

// Containers known to the installed program under a newer name.
struct MuxerRename {
    const char* old;
    const char* current;
};
const MuxerRename kMuxerRenames[] = {{"aac", "adts"}};

void replaceMissingEncoders(EncoderArguments& a, const RuleContext& c) {
    QList<Option> extra;
    for (Option& o : a.output) {
        const bool codec = o.name == QLatin1String("-vcodec") ||
                           o.name == QLatin1String("-acodec") || o.name.startsWith(u"-c:");
        if (!codec || !o.value || c.capabilities.hasEncoder(*o.value))
            continue;
        for (const EncoderFallback& f : kEncoderFallbacks) {
            if (*o.value != QLatin1String(f.missing))
                continue;
            for (const auto& candidate : f.candidates) {
                if (!c.capabilities.hasEncoder(QLatin1String(candidate.encoder)))
                    continue;
                o.value = QLatin1String(candidate.encoder);
                if (candidate.extraName)
                    extra += Option{QLatin1String(candidate.extraName),
                                    QLatin1String(candidate.extraValue)};
                break;
            }
        }
    }
    a.output += extra;
}

void audioBitrateInKilobits(EncoderArguments& a, const RuleContext&) {
    static const QRegularExpression plainNumber(QStringLiteral("^\\d+(\\.\\d+)?$"));
    for (Option& o : a.output) {
        if (o.name != QLatin1String("-ab") || !o.value)
            continue;
        o.name = QStringLiteral("-b:a");
        if (plainNumber.match(*o.value).hasMatch())
            o.value = *o.value + QLatin1Char('k');
    }
}

void videoBitrateByName(EncoderArguments& a, const RuleContext&) {
    for (Option& o : a.output)
        if (o.name == QLatin1String("-b"))
            o.name = QStringLiteral("-b:v");
}

void currentContainerNames(EncoderArguments& a, const RuleContext& c) {
    for (Option& o : a.output) {
        if (o.name != QLatin1String("-f") || !o.value || c.capabilities.hasMuxer(*o.value))
            continue;
        for (const MuxerRename& r : kMuxerRenames)
            if (*o.value == QLatin1String(r.old) &&
                c.capabilities.hasMuxer(QLatin1String(r.current)))
                o.value = QLatin1String(r.current);
    }
}

// Seeking on the input jumps straight to the clip; after it the encoder decodes everything before.
void clipStartBeforeInput(EncoderArguments& a, const RuleContext&) {
    for (qsizetype i = 0; i < a.output.size();) {
        if (a.output[i].name == QLatin1String("-ss"))
            a.input += a.output.takeAt(i);
        else
            ++i;
    }
}

// A clip without a length (no probed end, or an end before the start) converts to the end of
// the file instead of producing an empty output.
void openEndedClip(EncoderArguments& a, const RuleContext&) {
    a.output.removeIf([](const Option& o) {
        return o.name == QLatin1String("-t") && o.value && o.value->toDouble() <= 0.0;
    });
}

void quietWithProgressReport(EncoderArguments& a, const RuleContext&) {
    a.global += {{QStringLiteral("-nostdin"), {}},
                 {QStringLiteral("-hide_banner"), {}},
                 {QStringLiteral("-progress"), QStringLiteral("pipe:1")},
                 {QStringLiteral("-nostats"), {}}};
}

void existingOutputPolicy(EncoderArguments& a, const RuleContext& c) {
    a.global += {c.overwrite ? QStringLiteral("-y") : QStringLiteral("-n"), {}};
}

// Containers that cannot be written without a sound track.
const char* const kMuxersNeedingAudio[] = {"psp"};

bool muxerNeedsAudio(const EncoderArguments& a) {
    const std::optional<QString> muxer = lastValue(a.output, {"-f"});
    return muxer && std::any_of(std::begin(kMuxersNeedingAudio), std::end(kMuxersNeedingAudio),
                                [&muxer](const char* m) { return *muxer == QLatin1String(m); });
}

QString streamMap(int input, int index) {
    return QStringLiteral("%1:%2").arg(input).arg(index);
}

QString describeTrack(const SourceStream& track, int count) {
    QString name = QStringLiteral("stream #0:%1").arg(track.index);
    if (!track.title.isEmpty())
        name += QStringLiteral(" \"%1\"").arg(track.title);
    if (!track.language.isEmpty())
        name += QStringLiteral(" (%1)").arg(track.language);
    return QStringLiteral("Audio track converted: %1, %2 of the %3 audio tracks.")
        .arg(name,
             track.isDefault ? QStringLiteral("the default one") : QStringLiteral("the first one"))
        .arg(count);
}

// A single picture shown for the length of the sound: the picture is repeated at the output's
// frame rate until the sound ends. It is no longer a cover once it moves.
void stillPictureForTheSound(EncoderArguments& a) {
    const QString rate = lastValue(a.output, {"-r"}).value_or(QStringLiteral("25"));
    appendVideoFilter(a, QStringLiteral("loop=loop=-1:size=1,setpts=N/(%1)/TB").arg(rate));
    a.output += {{QStringLiteral("-disposition:v:0"), QStringLiteral("0")},
                 {QStringLiteral("-shortest"), {}}};
}

// A container that needs sound gets a silent track as long as the picture: the device reads the
// file the container's own way, which plain MP4 would not give it.
QString silentSoundTrack(EncoderArguments& a) {
    a.extraInputs += EncoderArguments::ExtraInput{{{QStringLiteral("-f"), QStringLiteral("lavfi")}},
                                                  QStringLiteral("anullsrc=r=48000:cl=stereo")};
    a.output += Option{QStringLiteral("-shortest"), {}};
    return streamMap(int(a.extraInputs.size()), 0);
}

// What the source holds decides what the output takes. Ordinary sources (one picture, one sound
// track) keep the encoder's own choice and an unchanged vector.
// A profile that maps the streams itself (the copy rows) has chosen already.
void streamsOfTheSource(EncoderArguments& a, const RuleContext& c) {
    if (!c.source || c.source->streams.empty() || hasOption(a.output, "-map"))
        return;
    const SourceStreams& s = *c.source;
    const bool videoOut = !hasOption(a.output, "-vn");
    const bool audioOut = !hasOption(a.output, "-an");
    QString videoMap, audioMap;
    bool explicitMaps = false;
    if (videoOut) {
        if (const SourceStream* v = s.firstVideo()) {
            videoMap = streamMap(0, v->index);
        } else if (const SourceStream* cover = s.coverPicture()) {
            // The file again, unseeked: a seek past the start loses the picture, which the file
            // holds once, at its start.
            a.extraInputs += EncoderArguments::ExtraInput{{}, a.inputPath};
            videoMap = streamMap(int(a.extraInputs.size()), cover->index);
            explicitMaps = true;
            stillPictureForTheSound(a);
            note(c, QStringLiteral("The file has no video: its cover picture is shown for the "
                                   "length of its sound."));
        }
    }
    if (audioOut) {
        if (const SourceStream* track = s.chosenAudio()) {
            audioMap = streamMap(0, track->index);
            if (s.audioCount() > 1) {
                explicitMaps = true;
                note(c, describeTrack(*track, s.audioCount()));
            }
        } else if (videoOut && muxerNeedsAudio(a)) {
            audioMap = silentSoundTrack(a);
            explicitMaps = true;
            note(c, QStringLiteral("The file has no sound: the output gets a silent sound track, "
                                   "which its container needs."));
        } else {
            a.output += Option{QStringLiteral("-an"), {}};
            note(c, QStringLiteral("The file has no sound: only its picture is converted."));
        }
    }
    if (!explicitMaps)
        return;
    QList<Option> maps;
    for (const QString& m : {videoMap, audioMap})
        if (!m.isEmpty())
            maps += Option{QStringLiteral("-map"), m};
    a.output = maps + a.output;
}

// A downmix to the channels the audio encoder takes at most, and the nearest rate it takes.
void audioTheEncoderTakes(EncoderArguments& a, const RuleContext& c) {
    if (!c.audioLimits || hasOption(a.output, "-an"))
        return;
    const std::optional<QString> encoder = lastValue(a.output, {"-acodec", "-c:a", "-codec:a"});
    if (!encoder)
        return;
    const auto limits = c.audioLimits->constFind(*encoder);
    if (limits == c.audioLimits->constEnd())
        return;
    const SourceStream* track = c.source ? c.source->chosenAudio() : nullptr;
    const int channels = intValue(a.output, "-ac").value_or(track ? track->channels : 0);
    if (limits->maxChannels > 0 && channels > limits->maxChannels) {
        setOption(a.output, "-ac", QString::number(limits->maxChannels));
        note(c, QStringLiteral("%1 channels are mixed down to %2: the audio encoder %3 takes no "
                               "more.")
                    .arg(channels)
                    .arg(limits->maxChannels)
                    .arg(*encoder));
    }
    const int rate = intValue(a.output, "-ar").value_or(track ? track->sampleRate : 0);
    const int nearest = nearestSampleRate(limits->sampleRates, rate);
    if (rate > 0 && nearest != rate) {
        setOption(a.output, "-ar", QString::number(nearest));
        note(c, QStringLiteral("The sound is resampled from %1 Hz to %2 Hz: the audio encoder %3 "
                               "takes no other rate near it.")
                    .arg(rate)
                    .arg(nearest)
                    .arg(*encoder));
    }
}

// Video encoders that would keep a source's 10-bit or 4:4:4 picture, which the players the
// profiles are made for cannot decode; the others only write 8-bit 4:2:0 anyway.
const char* const kEncodersKeepingDeepPictures[] = {"libx264"};

bool isPlainPicture(const QString& pixelFormat) {
    return pixelFormat == QLatin1String("yuv420p") || pixelFormat == QLatin1String("yuvj420p");
}

void pictureThePlayerDecodes(EncoderArguments& a, const RuleContext& c) {
    const SourceStream* video = c.source ? c.source->firstVideo() : nullptr;
    if (!video || video->pixelFormat.isEmpty() || isPlainPicture(video->pixelFormat) ||
        hasOption(a.output, "-pix_fmt"))
        return;
    const std::optional<QString> encoder = lastValue(a.output, {"-vcodec", "-c:v", "-codec:v"});
    const bool keeps =
        encoder && std::any_of(std::begin(kEncodersKeepingDeepPictures),
                               std::end(kEncodersKeepingDeepPictures),
                               [&encoder](const char* e) { return *encoder == QLatin1String(e); });
    if (keeps)
        a.output += Option{QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")};
}

bool isQuarterTurn(double degrees) {
    return std::abs(std::fmod(std::abs(degrees), 180.0) - 90.0) < 1.0;
}

// The encoder turns a rotated picture upright as it decodes it; stretched to the profile's frame
// it would look squashed, so it is fitted into the frame with bars instead. A cover picture,
// usually square, is fitted the same way.
void uprightPictureInTheFrame(EncoderArguments& a, const RuleContext& c) {
    if (!c.source || hasOption(a.output, "-vn"))
        return;
    const SourceStream* video = c.source->firstVideo();
    const bool turned = video && isQuarterTurn(video->rotation);
    const bool cover = !video && c.source->coverPicture();
    if (!turned && !cover)
        return;
    static const QRegularExpression frame(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
    const QRegularExpressionMatch m = frame.match(lastValue(a.output, {"-s"}).value_or(QString()));
    if (!m.hasMatch())
        return;
    const QString w = m.captured(1), h = m.captured(2);
    appendVideoFilter(a, QStringLiteral("scale=%1:%2:force_original_aspect_ratio=decrease:"
                                        "force_divisible_by=2,pad=%1:%2:(ow-iw)/2:(oh-ih)/2,"
                                        "setsar=1")
                             .arg(w, h));
    if (turned)
        note(c, QStringLiteral("The picture is turned by %1 degrees: it is kept upright and "
                               "fitted into %2x%3.")
                    .arg(video->rotation)
                    .arg(w, h));
}

// Files converted side by side share the cores: an encoder that spreads one file over every core
// as well spends much of them keeping its threads in step.
void shareOfTheCores(EncoderArguments& a, const RuleContext& c) {
    if (c.threads <= 0 || hasOption(a.output, "-threads"))
        return;
    const QString threads = QString::number(c.threads);
    a.input += {QStringLiteral("-threads"), threads};
    a.output += {QStringLiteral("-threads"), threads};
}

const CompatibilityRule kRules[] = {
    {"replace missing encoders", replaceMissingEncoders},
    {"audio bitrate in kilobits", audioBitrateInKilobits},
    {"video bitrate by name", videoBitrateByName},
    {"current container names", currentContainerNames},
    {"streams of the source", streamsOfTheSource},
    {"audio the encoder takes", audioTheEncoderTakes},
    {"upright picture in the frame", uprightPictureInTheFrame},
    {"picture the player decodes", pictureThePlayerDecodes},
    {"clip start before input", clipStartBeforeInput},
    {"open-ended clip", openEndedClip},
    {"quiet with progress report", quietWithProgressReport},
    {"existing output policy", existingOutputPolicy},
    {"share of the cores", shareOfTheCores},
};

} // namespace

std::span<const CompatibilityRule> compatibilityRules() {
    return kRules;
}

const CompatibilityRule* compatibilityRule(const char* name) {
    for (const CompatibilityRule& r : kRules)
        if (std::strcmp(r.name, name) == 0)
            return &r;
    return nullptr;
}

QStringList compatibleArguments(const QStringList& profileArguments, const RuleContext& context) {
    std::optional<EncoderArguments> a = EncoderArguments::parse(profileArguments);
    if (!a)
        return profileArguments;
    for (const CompatibilityRule& r : kRules)
        r.apply(*a, context);
    return a->toList();
}

} // namespace mirelo
