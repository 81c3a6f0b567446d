#include "convert/BatchRun.h"

#include "convert/EncoderCapabilities.h"
#include "convert/TemporaryOutput.h"
#include "convert/TimeString.h"
#include "platform/FolderOpener.h"
#include "platform/MessageSink.h"
#include "platform/PowerService.h"
#include "profiles/Catalog.h"
#include "settings/Inifun.h"
#include "tools/ToolLocator.h"

#include <QDir>

#include <algorithm>
#include <cmath>

namespace mirelo {

namespace {

const char kCanceled[] = "Conversion Canceled by the user!";

} // namespace

BatchRun::BatchRun(SourceListModel& rows, const OptionSheet& sheet, QObject* parent)
    : QObject(parent), m_rows(rows), m_sheet(sheet) {
    // A row the run waits for may end its probe or go away.
    connect(&m_rows, &SourceListModel::rowProbed, this, &BatchRun::onRowsChanged);
    connect(&m_rows, &QAbstractItemModel::rowsRemoved, this, &BatchRun::onRowsChanged);
    connect(&m_rows, &QAbstractItemModel::modelReset, this, &BatchRun::onRowsChanged);
}

BatchRun::~BatchRun() {
    if (m_running && m_platform.power)
        m_platform.power->releaseSleep();
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
    if (!isProfile(m_profile ? m_profile() : ProfileId())) {
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
    const QString folder =
        s.outputFolder.trimmed().isEmpty() ? applicationFolder() : s.outputFolder.trimmed();
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
    m_jobSettings = {folder, s.existingFile == ExistingFilePolicy::Overwrite, encoder, nullptr};
    return true;
}

void BatchRun::beginRows() {
    if (m_loader) // called from the loader's own signal
        m_loader.release()->deleteLater();
    m_jobSettings.capabilities = cachedCapabilities(m_jobSettings.encoderPath);
    nextRow();
}

void BatchRun::nextRow() {
    if (!m_running)
        return;
    if (m_cancelRequested) {
        cancelPath(0, {});
        return;
    }
    m_waitingForProbe = false;
    for (; m_index < m_ids.size(); ++m_index) {
        const SourceRow* row = m_rows.find(m_ids[m_index]);
        if (!row)
            continue; // removed during the run
        if (!row->probed) {
            m_waitingForProbe = true; // onRowsChanged() comes back here
            return;
        }
        startJob(row->id, *row);
        return;
    }
    complete();
}

void BatchRun::onRowsChanged() {
    if (m_running && m_waitingForProbe)
        nextRow();
}

void BatchRun::startJob(RowId id, const SourceRow& row) {
    m_currentId = id;
    JobInput input;
    input.inputPath = row.path;
    input.clipStart = row.start;
    input.clipEnd = row.end;
    if (const std::optional<int> length = parseTimeString(row.videoTime); length && *length > 0)
        input.probedLength = *length;
    input.position = m_profile ? m_profile() : ProfileId();
    input.sheet = &m_sheet;
    auto* job = new ConversionJob(input, m_jobSettings, this);
    m_job = job;
    connect(job, &ConversionJob::processing, this, [this, id](const QString& caption) {
        m_rows.setStatus(id, QStringLiteral("Processing"), caption);
        Q_EMIT rowStarted(id, caption);
    });
    connect(job, &ConversionJob::progressChanged, this, &BatchRun::setTrack);
    connect(job, &ConversionJob::rateChanged, this, &BatchRun::onJobRate);
    connect(job, &ConversionJob::finished, this, &BatchRun::onJobFinished);
    job->start();
}

double BatchRun::rowSeconds(const SourceRow& row) const {
    const int start = parseTimeString(row.start).value_or(0);
    const int end = parseTimeString(row.end).value_or(0);
    if (end > start)
        return end - start;
    return std::max(0, parseTimeString(row.videoTime).value_or(0) - start);
}

void BatchRun::onJobRate(double done, double expected, double speed) {
    m_rate.speed = speed;
    double later = 0;
    for (qsizetype i = m_index + 1; i < m_ids.size(); ++i)
        if (const SourceRow* row = m_rows.find(m_ids[i]))
            later += rowSeconds(*row);
    const double itemLeft = expected > 0 ? std::max(0.0, expected - done) : -1;
    m_rate.itemSecondsLeft = speed > 0 && itemLeft >= 0 ? itemLeft / speed : -1;
    m_rate.runSecondsLeft = speed > 0 && itemLeft >= 0 ? (itemLeft + later) / speed : -1;
    Q_EMIT rateChanged(m_rate);
}

void BatchRun::onJobFinished(const JobResult& result) {
    if (m_job)
        m_job->deleteLater();
    const RowId id = m_currentId;
    if (result.outcome == JobOutcome::Ok || result.outcome == JobOutcome::Fail) {
        const SourceRow* row = m_rows.find(id);
        m_outcome.add(row ? row->path : result.outputPath, result.status(), result.detail());
    }
    switch (result.outcome) {
    case JobOutcome::MissingInput:
        Q_EMIT rowFinished(id, result);
        stopRun(result.message);
        return;
    case JobOutcome::Cancel:
        Q_EMIT rowFinished(id, result);
        cancelPath(id, result);
        return;
    case JobOutcome::Ok: {
        m_rows.setStatus(id, result.status(), result.detail());
        // Each finished row adds its share of the list as it stands now, ties to even.
        const int count = std::max(1, m_rows.rowCount());
        setTotal(static_cast<int>(std::nearbyint(m_overall + 100.0 / static_cast<double>(count))));
        break;
    }
    case JobOutcome::Fail:
        m_rows.setStatus(id, result.status(), result.detail());
        break;
    }
    Q_EMIT rowFinished(id, result);
    ++m_index;
    nextRow();
}

void BatchRun::cancel() {
    if (!m_running || m_cancelRequested)
        return;
    m_cancelRequested = true;
    if (m_job) {
        m_job->cancel(); // its Cancel result comes back through onJobFinished()
        return;
    }
    if (m_loader) {
        // Still reading the encoder's capability lists: they are not waited for.
        m_loader.reset();
        cancelPath(0, {});
        return;
    }
    // Between rows, or waiting for a probe.
    QMetaObject::invokeMethod(this, &BatchRun::nextRow, Qt::QueuedConnection);
}

void BatchRun::cancelPath(RowId id, const JobResult& result) {
    if (id)
        m_rows.setStatus(id, QStringLiteral("Cancel"), result.detail());
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
        m_platform.messages->showError(message);
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
    m_currentId = 0;
    if (m_platform.power)
        m_platform.power->releaseSleep();
    Q_EMIT runningChanged(false);
    Q_EMIT finished(end, message);
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
