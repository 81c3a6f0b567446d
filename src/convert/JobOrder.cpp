#include "convert/JobOrder.h"

#include "base/TimeString.h"
#include "convert/ConversionPlan.h"

#include <QJsonValue>

namespace mirelo {

namespace {

// The JSON form's version: a reader refuses a job written by a later form it does not know.
constexpr int kJobFormat = 1;

QJsonValue optionalNumber(std::optional<double> value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonObject sourceJson(const JobSource& s) {
    QJsonObject json{{QStringLiteral("path"), s.path},
                     {QStringLiteral("length"), optionalNumber(s.length)}};
    if (!s.byteName.isEmpty())
        json.insert(QStringLiteral("byte_name"), QString::fromLatin1(s.byteName.toHex()));
    return json;
}

// A whole number in range, or nullopt.
std::optional<int> wholeNumber(const QJsonValue& v, int low, int high) {
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (d != double(qint64(d)) || d < low || d > high)
        return std::nullopt;
    return int(d);
}

bool readSource(const QJsonObject& json, JobSource& s, QString* error) {
    const QJsonValue path = json.value(QStringLiteral("path"));
    const QJsonValue length = json.value(QStringLiteral("length"));
    const QJsonValue bytes = json.value(QStringLiteral("byte_name"));
    if (!path.isString() || path.toString().isEmpty() ||
        !(length.isNull() || (length.isDouble() && length.toDouble() >= 0)) ||
        !(bytes.isUndefined() || bytes.isString())) {
        *error = QStringLiteral("the source is not a path and a length");
        return false;
    }
    s.path = path.toString();
    if (length.isDouble())
        s.length = length.toDouble();
    if (bytes.isString()) {
        const QByteArray hex = bytes.toString().toLatin1();
        s.byteName = QByteArray::fromHex(hex);
        if (s.byteName.isEmpty() || s.byteName.toHex() != hex.toLower()) {
            *error = QStringLiteral("the source's byte name is not hexadecimal");
            return false;
        }
    }
    return true;
}

bool readClip(const QJsonObject& json, JobOrder& job, QString* error) {
    constexpr int kDay = 24 * 3600; // clip times are times of one day
    const std::optional<int> start = wholeNumber(json.value(QStringLiteral("start")), 0, kDay);
    const QJsonValue endValue = json.value(QStringLiteral("end"));
    const std::optional<int> end = wholeNumber(endValue, 0, kDay);
    if (!start || !(endValue.isNull() || end)) {
        *error = QStringLiteral("the clip is not a start and an end in whole seconds");
        return false;
    }
    job.clipStart = *start;
    job.clipEnd = end;
    return true;
}

} // namespace

PlanRow JobOrder::planRow(const SourceStreams* streams) const {
    PlanRow row;
    row.inputPath = source.path;
    row.clipStart = formatTimeString(clipStart);
    row.clipEnd = clipEnd ? formatTimeString(*clipEnd) : QString();
    row.probedLength = source.length;
    row.streams = streams;
    return row;
}

QJsonObject JobOrder::toJson() const {
    return {{QStringLiteral("format"), kJobFormat},
            {QStringLiteral("source"), sourceJson(source)},
            {QStringLiteral("profile"), profile.position()},
            {QStringLiteral("options"), options.toJson()},
            {QStringLiteral("clip"),
             QJsonObject{{QStringLiteral("start"), clipStart},
                         {QStringLiteral("end"),
                          clipEnd ? QJsonValue(*clipEnd) : QJsonValue(QJsonValue::Null)}}},
            {QStringLiteral("output_folder"), outputFolder},
            {QStringLiteral("existing"),
             overwrite ? QStringLiteral("overwrite") : QStringLiteral("new")}};
}

std::optional<JobOrder> JobOrder::fromJson(const QJsonObject& json, QString* error) {
    QString why;
    JobOrder job;
    const std::optional<int> format = wholeNumber(json.value(QStringLiteral("format")), 1, 1);
    const std::optional<int> profile = wholeNumber(json.value(QStringLiteral("profile")), 1, 9999);
    const QJsonValue folder = json.value(QStringLiteral("output_folder"));
    const QString existing = json.value(QStringLiteral("existing")).toString();
    std::optional<SheetValues> options;
    if (!format)
        why = QStringLiteral("the job's format is not %1").arg(kJobFormat);
    else if (!profile)
        why = QStringLiteral("the profile is not a position");
    else if (!folder.isString())
        why = QStringLiteral("the output folder is not a text");
    else if (existing != QLatin1String("new") && existing != QLatin1String("overwrite"))
        why = QStringLiteral("\"existing\" is neither \"new\" nor \"overwrite\"");
    else if (!json.value(QStringLiteral("options")).isObject())
        why = QStringLiteral("the options are not an object");
    else if ((options =
                  SheetValues::fromJson(json.value(QStringLiteral("options")).toObject(), &why)) &&
             readSource(json.value(QStringLiteral("source")).toObject(), job.source, &why))
        readClip(json.value(QStringLiteral("clip")).toObject(), job, &why);
    if (!why.isEmpty()) {
        if (error)
            *error = QStringLiteral("Not a conversion job: %1.").arg(why);
        return std::nullopt;
    }
    job.profile = *profile;
    job.options = std::move(*options);
    job.outputFolder = folder.toString();
    job.overwrite = existing == QLatin1String("overwrite");
    return job;
}

} // namespace mirelo
