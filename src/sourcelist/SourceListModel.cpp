#include "sourcelist/SourceListModel.h"

#include "base/ByteNames.h"
#include "base/TimeString.h"
#include "probe/ProbeQueue.h"

#include <QDir>
#include <QLocale>

#include <algorithm>
#include <iterator>

namespace mirelo {

namespace {

struct ColumnLayout {
    const char* header;
    Qt::Alignment align;
};

// Headers and alignments of the columns.
// clang-format off
constexpr ColumnLayout kColumns[] = {
    {"File Name",  Qt::AlignLeft},
    {"Start",      Qt::AlignLeft},
    {"End",        Qt::AlignHCenter},
    {"Size",       Qt::AlignHCenter},
    {"Format",     Qt::AlignLeft},
    {"Status",     Qt::AlignLeft},
    {"Video Time", Qt::AlignLeft},
    {"Output Size", Qt::AlignRight},
};
// clang-format on
static_assert(std::size(kColumns) == SourceListModel::ColumnCount);

QString timeText(std::optional<int> seconds) {
    return seconds ? formatTimeString(*seconds) : QString();
}

// A known frame size; 0x0 stays visible, as a probe that could not ask the player.
QString frameSizeText(QSize size) {
    return size.isValid() ? QStringLiteral("%1x%2").arg(size.width()).arg(size.height())
                          : QString();
}

// What was written, or else the estimate of what would be.
QString outputSizeText(const SourceRow& row) {
    if (row.status.state == RowState::Done)
        return byteSizeText(row.status.outputBytes);
    return row.estimatedBytes ? QLatin1Char('~') + byteSizeText(*row.estimatedBytes) : QString();
}

// Only a probe the player ran tells about the file. A missing or unstartable player says nothing,
// so such rows keep their defaults and stay convertible.
bool playerRan(MediaProbe::Outcome outcome) {
    return outcome == MediaProbe::Outcome::Probed || outcome == MediaProbe::Outcome::PlayerFailed ||
           outcome == MediaProbe::Outcome::TimedOut;
}

int alignment(int column) {
    return int(kColumns[column].align | Qt::AlignVCenter);
}

} // namespace

SourceListModel::SourceListModel(QObject* parent)
    : QAbstractTableModel(parent), m_probes(new ProbeQueue(this)) {
    // Queued: a result always arrives after enqueue() has returned the ticket it carries.
    connect(
        m_probes, &ProbeQueue::probed, this,
        [this](quint64 ticket, const QString&, const MediaInfo& info, MediaProbe::Outcome outcome,
               const QString& problem) { onProbed(ticket, info, outcome, problem); },
        Qt::QueuedConnection);
    connect(m_probes, &ProbeQueue::playerMissing, this, &SourceListModel::playerMissing,
            Qt::QueuedConnection);
    connect(m_probes, &ProbeQueue::idle, this, &SourceListModel::probingFinished,
            Qt::QueuedConnection);
}

SourceListModel::~SourceListModel() {
    m_probes->cancelAll();
}

int SourceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

int SourceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SourceListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const SourceRow& row = m_entries[size_t(index.row())].row;
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return column == FileNameColumn ? shown(row.path) : text(row, Column(column));
    case Qt::TextAlignmentRole:
        return alignment(column);
    case Qt::ToolTipRole:
        if (column == FileNameColumn && !row.probed())
            return tr("Reading the file's size, format and length...");
        if (column == StatusColumn && !row.status.detail.isEmpty())
            return shown(row.status.detail);
        return {};
    case TagRole:
        return column == FileNameColumn ? QVariant(row.path) : QVariant();
    case RowIdRole:
        return row.id;
    case ProbingRole:
        return !row.probed();
    default:
        return {};
    }
}

QString SourceListModel::text(const SourceRow& row, Column column) {
    switch (column) {
    case FileNameColumn:
        return row.path;
    case StartColumn:
        return timeText(row.clipStart);
    case EndColumn:
        return timeText(row.clipEnd);
    case SizeColumn:
        return frameSizeText(row.frameSize);
    case FormatColumn:
        return row.format;
    case StatusColumn:
        return statusText(row.status);
    case VideoTimeColumn:
        return timeText(row.length);
    case OutputSizeColumn:
        return outputSizeText(row);
    case ColumnCount:
        break;
    }
    return {};
}

QString SourceListModel::statusText(const RowStatus& status) {
    switch (status.state) {
    case RowState::NotProbed:
    case RowState::Ready:
    case RowState::Queued:
        return {};
    case RowState::Unreadable:
        return tr("Unreadable");
    case RowState::Converting:
        return status.fraction ? tr("Processing %1%").arg(std::lround(*status.fraction * 100))
                               : tr("Processing");
    case RowState::Done:
        return tr("OK");
    case RowState::Failed:
        return tr("Fail");
    case RowState::Skipped:
        return tr("Skipped");
    case RowState::Cancelled:
        return tr("Cancel");
    }
    return {};
}

RowStatus RowStatus::converting(std::optional<double> fraction, QString detail) {
    RowStatus status(RowState::Converting, std::move(detail));
    status.fraction = fraction;
    return status;
}

RowStatus RowStatus::done(QString outputPath, qint64 outputBytes, QString detail) {
    RowStatus status(RowState::Done, std::move(detail));
    status.outputPath = std::move(outputPath);
    status.outputBytes = outputBytes;
    return status;
}

QString byteSizeText(qint64 bytes) {
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString SourceListModel::shown(const QString& text) const {
    return m_standIns ? m_standIns->visibleText(text) : text;
}

QVariant SourceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kColumns[section].header);
    if (role == Qt::TextAlignmentRole)
        return alignment(section);
    return {};
}

