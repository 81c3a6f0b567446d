#include "convert/RowJobs.h"

#include "base/ByteNames.h"

#include <QFileInfo>

#include <sys/stat.h>

namespace mirelo {

QHash<RowId, JobOrder> rowJobs(const SourceListModel& rows, const QList<RowId>& ids,
                               const JobOrder& common) {
    QHash<RowId, JobOrder> jobs;
    for (const RowId id : ids) {
        const SourceRow* row = rows.find(id);
        if (!row)
            continue;
        JobOrder job = common;
        job.source.path = row->path;
        job.clipStart = row->clipStart.value_or(0);
        job.clipEnd = row->clipEnd;
        jobs.insert(id, std::move(job));
    }
    return jobs;
}

namespace {

qint64 outputSize(const JobResult& result) {
    if (result.outputBytes.isEmpty())
        return QFileInfo(result.outputPath).size();
    struct stat st {};
    return ::stat(result.outputBytes.constData(), &st) == 0 ? st.st_size : 0;
}

} // namespace

RowState finishedState(JobOutcome outcome) {
    switch (outcome) {
    case JobOutcome::Ok:
        return RowState::Done;
    case JobOutcome::Cancel:
        return RowState::Cancelled;
    case JobOutcome::Fail:
    case JobOutcome::MissingInput:
        break;
    }
    return RowState::Failed;
}

RowStatus statusAfter(const JobResult& result) {
    switch (result.outcome) {
    case JobOutcome::MissingInput:
        return {RowState::Ready, result.message};
    case JobOutcome::Ok:
        return RowStatus::done(result.outputPath, outputSize(result), result.detail());
    case JobOutcome::Cancel:
    case JobOutcome::Fail:
        break;
    }
    return {finishedState(result.outcome), result.detail()};
}

JobSource rowSource(const SourceRow& row, const StandInLinks* links) {
    JobSource source;
    source.path = row.path;
    if (const QByteArray* bytes = links ? links->target(row.path) : nullptr)
        source.byteName = *bytes;
    if (row.length.value_or(0) > 0)
        source.length = *row.length;
    return source;
}

} // namespace mirelo
