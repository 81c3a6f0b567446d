#include "profiles/OptionSheet.h"

#include "profiles/SheetNames.h"

#include <algorithm>

namespace mirelo {

OptionSheet::OptionSheet(QObject* parent) : QObject(parent) {}

void OptionSheet::clear() {
    m_categories.clear();
    Q_EMIT structureChanged();
}

bool OptionSheet::addCategory(const QString& name) {
    if (findCategory(name))
        return false;
    m_categories.push_back({name, {}});
    Q_EMIT structureChanged();
    return true;
}

bool OptionSheet::addItem(const QString& category, const QString& name, const QString& value,
                          ItemKind kind) {
    Category* cat = findCategory(category);
    if (!cat || findItem(category, name))
        return false;
    cat->items.push_back({name, value, kind, false, {}});
    Q_EMIT structureChanged();
    return true;
}

bool OptionSheet::addListValue(const QString& category, const QString& item, const QString& value) {
    Item* it = findItem(category, item);
    if (!it)
        return false;
    if (!it->list.contains(value)) {
        it->list.append(value);
        Q_EMIT itemChanged(category, item);
    }
    return true;
}

bool OptionSheet::clearListValues(const QString& category, const QString& item) {
    Item* it = findItem(category, item);
    if (!it)
        return false;
    it->list.clear();
    Q_EMIT itemChanged(category, item);
    return true;
}

bool OptionSheet::setReadOnly(const QString& category, const QString& item, bool readOnly) {
    Item* it = findItem(category, item);
    if (!it)
        return false;
    it->readOnly = readOnly;
    Q_EMIT itemChanged(category, item);
    return true;
}

bool OptionSheet::setDescription(const QString& category, const QString& item,
                                 const QString& text) {
    Item* it = findItem(category, item);
    if (!it)
        return false;
    it->description = text;
    Q_EMIT itemChanged(category, item);
    return true;
}

bool OptionSheet::setValue(const QString& category, const QString& item, const QString& value) {
    Item* it = findItem(category, item);
    if (!it)
        return false;
    if (it->value != value) {
        it->value = value;
        Q_EMIT itemChanged(category, item);
    }
    return true;
}

bool OptionSheet::hasCategory(const QString& category) const {
    return const_cast<OptionSheet*>(this)->findCategory(category) != nullptr;
}

const OptionSheet::Item* OptionSheet::item(const QString& category, const QString& item) const {
    return const_cast<OptionSheet*>(this)->findItem(category, item);
}

QString OptionSheet::value(const QString& category, const QString& item) const {
    const Item* it = this->item(category, item);
    return it ? it->value : QString();
}

OptionSheet::Category* OptionSheet::findCategory(const QString& name) {
    auto it = std::find_if(m_categories.begin(), m_categories.end(),
                           [&](const Category& c) { return c.name == name; });
    return it == m_categories.end() ? nullptr : &*it;
}

OptionSheet::Item* OptionSheet::findItem(const QString& category, const QString& item) {
    Category* cat = findCategory(category);
    if (!cat)
        return nullptr;
    auto it = std::find_if(cat->items.begin(), cat->items.end(),
                           [&](const Item& i) { return i.name == item; });
    return it == cat->items.end() ? nullptr : &*it;
}

namespace {

struct DefaultItem {
    const char* category;
    const char* name;
    const char* value;
    OptionSheet::ItemKind kind;
    std::initializer_list<const char*> list;
    bool readOnly;
    const char* description = nullptr;
};

using K = OptionSheet::ItemKind;
using namespace sheet;

// The sheet as it stands before any profile is picked.
const DefaultItem kDefaults[] = {
    {kGeneral, kItemName, "Auto", K::Text, {}, true},
    {kOutputDuration, kAllClipDuration, "00:00:00", K::Text, {}, true},
    {kOutputDuration, kStartTime, "00:00:00", K::Text, {}, true},
    {kOutputDuration, kStopTime, "00:00:00", K::Text, {}, true},
    {kVideoOptions, kVideoCodec, "xvid", K::List, {"xvid", "mpeg4", "x264"}, false},
    {kVideoOptions,
     kVideoSize,
     "320x240",
     K::List,
     {"320x240", "480x270", "480x320", "640x480"},
     false},
    {kVideoOptions,
     kVideoBitrate,
     "256",
     K::List,
     {"48", "64", "128", "192", "256", "512", "768", "1000", "1500", "1152", "2500"},
     false},
    {kVideoOptions,
     kVideoFramerate,
     "29.97",
     K::List,
     {"Auto", "8", "10", "12", "15", "23.976", "24", "25", "29.97", "30"},
     false},
    // Read-only until a profile that encodes at constant quality is picked.
    {kVideoOptions,
     kVideoQuality,
     "Auto",
     K::List,
     {"Auto"},
     true,
     "Auto: the video bitrate decides the quality. A number: constant quality, the bitrate "
     "follows the picture; lower numbers look better and make larger files, higher numbers make "
     "smaller files with less detail."},
    {kAudioOptions, kAudioCodec, "aac", K::List, {"aac", "mp3", "ogg"}, false},
    {kAudioOptions,
     kAudioBitrate,
     "128",
     K::List,
     {"32", "40", "48", "56", "64", "80", "96", "112", "128", "160", "192", "224", "256", "320"},
     false},
    {kAudioOptions,
     kSampleRate,
     "44100",
     K::List,
     {"8000", "11025", "22050", "24000", "32000", "44100", "48000"},
     false},
    {kAudioOptions, kAudioChannel, "2", K::List, {"1", "2"}, false},
    {kAudioOptions, kDisableAudio, "No", K::List, {"No", "Yes"}, false},
    {kAudioOptions, kAvSync, "Basic", K::List, {"Basic", "Default"}, false},
};

} // namespace

void resetToDefaults(OptionSheet& sheet) {
    sheet.clear();
    for (const DefaultItem& d : kDefaults) {
        if (!sheet.hasCategory(d.category))
            sheet.addCategory(d.category);
        sheet.addItem(d.category, d.name, d.value, d.kind);
        for (const char* v : d.list)
            sheet.addListValue(d.category, d.name, v);
        if (d.description)
            sheet.setDescription(d.category, d.name, QString::fromUtf8(d.description));
    }
    for (const DefaultItem& d : kDefaults)
        if (d.readOnly)
            sheet.setReadOnly(d.category, d.name, true);
}

QString defaultValue(const QString& category, const QString& item) {
    for (const DefaultItem& d : kDefaults)
        if (category == QLatin1String(d.category) && item == QLatin1String(d.name))
            return QString::fromLatin1(d.value);
    return {};
}

} // namespace mirelo
