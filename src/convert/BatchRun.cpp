#include "convert/BatchRun.h"

#include "base/ByteNames.h"
#include "base/CoreCount.h"
#include "base/IniFile.h"
#include "base/TimeString.h"
#include "base/ToolLocator.h"
#include "convert/EncoderCapabilities.h"
#include "convert/OutputSizeEstimate.h"
#include "convert/RowJobs.h"
#include "convert/RunPreparation.h"
#include "convert/TemporaryOutput.h"
#include "platform/FolderOpener.h"
#include "platform/MessageSink.h"
#include "platform/PowerService.h"
#include "profiles/Catalog.h"
#include "settings/AppSettings.h"
#include "settings/SimultaneousJobs.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <utility>

#include <sys/stat.h>

namespace mirelo {

namespace {

const char kCanceled[] = "Conversion Canceled by the user!";

} // namespace

BatchRun::BatchRun(SourceListModel& rows, const OptionSheet& sheet, QObject* parent)
    : QObject(parent), m_rows(rows), m_sheet(sheet), m_queue(rows) {
    connect(&m_queue, &RunQueue::ready, this, &BatchRun::startRows);
}

BatchRun::~BatchRun() {
    // The jobs go first: they hold the run's name reservations and report to it.
    for (Active& a : m_active)
        delete a.job.data();
    if (m_running && m_platform.power)
        m_platform.power->releaseSleep();
}

void BatchRun::setLoadSource(CpuLoadSource* source) {
    m_queue.setLoadSource(source);
}

int BatchRun::totalProgress() const {
    return std::clamp(m_overall, 0, 100);
}

qint64 BatchRun::elapsedSeconds() const {
    return (m_running ? m_clock.elapsed() : m_lastDurationMs) / 1000;
}

bool BatchRun::start() {
    if (m_running)
        return false;
    m_ids = m_rows.ids();
    if (m_ids.isEmpty())
        return false;
    const ProfileId profile = m_profile ? m_profile() : ProfileId();
    if (!isProfile(profile)) {
        if (m_platform.messages)
            m_platform.messages->showError(
                QStringLiteral("Please choose an output profile first: pick a profile in the "
                               "profile list, not a category heading."));
        return false;
    }
    if (!prepareSettings())
        return false;

    m_running = true;
    m_cancelRequested = false;
    m_outcome.clear();
    m_active.clear();
    m_finishedRows = 0;
    m_stopMessage.clear();
    m_reservations.clear();
    freezeJobs(profile);
    m_overall = 0;
    m_rate = {};
    m_clock.start();
    Q_EMIT runningChanged(true);
    setTotal(0);
    if (m_platform.power)
        m_platform.power->inhibitSleep(QStringLiteral("Converting video files"));

    if (cachedCapabilities(m_jobSettings.encoderPath)) {
        beginRows();
        return true;
    }
    m_loader = std::make_unique<CapabilityLoader>();
    connect(m_loader.get(), &CapabilityLoader::loaded, this, &BatchRun::beginRows);
    connect(m_loader.get(), &CapabilityLoader::failed, this, &BatchRun::stopRun);
    m_loader->start(m_jobSettings.encoderPath);
    return true;
}

bool BatchRun::prepareSettings() {
    const RunSettings s = m_settings ? m_settings() : RunSettings{};
    const RunStart start = checkRunStart(s, m_encoderPath);
    if (!start.error.isEmpty()) {
        if (m_platform.messages)
            m_platform.messages->showError(start.error);
        return false;
    }
    removeStaleTemporaryOutputs(start.outputFolder);
    const bool overwrite = s.existingFile == ExistingFilePolicy::Overwrite;
    m_jobSettings = {start.outputFolder, overwrite, start.encoder, nullptr,
                     &m_reservations,    m_standIns};
    m_queue.setLimit(s.jobs);
    return true;
}

// What each row converts is fixed now: later changes in the window apply to the next run. What the
// probe learns of a file still waiting for it is added when its row starts. No output of the run
// may replace one of its sources.
void BatchRun::freezeJobs(ProfileId profile) {
    JobOrder common;
    common.profile = profile;
    common.options = SheetValues(m_sheet);
    common.outputFolder = m_jobSettings.outputFolder;
    common.overwrite = m_jobSettings.overwrite;
    m_jobs = rowJobs(m_rows, m_ids, common);
    for (const JobOrder& job : std::as_const(m_jobs))
        m_reservations.addSource(job.source.path);
}

void BatchRun::beginRows() {
    if (m_loader) // called from the loader's own signal
        m_loader.release()->deleteLater();
    m_jobSettings.capabilities = cachedCapabilities(m_jobSettings.encoderPath);
    m_queue.begin(m_ids, m_jobSettings.encoderPath);
    startRows();
}

// Starts the rows in list order, as many as the limit lets run at once; ends the run when no row
// is left and none runs.
void BatchRun::startRows() {
    if (!m_running || m_loader)
        return;
    if (m_cancelRequested || !m_stopMessage.isEmpty()) {
        afterRow();
        return;
    }
    while (const RowId id = m_queue.takeNext(runningCount(), eachKeepsOneCore())) {
        const SourceRow* row = m_rows.find(id);
        if (row->unreadable) {
            skipUnreadable(*row);
            if (m_cancelRequested)
                return; // asked for while the skip was reported; the queued afterRow() ends the run
            continue;
        }
        startJob(id, *row);
    }
    updateLoadTimer();
    if (m_queue.isEmpty() && m_active.empty())
        complete();
}

bool BatchRun::eachKeepsOneCore() const {
    return std::all_of(m_active.begin(), m_active.end(),
                       [](const Active& a) { return a.job && a.job->keepsOneCore(); });
}

void BatchRun::updateLoadTimer() {
    m_queue.updateLoadTimer(m_running && !m_cancelRequested && m_stopMessage.isEmpty(),
                            runningCount());
}

void BatchRun::startJob(RowId id, const SourceRow& row) {
    JobOrder job = m_jobs.take(id);
    job.source = rowSource(row, m_standIns);
    m_queue.started(id);
    JobSettings settings = m_jobSettings;
    settings.threads = m_queue.threadsPerJob();
    auto* conversion = new ConversionJob(std::move(job), settings, this);
    m_active.push_back({id, conversion, {}});
    m_rows.setStatus(id, RowState::Queued);
    connect(conversion, &ConversionJob::processing, this, [this, id](const QString& caption) {
        m_rows.setStatus(id, RowStatus::converting(std::nullopt, caption));
        Q_EMIT rowStarted(id, shown(caption));
    });
    connect(conversion, &ConversionJob::progressChanged, this,
            [this, id](int percent) { onJobProgress(id, percent); });
    connect(conversion, &ConversionJob::rateChanged, this,
            [this, id](double done, double expected, double speed) {
                onJobRate(id, done, expected, speed);
            });
    connect(conversion, &ConversionJob::finished, this,
            [this, id](const JobResult& result) { onJobFinished(id, result); });
    conversion->start();
}

BatchRun::Active* BatchRun::active(RowId id) {
    const auto it = std::find_if(m_active.begin(), m_active.end(),
                                 [id](const Active& a) { return a.id == id; });
    return it == m_active.end() ? nullptr : &*it;
}

void BatchRun::onJobProgress(RowId id, int percent) {
    Active* a = active(id);
    if (!a)
        return;
    a->report.percent = percent;
    // One at a time, the item bar shows the row's progress and the row only says it converts.
    if (const SourceRow* row = m_rows.find(id); row && !m_queue.oneAtATime() && percent < 100)
        m_rows.setStatus(id, RowStatus::converting(percent / 100.0, row->status.detail));
    showTrack();
    showRunningTotal();
}

std::vector<RunningRow> BatchRun::runningRows() const {
    std::vector<RunningRow> running;
    for (const Active& a : m_active)
        running.push_back(a.report);
    return running;
}

void BatchRun::showTrack() {
    if (const std::optional<int> percent = itemPercent(runningRows()))
        setTrack(*percent);
}

// With several rows at once the overall bar moves with the running rows too. One at a time, it
// moves only as rows end.
void BatchRun::showRunningTotal() {
    if (m_queue.oneAtATime())
        return;
    const int value = overallPercent(m_finishedRows, runningRows(), m_rows.rowCount());
    if (value != m_overall)
        setTotal(value);
}

// The encoder would only fail on a file the player found nothing in; the row says why it is left.
// Reported as a failed row too, so that whoever counts the run's rows counts it as not converted.
void BatchRun::skipUnreadable(const SourceRow& row) {
    JobResult skipped;
    skipped.outcome = JobOutcome::Fail;
    skipped.message = QStringLiteral("Not converted: no audio or video could be read from it. %1")
                          .arg(row.status.detail);
    const RowId id = row.id;
    m_rows.setStatus(id, {RowState::Skipped, skipped.message});
    m_outcome.add(shown(row.path), RowState::Skipped, shown(skipped.message));
    Q_EMIT rowFinished(id, skipped);
}

void BatchRun::onJobRate(RowId id, double done, double expected, double speed) {
    Active* reporting = active(id);
    if (!reporting)
        return;
    reporting->report.done = done;
    reporting->report.expected = expected;
    reporting->report.speed = speed;
    m_rate = runRate(runningRows(), m_queue.laterSeconds());
    Q_EMIT rateChanged(m_rate);
}

void BatchRun::onJobFinished(RowId id, const JobResult& result) {
    const auto it = std::find_if(m_active.begin(), m_active.end(),
                                 [id](const Active& a) { return a.id == id; });
    if (it == m_active.end())
        return;
    if (it->job)
        it->job->deleteLater();
    m_active.erase(it);
    ++m_finishedRows;
    if (result.outcome == JobOutcome::Ok || result.outcome == JobOutcome::Fail) {
        const SourceRow* row = m_rows.find(id);
        m_outcome.add(shown(row ? row->path : result.outputPath), finishedState(result.outcome),
                      shown(result.detail()));
    }
    // A missing input: no new row starts; the run stops once the running ones have ended.
    if (result.outcome == JobOutcome::MissingInput && m_stopMessage.isEmpty())
        m_stopMessage = result.message;
    if (result.outcome == JobOutcome::Ok && m_queue.oneAtATime())
        setTotal(overallAfterRow(m_overall, m_rows.rowCount()));
    // Whoever hears of a cancelled row hears of it before the row says so.
    if (result.outcome == JobOutcome::Cancel)
        Q_EMIT rowFinished(id, result);
    m_rows.setStatus(id, statusAfter(result));
    if (result.outcome != JobOutcome::Cancel)
        Q_EMIT rowFinished(id, result);
    showTrack();
    showRunningTotal();
    if (m_cancelRequested || !m_stopMessage.isEmpty())
        afterRow();
    else
        startRows();
}

// Cancelled or stopped: the run ends once its last running row has.
void BatchRun::afterRow() {
    updateLoadTimer();
    if (!m_running || !m_active.empty())
        return;
    if (m_cancelRequested)
        cancelPath();
    else
        stopRun(m_stopMessage);
}

void BatchRun::cancel() {
    if (!m_running || m_cancelRequested)
        return;
    m_cancelRequested = true;
    m_queue.stop();
    if (!m_active.empty()) {
        // Copied: a job may answer at once. Their Cancel results come back through
        // onJobFinished().
        const std::vector<Active> running = m_active;
        for (const Active& a : running)
            if (a.job)
                a.job->cancel();
        return;
    }
    if (m_loader) {
        // Still reading the encoder's capability lists: they are not waited for.
        m_loader.reset();
        cancelPath();
        return;
    }
    // Between rows, or waiting for a probe.
    QMetaObject::invokeMethod(this, &BatchRun::afterRow, Qt::QueuedConnection);
}

void BatchRun::cancelPath() {
    setTrack(0);
    setTotal(0);
    endRun(RunEnd::Cancelled, QLatin1String(kCanceled));
    if (m_platform.messages)
        m_platform.messages->showError(QLatin1String(kCanceled));
}

// A missing input file, or an encoder that cannot list its capabilities: the run ends at once
// and its indicators go back to rest.
void BatchRun::stopRun(const QString& message) {
    if (m_loader)
        m_loader.release()->deleteLater();
    setTrack(0);
    setTotal(0);
    endRun(RunEnd::Stopped, message);
    if (m_platform.messages)
        m_platform.messages->showError(shown(message));
}

// The end actions come after the run has ended, in this order: shutdown (when asked for), the
// completion message, the output folder.
void BatchRun::complete() {
    setTotal(100);
    const RunSettings s = m_settings ? m_settings() : RunSettings{};
    const CompletedRun run{m_outcome, m_jobSettings.outputFolder, s.shutDown};
    setTrack(0);
    setTotal(0);
    endRun(RunEnd::Completed, {});
    for (const auto& action : endActions(m_platform))
        action->afterRun(run);
}

void BatchRun::endRun(RunEnd end, const QString& message) {
    m_lastDurationMs = m_clock.elapsed();
    m_running = false;
    m_cancelRequested = false;
    m_queue.stop();
    if (m_platform.power)
        m_platform.power->releaseSleep();
    Q_EMIT runningChanged(false);
    Q_EMIT finished(end, message);
}

// A stand-in link is the run's own business: texts name the file it stands for.
QString BatchRun::shown(const QString& text) const {
    return m_standIns ? m_standIns->visibleText(text) : text;
}

void BatchRun::setTrack(int value) {
    m_track = value;
    Q_EMIT trackProgressChanged(value);
}

void BatchRun::setTotal(int value) {
    m_overall = value;
    Q_EMIT totalProgressChanged(totalProgress());
}

} // namespace mirelo
