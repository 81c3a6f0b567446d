#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace mirelo {

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

// The audio encoder a vector names ("-acodec", "-c:a"); empty when it names none, copies the
// stream or has no sound.
QString audioEncoderOf(const QStringList& arguments);
// The video encoder a vector names ("-vcodec", "-c:v"); empty when it copies the stream or writes
// no picture, none when it names none (the format's default encoder runs).
std::optional<QString> videoEncoderOf(const QStringList& arguments);

} // namespace mirelo
