#pragma once

#include "probe/MediaInfo.h"
#include "probe/MediaProbe.h"

#include <QAbstractTableModel>
#include <QList>
#include <QSize>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace mirelo {

class ProbeQueue;
class StandInLinks;

// A row's identity. Ids are handed out in increasing order and never reused, so a removed row
// can never be mistaken for one added later. 0 is no row.
using RowId = quint64;

// Where a row stands, from its probe to the end of its conversion.
enum class RowState {
    NotProbed,  // its probe waits or runs; a run waits for it
    Ready,      // probed, or added with its clip chosen
    Unreadable, // the probe found nothing to convert in the file
    Queued,     // its conversion has started and is preparing (reading the source, planning)
    Converting, // the encoder runs
    Done,       // written
    Failed,
    Skipped, // a run passed over it: nothing to convert in it
    Cancelled,
};

// A row's state and what goes with it.
struct RowStatus {
    // A state and what to show about it; a bare state converts.
    RowStatus(RowState state = RowState::Ready, QString detail = {})
        : state(state), detail(std::move(detail)) {}
    static RowStatus converting(std::optional<double> fraction, QString detail);
    static RowStatus done(QString outputPath, qint64 outputBytes, QString detail);

    RowState state;
    std::optional<double> fraction; // Converting: how far, 0 to 1; none: not reported on the row
    QString outputPath;             // Done: the file written, as the user reads it
    qint64 outputBytes = 0;         // Done: its size
    QString detail; // what to show about it: why it failed, the encoder's last lines...
};

// One media file of the source list. Times are whole seconds.
struct SourceRow {
    RowId id = 0;
    QString path;
    std::optional<int> clipStart; // none until the probe or a chosen clip gives one
    std::optional<int> clipEnd;   // none: to the end of the file
    // Invalid while not known and for sound alone; 0x0 when the player could not be asked.
    QSize frameSize;
    QString format;            // the probed video format
    std::optional<int> length; // the probed length
    RowStatus status{RowState::NotProbed};
    // The probe a run waited for found no stream in the file: a run skips it.
    bool unreadable = false;
    // What the chosen profile would write (bitrate-based profiles only).
    std::optional<qint64> estimatedBytes;

    // False while a conversion must wait for the row's probe.
    bool probed() const { return status.state != RowState::NotProbed; }
};

// "12.3 MB", "850.0 kB"
QString byteSizeText(qint64 bytes);

// The source list as data: the rows in adding order, their probe state and their
// conversion status. The desktop's list view, the batch run and mirelo-cli all work on it.
// Columns: File Name, Start, End, Size, Format, Status, Video Time, Output Size. Rows hold numbers
// and states; every text the list shows is made here.
//
// Every added file is probed with the media player; probes run concurrently (at most one per
// core by default) and a row still being probed has only its file name.
class SourceListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        FileNameColumn = 0,
        StartColumn,
        EndColumn,
        SizeColumn,
        FormatColumn,
        StatusColumn,
        VideoTimeColumn,
        OutputSizeColumn,
        ColumnCount
    };
    // Column 0 also carries the row's hidden tag (its full path; the text shows a stand-in link
    // as the file it stands for), its id and whether it still waits for its probe.
    static constexpr int TagRole = Qt::UserRole;
    static constexpr int RowIdRole = Qt::UserRole + 1;
    static constexpr int ProbingRole = Qt::UserRole + 2;

    explicit SourceListModel(QObject* parent = nullptr);
    ~SourceListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // AddMediaFile: appends a row for the path and queues its probe, which fills the clip times
    // (0:00:00 to the length), size, format and length. A run waits for the probe.
    RowId addMediaFile(const QString& path);
    // Appends a row with the clip already chosen; nothing is probed and a run never waits for it.
    RowId addClip(const QString& path, int start, std::optional<int> end);
    // Probes a row added with addClip() for its size, format and length, keeping its clip times.
    void probeInBackground(RowId id);

    // Removing a row stops its probe. False when there is no such row.
    bool remove(RowId id);
    void clear();

    QList<RowId> ids() const;  // in list order
    RowId idAt(int row) const; // 0 when out of range
    int rowOf(RowId id) const; // -1 when gone
    // The row, or nullptr when it is gone. Valid until the list changes.
    const SourceRow* find(RowId id) const;
    // The row at a position; an empty row when out of range.
    const SourceRow& at(int row) const;

    // The conversion's state and what to show about it.
    void setStatus(RowId id, const RowStatus& status);
    // The clip editor's result.
    void setClipTimes(RowId id, int start, std::optional<int> end);
    void setEstimatedBytes(RowId id, std::optional<qint64> bytes);
    // A length learnt without the media player (the encoder's report on the file).
    void setLength(RowId id, int seconds);

    // What a column shows of a row; the file name as the row holds it.
    static QString text(const SourceRow& row, Column column);
    // "OK", "Fail", "Processing 42%"...; empty for a row that has not been converted.
    static QString statusText(const RowStatus& status);

    // True while any row waits for its probe.
    bool isProbing() const;
    // The probes behind the list (concurrency, player program).
    ProbeQueue& probeQueue() { return *m_probes; }
    // The links through which files named by bytes that are not UTF-8 are read; not owned. Their
    // rows show the file's own name, with those bytes as "\xNN".
    void setStandIns(const StandInLinks* links) { m_standIns = links; }

Q_SIGNALS:
    // A probe ended and the row's columns are filled; `problem` says what went wrong, if
    // anything (the row then keeps its defaults).
    void rowProbed(mirelo::RowId id, const QString& problem);
    // No probe is queued or running any more.
    void probingFinished();
    // The media player is missing: reported once until the probes have been idle again.
    void playerMissing(const QString& message);

private:
    struct Entry {
        SourceRow row;
        quint64 probeTicket = 0; // while a probe is queued or running
    };

    void onProbed(quint64 ticket, const MediaInfo& info, MediaProbe::Outcome outcome,
                  const QString& problem);
    RowId append(SourceRow row, bool probe);
    Entry* entry(RowId id);
    void changed(int row, Column first, Column last);
    template <typename T>
    void setCell(RowId id, T SourceRow::*field, Column column, const T& value);

    QString shown(const QString& text) const;

    ProbeQueue* m_probes;
    const StandInLinks* m_standIns = nullptr;
    std::vector<Entry> m_entries;
    RowId m_nextId = 1;
};

} // namespace mirelo
