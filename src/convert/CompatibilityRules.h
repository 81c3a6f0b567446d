#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace mirelo {

struct EncoderCapabilities;

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
    QList<Option> output;
    QString outputPath;

    static std::optional<EncoderArguments> parse(const QStringList& arguments);
    QStringList toList() const;
};

struct RuleContext {
    const EncoderCapabilities& capabilities;
    bool overwrite = false; // the existing-file policy is to overwrite
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
