#pragma once

#include "convert/AutoJobLimit.h"
#include "convert/BatchOutcome.h"
#include "convert/ConversionJob.h"
#include "convert/EndActions.h"
#include "convert/OutputNaming.h"
#include "convert/RunProgress.h"
#include "convert/RunQueue.h"
#include "convert/SourceReadAhead.h"
#include "settings/RunSettings.h"
#include "sourcelist/SourceListModel.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace mirelo {

class CapabilityLoader;
class FolderOpener;
class MessageSink;
class OptionSheet;
class PowerService;
class StandInLinks;

// The batch conversion: one job per row, started in list order, the overall progress, the elapsed
// time and the end actions. A model: the window observes its signals and never drives the encoder
// itself. The rows are those of the list when the run starts, followed by their ids: a row
// removed meanwhile is skipped, a row added meanwhile waits for the next run, a row still
// being probed is waited for, and a row whose file could not be read is skipped with that said.
//
// The settings say how many rows convert at once (a number, or as many as the machine has idle
// cores for). With more than one, each running row shows its own percent, the item bar is the
// mean of the running rows', the overall bar counts finished rows and the running rows'
// fractions, a failed row never stops the others, and "Cancel" stops every job. With one, the
// item bar follows the one running row. Two rows never get one output name: each reserves its name
// as it starts.
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
    // The chooser's current position, read when a run starts.
    void setProfileSource(std::function<ProfileId()> source) { m_profile = std::move(source); }
    // Empty (the default): the encoder the tool locator finds.
    void setEncoderPath(const QString& path) { m_encoderPath = path; }
    // What "auto" measures; not owned. Null (the default): the machine's /proc.
    void setLoadSource(CpuLoadSource* source);
    // The links through which inputs named by bytes that are not UTF-8 are read; not owned. An
    // output named after such an input takes its byte name, and the rows' texts show the bytes.
    void setStandIns(const StandInLinks* links) { m_standIns = links; }

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
    // Rows converting now.
    int runningCount() const { return int(m_active.size()); }

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
    // A row converting now, with what its encoder last reported.
    struct Active {
        RowId id = 0;
        QPointer<ConversionJob> job;
        RunningRow report;
    };

    bool prepareSettings();
    void freezeJobs(ProfileId profile);
    void beginRows();
    void startRows();
    bool eachKeepsOneCore() const;
    void updateLoadTimer();
    void startJob(RowId id, const SourceRow& row);
    Active* active(RowId id);
    void onJobProgress(RowId id, int percent);
    void onJobFinished(RowId id, const JobResult& result);
    void afterRow();
    void skipUnreadable(const SourceRow& row);
    void onJobRate(RowId id, double done, double expected, double speed);
    std::vector<RunningRow> runningRows() const;
    void showTrack();
    void showRunningTotal();
    void setTrack(int value);
    void setTotal(int value);
    void complete();
    void cancelPath();
    void stopRun(const QString& message);
    void endRun(RunEnd end, const QString& message);
    // Text leaving the run (signals, the end summary, messages) names files as the user reads
    // them; the list's cells are shown that way by the list itself.
    QString shown(const QString& text) const;

    SourceListModel& m_rows;
    const OptionSheet& m_sheet;
    RunPlatform m_platform;
    std::function<RunSettings()> m_settings;
    std::function<ProfileId()> m_profile;
    QString m_encoderPath;
    const StandInLinks* m_standIns = nullptr;
    JobSettings m_jobSettings;
    RunQueue m_queue;
    QList<RowId> m_ids;            // the run's rows, in list order
    QHash<RowId, JobOrder> m_jobs; // what each row not started yet converts
    std::vector<Active> m_active;  // in the order they started
    int m_finishedRows = 0;
    QString m_stopMessage; // a missing input stops the run once its running rows have ended
    OutputReservations m_reservations;
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
