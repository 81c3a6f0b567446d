#include "convert/CompatibilityRules.h"

#include "convert/EncoderCapabilities.h"

#include <QRegularExpression>

#include <cstring>

namespace mirelo {

namespace {

using Option = EncoderArguments::Option;

// Options of the profile command lines that take no value.
bool isFlag(const QString& name) {
    return name == QLatin1String("-vn") || name == QLatin1String("-an") ||
           name == QLatin1String("-sn");
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

const CompatibilityRule kRules[] = {
    {"replace missing encoders", replaceMissingEncoders},
    {"audio bitrate in kilobits", audioBitrateInKilobits},
    {"video bitrate by name", videoBitrateByName},
    {"current container names", currentContainerNames},
    {"clip start before input", clipStartBeforeInput},
    {"open-ended clip", openEndedClip},
    {"quiet with progress report", quietWithProgressReport},
    {"existing output policy", existingOutputPolicy},
};

void appendOptions(QStringList& out, const QList<Option>& options) {
    for (const Option& o : options) {
        out += o.name;
        if (o.value)
            out += *o.value;
    }
}

} // namespace

std::optional<EncoderArguments> EncoderArguments::parse(const QStringList& args) {
    if (args.size() < 3 || args[0] != QLatin1String("-i"))
        return std::nullopt;
    EncoderArguments a;
    a.inputPath = args[1];
    a.outputPath = args.last();
    for (qsizetype i = 2; i < args.size() - 1; ++i) {
        Option o{args[i], {}};
        if (!o.name.startsWith(QLatin1Char('-')))
            return std::nullopt;
        if (!isFlag(o.name)) {
            if (i + 1 >= args.size() - 1)
                return std::nullopt;
            o.value = args[++i];
        }
        a.output += o;
    }
    return a;
}

QStringList EncoderArguments::toList() const {
    QStringList out;
    appendOptions(out, global);
    appendOptions(out, input);
    out << QStringLiteral("-i") << inputPath;
    appendOptions(out, output);
    out += outputPath;
    return out;
}

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
