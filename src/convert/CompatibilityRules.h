#pragma once

#include "convert/AudioLimits.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace mirelo {

struct EncoderCapabilities;
struct SourceStreams;

// An encoder argument vector taken apart: the options before "-i", the input, the options that
// apply to the output, and the output. Paths are never looked at as options.
struct EncoderArguments {
    struct Option {
        QString name;
        std::optional<QString> value;
        bool operator==(const Option&) const = default;
    };
    QList<Option> global;
    QList<Option> input;
    QString inputPath;
    // Inputs after the source (a generated silent sound track): options, then "-i PATH".
    struct ExtraInput {
        QList<Option> options;
        QString path;
        bool operator==(const ExtraInput&) const = default;
    };
    QList<ExtraInput> extraInputs;
    QList<Option> output;
    QString outputPath;

    static std::optional<EncoderArguments> parse(const QStringList& arguments);
    QStringList toList() const;
};

struct RuleContext {
    const EncoderCapabilities& capabilities;
    bool overwrite = false;                // the existing-file policy is to overwrite
    const SourceStreams* source = nullptr; // none: the source's streams are not known
    // Audio encoders' limits by encoder name; an encoder missing here has none known.
    const QHash<QString, AudioLimits>* audioLimits = nullptr;
    QStringList* notes = nullptr; // what a rule chose that the user should be told
    // Threads the decoder and the encoder may each use while the run converts several files at
    // once; 0: the encoder's own choice.
    int threads = 0;
};

// One step that turns the profile's older encoder dialect into what the installed encoder runs.
struct CompatibilityRule {
    const char* name;
    void (*apply)(EncoderArguments& arguments, const RuleContext& context);
};

std::span<const CompatibilityRule> compatibilityRules();
const CompatibilityRule* compatibilityRule(const char* name);

// The audio encoder a vector names ("-acodec", "-c:a"); empty when it names none, copies the
// stream or has no sound.
QString audioEncoderOf(const QStringList& arguments);
// The video encoder a vector names ("-vcodec", "-c:v"); empty when it copies the stream or writes
// no picture, none when it names none (the format's default encoder runs).
std::optional<QString> videoEncoderOf(const QStringList& arguments);

// The argument vector that runs, from the command line's argument vector (after the program).
// A vector that is not "-i INPUT ... OUTPUT" comes back unchanged.
QStringList compatibleArguments(const QStringList& profileArguments, const RuleContext& context);

} // namespace mirelo
