#pragma once

#include "profiles/ProfileId.h"
#include "sourcelist/SourceListModel.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace mirelo {

class OptionSheet;

// Bits per second of an encoder's bitrate value: "768k", "1.5M", "128000". None when unreadable.
std::optional<double> bitsPerSecond(const QString& value);

// What a bitrate-based conversion writes: the video and audio bitrates of the vector that runs,
// over the output's length. None when a written stream has no bitrate to go by (constant quality,
// a copied or lossless stream) or the length is not known.
std::optional<qint64> estimatedOutputBytes(const QStringList& arguments, double seconds);

// Keeps the list's "Output Size" column up to date with what the chosen profile and the sheet
// would write for each row: after a probe, a clip edit, a profile pick or a changed option. A
// row that ended "OK" shows the size of what it wrote until its next run, and a row converting
// keeps the estimate it started with. Changes that come together (a profile's presets) are worked
// out once.
class OutputSizeEstimates : public QObject {
    Q_OBJECT
public:
    OutputSizeEstimates(SourceListModel& rows, const OptionSheet& sheet, QObject* parent = nullptr);

    void setProfileSource(std::function<ProfileId()> source) { m_profile = std::move(source); }
    // Works every row's estimate out again once the current event is handled.
    void refresh();

private:
    void refreshRows(RowId first, RowId last);
    void schedule();
    void update();
    std::optional<qint64> estimateFor(const SourceRow& row, ProfileId profile) const;

    SourceListModel& m_rows;
    const OptionSheet& m_sheet;
    std::function<ProfileId()> m_profile;
    bool m_due = false;
    bool m_allDue = false;
    QSet<RowId> m_dueRows;
};

} // namespace mirelo
