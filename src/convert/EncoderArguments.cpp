#include "convert/EncoderArguments.h"

#include <algorithm>
#include <initializer_list>

namespace mirelo {

namespace {

using Option = EncoderArguments::Option;

// Options of the profile command lines that take no value.
bool isFlag(const QString& name) {
    return name == QLatin1String("-vn") || name == QLatin1String("-an") ||
           name == QLatin1String("-sn") || name == QLatin1String("-shortest");
}

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
    for (const ExtraInput& extra : extraInputs) {
        appendOptions(out, extra.options);
        out << QStringLiteral("-i") << extra.path;
    }
    appendOptions(out, output);
    out += outputPath;
    return out;
}

namespace {

// The encoder named for one kind of stream: empty when that kind is left out or copied, none when
// no encoder is named.
std::optional<QString> namedEncoderOf(const QStringList& arguments, QLatin1String leftOut,
                                      std::initializer_list<QLatin1String> options) {
    std::optional<QString> encoder;
    // The last argument is the output; an input path is never read as an option.
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == leftOut)
            return QString();
        const bool named = std::find(options.begin(), options.end(), a) != options.end();
        // A copied stream is not encoded: no encoder limit applies to it.
        if (named && i + 2 < arguments.size())
            encoder = arguments[i + 1] == QLatin1String("copy") ? QString() : arguments[i + 1];
        if (named || a == QLatin1String("-i"))
            ++i;
    }
    return encoder;
}

} // namespace

QString audioEncoderOf(const QStringList& arguments) {
    return namedEncoderOf(
               arguments, QLatin1String("-an"),
               {QLatin1String("-acodec"), QLatin1String("-c:a"), QLatin1String("-codec:a")})
        .value_or(QString());
}

std::optional<QString> videoEncoderOf(const QStringList& arguments) {
    return namedEncoderOf(
        arguments, QLatin1String("-vn"),
        {QLatin1String("-vcodec"), QLatin1String("-c:v"), QLatin1String("-codec:v")});
}

} // namespace mirelo
