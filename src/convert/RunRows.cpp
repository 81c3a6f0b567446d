#include "convert/RunRows.h"

namespace mirelo {

quintptr RowList::append(const RunRow& row) {
    m_entries.push_back({m_nextKey, row, {}, {}});
    return m_nextKey++;
}

void RowList::remove(quintptr key) {
    std::erase_if(m_entries, [key](const Entry& e) { return e.key == key; });
    Q_EMIT rowsChanged();
}

void RowList::update(quintptr key, const RunRow& row) {
    if (Entry* e = const_cast<Entry*>(find(key))) {
        e->row = row;
        Q_EMIT rowsChanged();
    }
}

QList<quintptr> RowList::rowKeys() const {
    QList<quintptr> keys;
    for (const Entry& e : m_entries)
        keys += e.key;
    return keys;
}

std::optional<RunRow> RowList::row(quintptr key) const {
    const Entry* e = find(key);
    return e ? std::optional<RunRow>(e->row) : std::nullopt;
}

void RowList::setStatus(quintptr key, const QString& status, const QString& detail) {
    if (Entry* e = const_cast<Entry*>(find(key))) {
        e->status = status;
        e->detail = detail;
    }
}

QString RowList::status(quintptr key) const {
    const Entry* e = find(key);
    return e ? e->status : QString();
}

QString RowList::detail(quintptr key) const {
    const Entry* e = find(key);
    return e ? e->detail : QString();
}

const RowList::Entry* RowList::find(quintptr key) const {
    for (const Entry& e : m_entries)
        if (e.key == key)
            return &e;
    return nullptr;
}

} // namespace mirelo
