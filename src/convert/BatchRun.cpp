#include "convert/BatchRun.h"

#include "base/ByteNames.h"
#include "base/CoreCount.h"
#include "base/IniFile.h"
#include "base/TimeString.h"
#include "base/ToolLocator.h"
#include "convert/EncoderCapabilities.h"
#include "convert/OutputSizeEstimate.h"
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
constexpr int kLoadCheckMs = 250;

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

BatchRun::BatchRun(SourceListModel& rows, const OptionSheet& sheet, QObject* parent)
    : QObject(parent), m_rows(rows), m_sheet(sheet), m_systemLoad(std::make_unique<ProcCpuLoad>()),
      m_auto(std::make_unique<AutoJobLimit>(*m_systemLoad)) {
    // A row the run waits for may end its probe or go away.
    connect(&m_rows, &SourceListModel::rowProbed, this, &BatchRun::onRowsChanged);
    connect(&m_rows, &QAbstractItemModel::rowsRemoved, this, &BatchRun::onRowsChanged);
    connect(&m_rows, &QAbstractItemModel::modelReset, this, &BatchRun::onRowsChanged);
    m_loadTimer.setInterval(kLoadCheckMs);
    connect(&m_loadTimer, &QTimer::timeout, this, &BatchRun::startRows);
}

BatchRun::~BatchRun() {
    // The jobs go first: they hold the run's name reservations and report to it.
    for (Active& a : m_active)
        delete a.job.data();
    if (m_running && m_platform.power)
        m_platform.power->releaseSleep();
}

void BatchRun::setLoadSource(CpuLoadSource* source) {
    m_auto = std::make_unique<AutoJobLimit>(source ? *source : *m_systemLoad);
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
    m_index = 0;
    m_active.clear();
    m_finishedRows = 0;
    m_stopMessage.clear();
    m_reservations.clear();
    freezeJobs(profile);
    m_auto->reset();
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
    QString encoder = m_encoderPath.isEmpty() ? locateEncoder() : m_encoderPath;
    if (encoder.isEmpty()) {
        if (m_platform.messages)
            m_platform.messages->showError(
                QStringLiteral("The encoder \"%1\" was not found. Install FFmpeg, or place the "
                               "encoder in %2 as fp.dll.")
                    .arg(encoderDisplayName(), applicationFolder()));
        return false;
    }
    const QString folder = s.outputFolder.trimmed().isEmpty()
                               ? defaultOutputFolder(applicationFolder())
                               : s.outputFolder.trimmed();
    // Qt would turn bytes that are not UTF-8 into U+FFFD and write into another folder.
    if (!pathReachesFileSystemIntact(folder)) {
        if (m_platform.messages)
            m_platform.messages->showError(
                QStringLiteral("The output folder \"%1\" is not valid UTF-8 text, so it cannot be "
                               "used as written and nothing is converted. Choose the output "
                               "folder again in Video Settings.")
                    .arg(printableSettingsText(folder)));
        return false;
    }
    if (!QDir().mkpath(folder)) {
        if (m_platform.messages)
            m_platform.messages->showError(
                QStringLiteral("The output folder %1 does not exist and cannot be created.")
                    .arg(folder));
        return false;
    }
    removeStaleTemporaryOutputs(folder);
    const bool overwrite = s.existingFile == ExistingFilePolicy::Overwrite;
    m_jobSettings = {folder, overwrite, encoder, nullptr, &m_reservations, m_standIns};
    m_limit = s.jobs;
    return true;
}

// What each row converts is fixed now: later changes in the window apply to the next run. What the
// probe learns of a file still waiting for it is added when its row starts.
void BatchRun::freezeJobs(ProfileId profile) {
    JobSpec common;
    common.profile = profile;
    common.options = SheetValues(m_sheet);
    common.outputFolder = m_jobSettings.outputFolder;
    common.overwrite = m_jobSettings.overwrite;
    m_jobs.clear();
    for (const RowId id : std::as_const(m_ids)) {
        const SourceRow* row = m_rows.find(id);
        if (!row)
            continue;
        m_reservations.addSource(row->path);
        JobSpec job = common;
        job.source.path = row->path;
        job.clipStart = row->clipStart.value_or(0);
        job.clipEnd = row->clipEnd;
        m_jobs.insert(id, std::move(job));
    }
}

// The file's facts as the probe found them.
JobSource BatchRun::sourceOf(const SourceRow& row) const {
    JobSource source;
    source.path = row.path;
    if (const QByteArray* bytes = m_standIns ? m_standIns->target(row.path) : nullptr)
        source.byteName = *bytes;
    if (row.length.value_or(0) > 0)
        source.length = *row.length;
    return source;
}

