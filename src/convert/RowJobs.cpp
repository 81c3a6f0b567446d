#include "convert/RowJobs.h"

#include "base/ByteNames.h"

namespace mirelo {

QHash<RowId, JobSpec> rowJobs(const SourceListModel& rows, const QList<RowId>& ids,
                              const JobSpec& common) {
    QHash<RowId, JobSpec> jobs;
    for (const RowId id : ids) {
        const SourceRow* row = rows.find(id);
        if (!row)
            continue;
        JobSpec job = common;
        job.source.path = row->path;
        job.clipStart = row->clipStart.value_or(0);
        job.clipEnd = row->clipEnd;
        jobs.insert(id, std::move(job));
    }
    return jobs;
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
