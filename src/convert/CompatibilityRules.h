#pragma once

#include "convert/AudioLimits.h"
#include "convert/EncoderArguments.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace mirelo {

struct EncoderCapabilities;
struct SourceStreams;

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

// The argument vector that runs, from the command line's argument vector (after the program).
// A vector that is not "-i INPUT ... OUTPUT" comes back unchanged.
QStringList compatibleArguments(const QStringList& profileArguments, const RuleContext& context);

} // namespace mirelo
