#pragma once

#include "convert/BatchOutcome.h"
#include "convert/ConversionJob.h"
#include "settings/RunSettings.h"
#include "sourcelist/SourceListModel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace mirelo {

class CapabilityLoader;
class FolderOpener;
class MessageSink;
class OptionSheet;
class PowerService;

// The services at the edge of a run. A missing one means that action is not taken.
struct RunPlatform {
    PowerService* power = nullptr;
    FolderOpener* folders = nullptr;
    MessageSink* messages = nullptr;
};

// Speed and time left, from the encoder's progress reports and the rows' lengths.
struct RunRate {
    double speed = 0;            // media seconds per second; 0: not known
    double itemSecondsLeft = -1; // -1: not known
    double runSecondsLeft = -1;
};

// The batch conversion: one job per row in list order, the overall progress, the elapsed time
// and the end actions. A model: the window observes its signals and never drives the encoder
// itself. The rows are those of the list when the run starts, followed by their ids: a row
// removed meanwhile is skipped, a row added meanwhile waits for the next run, and a row still
// being probed is waited for.
//
// When a run ends, its state is complete (indicators at rest, runningChanged() and finished()
// emitted) before any end action or message reaches the platform.
class BatchRun : public QObject {
    Q_OBJECT
public:
    BatchRun(SourceListModel& rows, const OptionSheet& sheet, QObject* parent = nullptr);
    ~BatchRun() override;

    void setPlatform(const RunPlatform& platform) { m_platform = platform; }
    void setSettingsSource(std::function<RunSettings()> source) { m_settings = std::move(source); }
    // The chooser's current position, read at the start and again for every job.
    void setProfileSource(std::function<ProfileId()> source) { m_profile = std::move(source); }
    // Empty (the default): the encoder the tool locator finds.
    void setEncoderPath(const QString& path) { m_encoderPath = path; }

    // Starts a run; false (with a message where the user needs one) when it cannot start.
    bool start();
    void cancel();

    bool isRunning() const { return m_running; }
    int trackProgress() const { return m_track; }
    int totalProgress() const; // the overall value, clamped to 0..100 for the bar
    // Wall-clock seconds since the run started; after a run, its duration.
    qint64 elapsedSeconds() const;
    RunRate rate() const { return m_rate; }
    QString outputFolder() const { return m_jobSettings.outputFolder; }
    // The rows of the current or last run that ended, and how.
    const BatchOutcome& outcome() const { return m_outcome; }

Q_SIGNALS:
    void runningChanged(bool running);
    void trackProgressChanged(int value);
    void totalProgressChanged(int value);
    void rateChanged(const mirelo::RunRate& rate);
    // caption: "Progress....<input> To <output>"
    void rowStarted(mirelo::RowId id, const QString& caption);
    void rowFinished(mirelo::RowId id, const mirelo::JobResult& result);
    // message: why a run was cancelled or stopped; empty when it completed.
    void finished(mirelo::RunEnd end, const QString& message);

private:
    bool prepareSettings();
    void beginRows();
    void nextRow();
    void startJob(RowId id, const SourceRow& row);
    void onJobFinished(const JobResult& result);
    void onRowsChanged();
    void onJobRate(double done, double expected, double speed);
    double rowSeconds(const SourceRow& row) const;
    void setTrack(int value);
    void setTotal(int value);
    void complete();
    void cancelPath(RowId id, const JobResult& result);
    void stopRun(const QString& message);
    void endRun(RunEnd end, const QString& message);

    SourceListModel& m_rows;
    const OptionSheet& m_sheet;
    RunPlatform m_platform;
    std::function<RunSettings()> m_settings;
    std::function<ProfileId()> m_profile;
    QString m_encoderPath;
    JobSettings m_jobSettings;
    QList<RowId> m_ids;
    qsizetype m_index = 0;
    RowId m_currentId = 0;
    bool m_waitingForProbe = false;
    QPointer<ConversionJob> m_job;
    std::unique_ptr<CapabilityLoader> m_loader;
    QElapsedTimer m_clock;
    qint64 m_lastDurationMs = 0;
    bool m_running = false;
    bool m_cancelRequested = false;
    int m_track = 0;
    int m_overall = 0; // may pass 100 (six rows: 17, 34, ..., 102); the bar clamps it
    RunRate m_rate;
    BatchOutcome m_outcome;
};

} // namespace mirelo