void BatchRun::beginRows() {
    if (m_loader) // called from the loader's own signal
        m_loader.release()->deleteLater();
    m_jobSettings.capabilities = cachedCapabilities(m_jobSettings.encoderPath);
    startReadAhead();
    startRows();
}

// Every row's file is read ahead, several to one encoder: the first rows start as soon as the
// encoder has gone past their files, later ones are read while earlier ones convert, and a row the
// list knows no length of gets one for the estimates.
void BatchRun::startReadAhead() {
    m_readAhead = std::make_unique<SourceReadAhead>(m_jobSettings.encoderPath);
    connect(m_readAhead.get(), &SourceReadAhead::read, this,
            [this](quint64 id, const SourceStreams& streams) {
                const SourceRow* row = m_rows.find(id);
                if (row && !row->length && streams.duration && *streams.duration >= 1)
                    m_rows.setLength(id, int(std::llround(*streams.duration)));
                // Files read already are reported as they come, before or after the awaited one.
                if (m_waitingForRead == id) {
                    m_waitingForRead = 0;
                    startRows();
                }
            });
    std::vector<SourceReadAhead::File> files;
    for (const RowId id : m_ids)
        if (const SourceRow* row = m_rows.find(id))
            files.push_back({row->id, row->path});
    m_readAhead->enqueue(files);
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
    m_waitingForProbe = false;
    while (m_index < m_ids.size()) {
        const SourceRow* row = m_rows.find(m_ids[m_index]);
        if (!row) {
            ++m_index; // removed during the run
            continue;
        }
        if (!row->probed()) {
            m_waitingForProbe = true; // onRowsChanged() comes back here
            break;
        }
        if (!mayStartAnother())
            break;
        if (m_readAhead && m_readAhead->isReading(row->id)) {
            m_waitingForRead = row->id; // the read's end comes back here; a second read would not
            break;
        }
        ++m_index;
        if (row->unreadable) {
            skipUnreadable(*row);
            if (m_cancelRequested)
                return; // asked for while the skip was reported; the queued afterRow() ends the run
            continue;
        }
        startJob(row->id, *row);
    }
    updateLoadTimer();
    if (m_index >= m_ids.size() && m_active.empty())
        complete();
}

bool BatchRun::mayStartAnother() {
    const int running = runningCount();
    if (running == 0)
        return true;
    if (!m_limit.automatic)
        return running < m_limit.count;
    const bool oneThreadEach = std::all_of(m_active.begin(), m_active.end(), [](const auto& a) {
        return a.job && a.job->keepsOneCore();
    });
    return m_auto->mayStart(running, oneThreadEach);
}

// Jobs side by side split the cores between them; a job alone keeps the encoder's own choice.
int BatchRun::threadsPerJob() const {
    const int places = m_limit.automatic ? m_auto->places() : m_limit.count;
    return places > 1 ? std::max(1, coreCount() / places) : 0;
}

// The run may end while the read-ahead reports a read: it goes once it has returned.
void BatchRun::stopReadAhead() {
    if (!m_readAhead)
        return;
    m_readAhead->disconnect(this);
    m_readAhead->stop();
    m_readAhead->setParent(this);
    m_readAhead.release()->deleteLater();
}

// "auto" looks at the machine's load again while rows wait for a place.
void BatchRun::updateLoadTimer() {
    const bool waiting = m_running && m_limit.automatic && !m_cancelRequested &&
                         m_stopMessage.isEmpty() && !m_waitingForProbe && m_index < m_ids.size() &&
                         !m_active.empty();
    if (!waiting)
        m_loadTimer.stop();
    else if (!m_loadTimer.isActive())
        m_loadTimer.start();
}

void BatchRun::onRowsChanged() {
    if (m_running && m_waitingForProbe)
        startRows();
}

void BatchRun::startJob(RowId id, const SourceRow& row) {
    JobSpec job = m_jobs.take(id);
    job.source = sourceOf(row);
    if (m_readAhead)
        m_readAhead->forget(id);
    JobSettings settings = m_jobSettings;
    settings.threads = threadsPerJob();
    auto* conversion = new ConversionJob(std::move(job), settings, this);
    m_active.push_back({id, conversion});
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
    a->percent = percent;
    // One at a time, the item bar shows the row's progress and the row only says it converts.
    if (const SourceRow* row = m_rows.find(id); row && !oneAtATime() && percent < 100)
        m_rows.setStatus(id, RowStatus::converting(percent / 100.0, row->status.detail));
    showTrack();
    showRunningTotal();
}

