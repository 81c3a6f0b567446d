#pragma once

#include "convert/JobOrder.h"
#include "convert/JobResult.h"
#include "sourcelist/SourceListModel.h"

#include <QHash>
#include <QList>

namespace mirelo {

class StandInLinks;

// What each row of a run converts, fixed when the run starts: the run's choices (profile,
// options, output folder, policy, as in `common`) with the row's file and clip. Rows gone from
// the list are left out.
QHash<RowId, JobOrder> rowJobs(const SourceListModel& rows, const QList<RowId>& ids,
                               const JobOrder& common);

// How a job's outcome leaves its row: a missing input counts as failed.
RowState finishedState(JobOutcome outcome);
// The row's status once its job has ended: done with the size written, failed or cancelled with
// the details, or, for a missing input, back to ready with the reason (not converted, and not
// failed either: the run stops before it).
RowStatus statusAfter(const JobResult& result);

// The file a row converts, with what is known of it when its job starts: a length the probe or a
// read ahead found after the run began counts. links: the stand-ins of files named by bytes.
JobSource rowSource(const SourceRow& row, const StandInLinks* links);

} // namespace mirelo