RowId SourceListModel::addMediaFile(const QString& path) {
    SourceRow row;
    row.path = path;
    return append(std::move(row), true);
}

RowId SourceListModel::addClip(const QString& path, int start, std::optional<int> end) {
    SourceRow row;
    row.path = path;
    row.clipStart = start;
    row.clipEnd = end;
    row.status.state = RowState::Ready;
    return append(std::move(row), false);
}

RowId SourceListModel::append(SourceRow row, bool probe) {
    const int position = rowCount();
    row.id = m_nextId++;
    beginInsertRows({}, position, position);
    m_entries.push_back({std::move(row), 0});
    endInsertRows();
    Entry& added = m_entries.back();
    if (probe)
        added.probeTicket = m_probes->enqueue(added.row.path);
    return added.row.id;
}

void SourceListModel::probeInBackground(RowId id) {
    if (Entry* e = entry(id); e && e->probeTicket == 0)
        e->probeTicket = m_probes->enqueue(e->row.path);
}

void SourceListModel::onProbed(quint64 ticket, const MediaInfo& info, MediaProbe::Outcome outcome,
                               const QString& problem) {
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [ticket](const Entry& e) { return e.probeTicket == ticket; });
    if (it == m_entries.end())
        return; // removed meanwhile
    SourceRow& row = it->row;
    std::optional<int> length;
    if (const std::optional<qint64> seconds = info.wholeSeconds())
        length = int(*seconds);
    // A row added by the user takes its clip from the probe, and a run waits for that probe, so
    // its verdict decides whether the file is converted at all. A chosen clip stays, and its
    // background probe only fills in the other columns.
    const bool awaited = !row.probed();
    if (awaited) {
        row.clipStart = 0;
        row.clipEnd = length;
        row.status.state = RowState::Ready;
    }
    const bool known = playerRan(outcome);
    // Sound alone has no frame size; "0x0" would read as a broken picture.
    const bool noFrame = info.width == 0 || info.height == 0;
    row.frameSize = known && noFrame ? QSize() : QSize(info.width, info.height);
    row.format = info.videoFormat;
    row.length = length;
    row.unreadable = awaited && known && !info.hasVideoStream && !info.hasAudioStream;
    if (row.unreadable) {
        const QString reason = problem.isEmpty() ? tr("%1: no audio or video could be read from it")
                                                       .arg(QDir::toNativeSeparators(row.path))
                                                 : problem;
        row.status = {RowState::Unreadable, reason};
    }
    it->probeTicket = 0;
    changed(int(it - m_entries.begin()), FileNameColumn, VideoTimeColumn);
    Q_EMIT rowProbed(row.id, problem);
}

bool SourceListModel::remove(RowId id) {
    const int position = rowOf(id);
    if (position < 0)
        return false;
    if (const quint64 ticket = m_entries[size_t(position)].probeTicket)
        m_probes->cancel(ticket);
    beginRemoveRows({}, position, position);
    m_entries.erase(m_entries.begin() + position);
    endRemoveRows();
    return true;
}

void SourceListModel::clear() {
    m_probes->cancelAll();
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

QList<RowId> SourceListModel::ids() const {
    QList<RowId> result;
    result.reserve(qsizetype(m_entries.size()));
    for (const Entry& e : m_entries)
        result += e.row.id;
    return result;
}

RowId SourceListModel::idAt(int row) const {
    return row >= 0 && row < rowCount() ? m_entries[size_t(row)].row.id : 0;
}

int SourceListModel::rowOf(RowId id) const {
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [id](const Entry& e) { return e.row.id == id; });
    return it == m_entries.end() ? -1 : int(it - m_entries.begin());
}

const SourceRow* SourceListModel::find(RowId id) const {
    const int position = rowOf(id);
    return position < 0 ? nullptr : &m_entries[size_t(position)].row;
}

SourceListModel::Entry* SourceListModel::entry(RowId id) {
    const int position = rowOf(id);
    return position < 0 ? nullptr : &m_entries[size_t(position)];
}

const SourceRow& SourceListModel::at(int row) const {
    static const SourceRow none;
    return row >= 0 && row < rowCount() ? m_entries[size_t(row)].row : none;
}

void SourceListModel::setStatus(RowId id, const RowStatus& status) {
    Entry* e = entry(id);
    if (!e)
        return;
    e->row.status = status;
    // The output size shows what a finished row wrote.
    changed(rowOf(id), StatusColumn, OutputSizeColumn);
}

void SourceListModel::setClipTimes(RowId id, int start, std::optional<int> end) {
    Entry* e = entry(id);
    if (!e)
        return;
    e->row.clipStart = start;
    e->row.clipEnd = end;
    changed(rowOf(id), StartColumn, EndColumn);
}

template <typename T>
void SourceListModel::setCell(RowId id, T SourceRow::*field, Column column, const T& value) {
    Entry* e = entry(id);
    if (!e || e->row.*field == value)
        return;
    e->row.*field = value;
    changed(rowOf(id), column, column);
}

void SourceListModel::setEstimatedBytes(RowId id, std::optional<qint64> bytes) {
    setCell(id, &SourceRow::estimatedBytes, OutputSizeColumn, bytes);
}

void SourceListModel::setLength(RowId id, int seconds) {
    setCell(id, &SourceRow::length, VideoTimeColumn, std::optional<int>(seconds));
}

bool SourceListModel::isProbing() const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [](const Entry& e) { return !e.row.probed(); });
}

void SourceListModel::changed(int row, Column first, Column last) {
    Q_EMIT dataChanged(index(row, first), index(row, last));
}

} // namespace mirelo
