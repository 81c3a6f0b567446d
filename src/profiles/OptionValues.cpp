#include "profiles/OptionValues.h"

#include "profiles/OptionSheet.h"
#include "profiles/SheetNames.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace mirelo {

namespace {

enum class ValueForm { Decimal, WholeNumber, Integer16, FrameRate, Size, Quality };

struct ValueRule {
    const char* category;
    const char* item;
    ValueForm form;
};

using namespace sheet;

// clang-format off
const ValueRule kRules[] = {
    {kVideoOptions, kVideoBitrate,   ValueForm::Decimal},
    {kVideoOptions, kVideoFramerate, ValueForm::FrameRate},
    {kVideoOptions, kVideoSize,      ValueForm::Size},
    {kVideoOptions, kVideoQuality,   ValueForm::Quality},
    {kAudioOptions, kAudioBitrate,   ValueForm::Integer16},
    {kAudioOptions, kSampleRate,     ValueForm::WholeNumber},
    {kAudioOptions, kAudioChannel,   ValueForm::Integer16},
};
// clang-format on

bool matches(const char* pattern, const QString& value) {
    return QRegularExpression(QLatin1String(pattern)).match(value).hasMatch();
}

// "Original" keeps the source's own size, frame rate or sample rate (newer profiles only).
bool keepsOriginal(ValueForm form, const QString& value) {
    return value == QLatin1String("Original") &&
           (form == ValueForm::Size || form == ValueForm::FrameRate ||
            form == ValueForm::WholeNumber);
}

bool holds(ValueForm form, const QString& value) {
    if (keepsOriginal(form, value))
        return true;
    switch (form) {
    case ValueForm::Decimal:
        return matches("^[0-9]+(\\.[0-9]+)?$", value);
    case ValueForm::WholeNumber:
        return matches("^[0-9]+$", value);
    case ValueForm::Integer16:
        return toInteger16(value).has_value();
    case ValueForm::FrameRate:
        return value == QLatin1String("Auto") || matches("^[0-9]+(\\.[0-9]+)?$", value);
    case ValueForm::Size:
        return matches("^[0-9]+x[0-9]+$", value);
    case ValueForm::Quality: // the encoders' constant-quality scales end at 51 or 63
        return value == QLatin1String("Auto") ||
               (matches("^[0-9]{1,2}$", value) && value.toInt() <= 63);
    }
    return false;
}

const char* described(ValueForm form) {
    switch (form) {
    case ValueForm::Decimal:
    case ValueForm::Integer16:
        return "a number";
    case ValueForm::WholeNumber:
        return "a whole number";
    case ValueForm::FrameRate:
        return "a number or \"Auto\"";
    case ValueForm::Size:
        return "a size WIDTHxHEIGHT";
    case ValueForm::Quality:
        return "\"Auto\" or a whole number from 0 to 63";
    }
    return "";
}

} // namespace

std::optional<int> toInteger16(const QString& text) {
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    const double r = std::nearbyint(v); // the default rounding mode: ties to even
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return static_cast<int>(r);
}

QString optionValueError(const QString& category, const QString& item, const QString& value) {
    for (const ValueRule& rule : kRules) {
        if (category != QLatin1String(rule.category) || item != QLatin1String(rule.item))
            continue;
        if (holds(rule.form, value))
            return {};
        return QStringLiteral("The option \"%1\" must be %2, not \"%3\".")
            .arg(item, QLatin1String(described(rule.form)), value);
    }
    return {};
}

QString sheetValueError(const SheetValues& sheet) {
    for (const ValueRule& rule : kRules) {
        const QString category = QLatin1String(rule.category);
        const QString item = QLatin1String(rule.item);
        if (!sheet.has(category, item))
            continue;
        if (QString error = optionValueError(category, item, sheet.value(category, item));
            !error.isEmpty())
            return error;
    }
    return {};
}

} // namespace mirelo
