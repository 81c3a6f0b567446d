#include "convert/BatchRun.h"

#include "convert/EncoderCapabilities.h"
#include "convert/OutputNaming.h"
#include "convert/TimeString.h"
#include "platform/FolderOpener.h"
#include "platform/MessageSink.h"
#include "platform/PowerService.h"
#include "profiles/Catalog.h"
#include "tools/ToolLocator.h"

#include <QDir>

#include <algorithm>
#include <cmath>

namespace mirelo {

namespace {

const char kCanceled[] = "Conversion Canceled by the user!";

} // namespace

BatchRun::BatchRun(RowSource& rows, const OptionSheet& sheet, QObject* parent)
    : QObject(parent), m_rows(rows), m_sheet(sheet) {
    m_clock.setInterval(kClockMs);
    connect(&m_clock, &QTimer::timeout, this, [this] { Q_EMIT elapsedChanged(++m_elapsed); });
    connect(&m_rows, &RowSource::rowsChanged, this, &BatchRun::onRowsChanged);
}

BatchRun::~BatchRun() {
    if (m_running && m_platform.power)
        m_platform.power->releaseSleep();
}

int BatchRun::totalProgress() const {
    return std::clamp(m_overall, 0, 100);
}

bool BatchRun::start() {
    if (m_running)
        return false;
    m_keys = m_rows.rowKeys();
    if (m_keys.isEmpty())
        return false;
    const int position = m_profile ? m_profile() : 0;
    if (!catalogRow(position) || isCategoryPosition(position)) {
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
    m_index = 0;
    m_overall = 0;
    m_elapsed = 0;
    m_rate = {};
    Q_EMIT runningChanged(true);
    setPanel(true);
    setTotal(0);
    Q_EMIT busyChanged(true);
    if (m_platform.power)
        m_platform.power->inhibitSleep(QStringLiteral("Converting video files"));
    Q_EMIT elapsedChanged(m_elapsed);
    m_clock.start();

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
    if (!QDir().mkpath(folder)) {
        if (m_platform.messages)
            m_platform.messages->showError(
                QStringLiteral("The output folder %1 does not exist and cannot be created.")
                    .arg(folder));
        return false;
    }
    removeStaleTemporaryOutputs(folder);
    // Only "1" overwrites: any other stored value keeps existing files.
    m_jobSettings = {folder, s.existedFile.trimmed() == QLatin1String("1"), encoder, nullptr};
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
    for (; m_index < m_keys.size(); ++m_index) {
        const std::optional<RunRow> row = m_rows.row(m_keys[m_index]);
        if (!row)
            continue; // removed during the run
        if (row->probing) {
            m_waitingForProbe = true; // onRowsChanged() comes back here
            return;
        }
        startJob(m_keys[m_index], *row);
        return;
    }
    complete();
}

void BatchRun::onRowsChanged() {
    if (m_running && m_waitingForProbe)
        nextRow();
}

void BatchRun::startJob(quintptr key, const RunRow& row) {
    m_currentKey = key;
    JobInput input;
    input.inputPath = row.path;
    input.clipStart = row.start;
    input.clipEnd = row.end;
    if (const std::optional<int> length = parseTimeString(row.videoTime); length && *length > 0)
        input.probedLength = *length;
    input.position = m_profile ? m_profile() : 0;
    input.sheet = &m_sheet;
    auto* job = new ConversionJob(input, m_jobSettings, this);
    m_job = job;
    connect(job, &ConversionJob::processing, this, [this, key](const QString& caption) {
        m_caption = caption;
        Q_EMIT captionChanged(caption);
        m_rows.setStatus(key, QStringLiteral("Processing"), caption);
        Q_EMIT rowStarted(key);
    });
    connect(job, &ConversionJob::progressChanged, this, &BatchRun::setTrack);
    connect(job, &ConversionJob::rateChanged, this, &BatchRun::onJobRate);
    connect(job, &ConversionJob::finished, this, &BatchRun::onJobFinished);
    job->start();
}

double BatchRun::rowSeconds(const RunRow& row) const {
    const int start = parseTimeString(row.start).value_or(0);
    const int end = parseTimeString(row.end).value_or(0);
    if (end > start)
        return end - start;
    return std::max(0, parseTimeString(row.videoTime).value_or(0) - start);
}

void BatchRun::onJobRate(double done, double expected, double speed) {
    m_rate.speed = speed;
    double later = 0;
    for (qsizetype i = m_index + 1; i < m_keys.size(); ++i)
        if (const std::optional<RunRow> row = m_rows.row(m_keys[i]))
            later += rowSeconds(*row);
    const double itemLeft = expected > 0 ? std::max(0.0, expected - done) : -1;
    m_rate.itemSecondsLeft = speed > 0 && itemLeft >= 0 ? itemLeft / speed : -1;
    m_rate.runSecondsLeft = speed > 0 && itemLeft >= 0 ? (itemLeft + later) / speed : -1;
    Q_EMIT rateChanged(m_rate);
}

void BatchRun::onJobFinished(const JobResult& result) {
    if (m_job)
        m_job->deleteLater();
    const quintptr key = m_currentKey;
    switch (result.outcome) {
    case JobOutcome::MissingInput:
        Q_EMIT rowFinished(key, result);
        stopRun(result.message);
        return;
    case JobOutcome::Cancel:
        Q_EMIT rowFinished(key, result);
        cancelPath(key, result);
        return;
    case JobOutcome::Ok: {
        m_rows.setStatus(key, result.status(), result.detail());
        // Each finished row adds its share of the list as it stands now, ties to even.
        const qsizetype count = std::max<qsizetype>(1, m_rows.rowKeys().size());
        setTotal(static_cast<int>(std::nearbyint(m_overall + 100.0 / static_cast<double>(count))));
        break;
    }
    case JobOutcome::Fail:
        m_rows.setStatus(key, result.status(), result.detail());
        break;
    }
    Q_EMIT rowFinished(key, result);
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

void BatchRun::cancelPath(quintptr key, const JobResult& result) {
    if (key)
        m_rows.setStatus(key, QStringLiteral("Cancel"), result.detail());
    m_clock.stop();
    Q_EMIT busyChanged(false);
    if (m_platform.messages)
        m_platform.messages->showError(QLatin1String(kCanceled));
    setTrack(0);
    setTotal(0);
    setPanel(false);
    endRun(RunEnd::Cancelled);
}

// A missing input file, or an encoder that cannot list its capabilities: the run ends at once
// and its indicators go back to rest.
void BatchRun::stopRun(const QString& message) {
    if (m_loader)
        m_loader.release()->deleteLater();
    m_clock.stop();
    Q_EMIT busyChanged(false);
    if (m_platform.messages)
        m_platform.messages->showError(message);
    setTrack(0);
    setTotal(0);
    setPanel(false);
    endRun(RunEnd::Stopped);
}

void BatchRun::complete() {
    m_clock.stop();
    setTotal(100);
    Q_EMIT busyChanged(false);
    const RunSettings s = m_settings ? m_settings() : RunSettings{};
    if (s.autoShut.trimmed() == QLatin1String("1") && m_platform.power)
        m_platform.power->requestPowerOff();
    if (m_platform.messages)
        m_platform.messages->showInformation(QStringLiteral("Conversion completed!"));
    setTrack(0);
    setTotal(0);
    setPanel(false);
    if (m_platform.folders)
        m_platform.folders->openFolder(m_jobSettings.outputFolder);
    endRun(RunEnd::Completed);
}

void BatchRun::endRun(RunEnd end) {
    m_running = false;
    m_cancelRequested = false;
    m_waitingForProbe = false;
    if (m_platform.power)
        m_platform.power->releaseSleep();
    Q_EMIT runningChanged(false);
    Q_EMIT finished(end);
}

void BatchRun::setTrack(int value) {
    m_track = value;
    Q_EMIT trackProgressChanged(value);
}

void BatchRun::setTotal(int value) {
    m_overall = value;
    Q_EMIT totalProgressChanged(totalProgress());
}

void BatchRun::setPanel(bool visible) {
    m_panelVisible = visible;
    Q_EMIT panelVisibleChanged(visible);
}

} // namespace mirelo
