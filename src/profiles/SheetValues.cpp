#include "profiles/SheetValues.h"

#include "profiles/OptionSheet.h"
#include "profiles/SheetNames.h"

namespace mirelo {

SheetValues::SheetValues(const OptionSheet& sheet) {
    for (const OptionSheet::Category& category : sheet.categories()) {
        if (category.name != QLatin1String(sheet::kVideoOptions) &&
            category.name != QLatin1String(sheet::kAudioOptions))
            continue;
        for (const OptionSheet::Item& item : category.items)
            m_values[category.name][item.name] = item.value;
    }
}

bool SheetValues::has(const QString& category, const QString& item) const {
    const auto c = m_values.constFind(category);
    return c != m_values.constEnd() && c->contains(item);
}

QString SheetValues::value(const QString& category, const QString& item) const {
    return m_values.value(category).value(item);
}

void SheetValues::set(const QString& category, const QString& item, const QString& value) {
    m_values[category][item] = value;
}

QJsonObject SheetValues::toJson() const {
    QJsonObject json;
    for (auto c = m_values.constBegin(); c != m_values.constEnd(); ++c) {
        QJsonObject items;
        for (auto i = c->constBegin(); i != c->constEnd(); ++i)
            items.insert(i.key(), i.value());
        json.insert(c.key(), items);
    }
    return json;
}

std::optional<SheetValues> SheetValues::fromJson(const QJsonObject& json, QString* error) {
    SheetValues values;
    for (auto c = json.constBegin(); c != json.constEnd(); ++c) {
        if (!c.value().isObject()) {
            *error = QStringLiteral("the options of \"%1\" are not an object").arg(c.key());
            return std::nullopt;
        }
        const QJsonObject items = c.value().toObject();
        for (auto i = items.constBegin(); i != items.constEnd(); ++i) {
            if (!i.value().isString()) {
                *error = QStringLiteral("the option \"%1/%2\" is not a text").arg(c.key(), i.key());
                return std::nullopt;
            }
            values.set(c.key(), i.key(), i.value().toString());
        }
    }
    return values;
}

} // namespace mirelo
