#include "convert/ui/SourceListRows.h"

#include "sourcelist/ui/SourceListView.h"

namespace mirelo {

SourceListRows::SourceListRows(SourceListView& list, QObject* parent)
    : RowSource(parent), m_list(list) {
    connect(&list, &SourceListView::rowProbed, this, &RowSource::rowsChanged);
    connect(list.model(), &QAbstractItemModel::rowsRemoved, this, &RowSource::rowsChanged);
}

QList<quintptr> SourceListRows::rowKeys() const {
    QList<quintptr> keys;
    for (int i = 0; i < m_list.topLevelItemCount(); ++i)
        keys += reinterpret_cast<quintptr>(m_list.topLevelItem(i));
    return keys;
}

int SourceListRows::indexOf(quintptr key) const {
    for (int i = 0; i < m_list.topLevelItemCount(); ++i)
        if (reinterpret_cast<quintptr>(m_list.topLevelItem(i)) == key)
            return i;
    return -1;
}

std::optional<RunRow> SourceListRows::row(quintptr key) const {
    const int i = indexOf(key);
    if (i < 0)
        return std::nullopt;
    return RunRow{m_list.path(i), m_list.start(i), m_list.end(i), m_list.videoTime(i),
                  !m_list.isProbed(i)};
}

void SourceListRows::setStatus(quintptr key, const QString& status, const QString& detail) {
    if (const int i = indexOf(key); i >= 0)
        m_list.setStatus(i, status, detail);
}

} // namespace mirelo
