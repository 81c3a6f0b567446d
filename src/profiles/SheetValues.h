#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>

#include <optional>

namespace mirelo {

class OptionSheet;

// The option sheet's values as a conversion reads them: a copy, so that what a job converts with
// no longer follows the sheet once the job is made. Items are addressed by category and item
// caption, as on the sheet. Only the encoder's categories are copied ("Video Options", "Audio
// Options"): the others describe the selected row, not a conversion.
class SheetValues {
public:
    SheetValues() = default;
    // A snapshot of the sheet as it stands now (on purpose not explicit: whatever reads the sheet's
    // values for a conversion reads such a snapshot).
    SheetValues(const OptionSheet& sheet); // NOLINT(google-explicit-constructor)

    bool has(const QString& category, const QString& item) const;
    // The item's value, or an empty text when there is no such item.
    QString value(const QString& category, const QString& item) const;
    void set(const QString& category, const QString& item, const QString& value);

    // {"Category": {"Item": "value", ...}, ...}
    QJsonObject toJson() const;
    // nullopt, with the reason, for anything but an object of objects of strings.
    static std::optional<SheetValues> fromJson(const QJsonObject& json, QString* error);

    bool operator==(const SheetValues& other) const { return m_values == other.m_values; }

private:
    QMap<QString, QMap<QString, QString>> m_values;
};

} // namespace mirelo
