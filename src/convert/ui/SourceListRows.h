#pragma once

#include "convert/RunRows.h"

namespace mirelo {

class SourceListView;

// The source list lvwAudioTracks as the rows a run walks. A row's key is its list item, looked up
// afresh at every use, so a removed row is simply gone.
class SourceListRows : public RowSource {
    Q_OBJECT
public:
    explicit SourceListRows(SourceListView& list, QObject* parent = nullptr);

    QList<quintptr> rowKeys() const override;
    std::optional<RunRow> row(quintptr key) const override;
    // The status goes into the "Status" column, the detail into its tool tip.
    void setStatus(quintptr key, const QString& status, const QString& detail) override;

private:
    int indexOf(quintptr key) const;

    SourceListView& m_list;
};

} // namespace mirelo