// The item bar: the mean of the percents of the rows whose encoder runs. A row still reading its
// source has no percent yet and would pull the bar back below its starting value.
void BatchRun::showTrack() {
    int sum = 0, encoding = 0;
    for (const Active& a : m_active) {
        if (a.percent <= 0)
            continue;
        sum += a.percent;
        ++encoding;
    }
    if (encoding > 0)
        setTrack(sum / encoding);
}

// With several rows at once the overall bar moves with the running rows too. One at a time, it
// moves only as rows end, by each row's share as the list then stands.
void BatchRun::showRunningTotal() {
    if (oneAtATime())
        return;
    double rows = m_finishedRows;
    for (const Active& a : m_active)
        rows += a.percent / 100.0;
    const int count = std::max(1, m_rows.rowCount());
    const int value = static_cast<int>(std::nearbyint(100.0 * rows / count));
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

double BatchRun::rowSeconds(const SourceRow& row) const {
    const int start = row.clipStart.value_or(0);
    if (row.clipEnd > start)
        return *row.clipEnd - start;
    return std::max(0, row.length.value_or(0) - start);
}

void BatchRun::onJobRate(RowId id, double done, double expected, double speed) {
    Active* reporting = active(id);
    if (!reporting)
        return;
    reporting->done = done;
    reporting->expected = expected;
    reporting->speed = speed;
    double later = 0;
    for (qsizetype i = m_index; i < m_ids.size(); ++i)
        if (const SourceRow* row = m_rows.find(m_ids[i]))
            later += rowSeconds(*row);
    double speedSum = 0, mediaLeft = 0, itemLeft = 0;
    bool known = true;
    for (const Active& a : m_active) {
        speedSum += std::max(0.0, a.speed);
        if (a.expected <= 0 || a.speed <= 0) {
            known = false;
            continue;
        }
        const double left = std::max(0.0, a.expected - a.done);
        mediaLeft += left;
        itemLeft = std::max(itemLeft, left / a.speed);
    }
    m_rate.speed = speedSum;
    m_rate.itemSecondsLeft = known ? itemLeft : -1;
    m_rate.runSecondsLeft = known ? (mediaLeft + later) / speedSum : -1;
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
    switch (result.outcome) {
    case JobOutcome::MissingInput:
        // No new row starts; the run stops once the running ones have ended.
        if (m_stopMessage.isEmpty())
            m_stopMessage = result.message;
        // Not converted, and not failed either: the run stops before it.
        m_rows.setStatus(id, {RowState::Ready, result.message});
        Q_EMIT rowFinished(id, result);
        break;
    case JobOutcome::Cancel:
        Q_EMIT rowFinished(id, result);
        m_rows.setStatus(id, {RowState::Cancelled, result.detail()});
        break;
    case JobOutcome::Ok:
        m_rows.setStatus(id,
                         RowStatus::done(result.outputPath, outputSize(result), result.detail()));
        if (oneAtATime()) {
            // Each finished row adds its share of the list as it stands now, ties to even.
            const int count = std::max(1, m_rows.rowCount());
            setTotal(
                static_cast<int>(std::nearbyint(m_overall + 100.0 / static_cast<double>(count))));
        }
        Q_EMIT rowFinished(id, result);
        break;
    case JobOutcome::Fail:
        m_rows.setStatus(id, {RowState::Failed, result.detail()});
        Q_EMIT rowFinished(id, result);
        break;
    }
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
    stopReadAhead();
    updateLoadTimer();
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
    const QString folder = m_jobSettings.outputFolder;
    setTrack(0);
    setTotal(0);
    endRun(RunEnd::Completed, {});
    if (s.shutDown && m_platform.power)
        m_platform.power->requestPowerOff();
    if (m_platform.messages && m_outcome.failed() > 0)
        m_platform.messages->showWarning(m_outcome.endMessage(), m_outcome.failureDetails());
    else if (m_platform.messages)
        m_platform.messages->showInformation(QStringLiteral("Conversion completed!"));
    if (m_platform.folders)
        m_platform.folders->openFolder(folder);
}

void BatchRun::endRun(RunEnd end, const QString& message) {
    m_lastDurationMs = m_clock.elapsed();
    m_running = false;
    m_cancelRequested = false;
    m_waitingForProbe = false;
    m_waitingForRead = 0;
    m_loadTimer.stop();
    stopReadAhead();
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
