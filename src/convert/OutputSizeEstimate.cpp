#include "convert/OutputSizeEstimate.h"

#include "base/TimeString.h"
#include "convert/ConversionPlan.h"
#include "profiles/OptionSheet.h"
#include "sourcelist/SourceListModel.h"

#include <QHash>
#include <QRegularExpression>
#include <QTimer>

#include <cmath>

namespace mirelo {

namespace {

// The options of the output, by name; the value after "-i" is a path, never an option.
QHash<QString, QString> outputOptions(const QStringList& arguments) {
    QHash<QString, QString> options;
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (!a.startsWith(QLatin1Char('-')))
            continue;
        const bool valued =
            i + 2 < arguments.size() && !arguments[i + 1].startsWith(QLatin1Char('-'));
        options.insert(a, valued ? arguments[i + 1] : QString());
        if (a == QLatin1String("-i") || valued)
            ++i;
    }
    return options;
}

std::optional<double> firstBitrate(const QHash<QString, QString>& options,
                                   std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (const auto it = options.constFind(QLatin1String(name)); it != options.constEnd())
            return bitsPerSecond(*it);
    return std::nullopt;
}

bool copies(const QHash<QString, QString>& options, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (options.value(QLatin1String(name)) == QLatin1String("copy"))
            return true;
    return false;
}

} // namespace

std::optional<double> bitsPerSecond(const QString& value) {
    static const QRegularExpression number(QStringLiteral("^(\\d+(?:\\.\\d+)?)([kKmM]?)$"));
    const QRegularExpressionMatch m = number.match(value.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QString unit = m.captured(2).toLower();
    const double scale = unit == QLatin1String("k") ? 1e3 : unit == QLatin1String("m") ? 1e6 : 1.0;
    return m.captured(1).toDouble() * scale;
}

std::optional<qint64> estimatedOutputBytes(const QStringList& arguments, double seconds) {
    if (seconds <= 0)
        return std::nullopt;
    const QHash<QString, QString> options = outputOptions(arguments);
    if (copies(options, {"-c", "-codec"}))
        return std::nullopt;
    double bits = 0;
    if (!options.contains(QStringLiteral("-vn"))) {
        const std::optional<double> video = firstBitrate(options, {"-b:v", "-b", "-vb"});
        if (!video || copies(options, {"-c:v", "-vcodec", "-codec:v"}))
            return std::nullopt;
        bits += *video;
    }
    if (!options.contains(QStringLiteral("-an"))) {
        const std::optional<double> audio = firstBitrate(options, {"-b:a", "-ab"});
        if (!audio || copies(options, {"-c:a", "-acodec", "-codec:a"}))
            return std::nullopt;
        bits += *audio;
    }
    return qint64(std::llround(bits * seconds / 8));
}

OutputSizeEstimates::OutputSizeEstimates(SourceListModel& rows, const OptionSheet& sheet,
                                         QObject* parent)
    : QObject(parent), m_rows(rows), m_sheet(sheet) {
    // A probe or an edit changes its own row only: a long list being probed is not worked out
    // again for every file.
    connect(&rows, &SourceListModel::rowProbed, this, [this](RowId id) { refreshRows(id, id); });
    connect(&rows, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) {
                // The clip or the status; never the estimates' own column.
                if (first.column() <= SourceListModel::StatusColumn &&
                    last.column() >= SourceListModel::StartColumn)
                    refreshRows(m_rows.idAt(first.row()), m_rows.idAt(last.row()));
            });
    connect(&sheet, &OptionSheet::itemChanged, this, &OutputSizeEstimates::refresh);
    connect(&sheet, &OptionSheet::structureChanged, this, &OutputSizeEstimates::refresh);
}

void OutputSizeEstimates::refresh() {
    m_allDue = true;
    schedule();
}

void OutputSizeEstimates::refreshRows(RowId first, RowId last) {
    const int from = m_rows.rowOf(first), to = m_rows.rowOf(last);
    for (int row = from; from >= 0 && row <= to; ++row)
        m_dueRows.insert(m_rows.idAt(row));
    schedule();
}

void OutputSizeEstimates::schedule() {
    if (m_due)
        return;
    m_due = true;
    QTimer::singleShot(0, this, [this] {
        m_due = false;
        update();
    });
}

void OutputSizeEstimates::update() {
    const ProfileId profile = m_profile ? m_profile() : ProfileId();
    const QList<RowId> due =
        m_allDue ? m_rows.ids() : QList<RowId>(m_dueRows.begin(), m_dueRows.end());
    m_allDue = false;
    m_dueRows.clear();
    for (const RowId id : due) {
        const SourceRow* row = m_rows.find(id);
        // A row the run has taken keeps the estimate of what it writes.
        if (!row || row->status.state == RowState::Queued ||
            row->status.state == RowState::Converting)
            continue;
        m_rows.setEstimatedBytes(id, estimateFor(*row, profile));
    }
}

std::optional<qint64> OutputSizeEstimates::estimateFor(const SourceRow& row,
                                                       ProfileId profile) const {
    if (!row.probed() || row.length.value_or(0) <= 0)
        return std::nullopt;
    const QString start = formatTimeString(row.clipStart.value_or(0));
    const QString end = row.clipEnd ? formatTimeString(*row.clipEnd) : QString();
    const PlanRow planRow{row.path, start, end, double(*row.length), {}, nullptr};
    JobSettings settings;
    settings.encoderPath = QStringLiteral("ffmpeg");
    const PlanOutcome planned = planConversion(planRow, m_sheet, profile, settings);
    if (!planned.plan)
        return std::nullopt;
    return estimatedOutputBytes(planned.plan->arguments, planned.plan->expectedSeconds);
}

} // namespace mirelo
