#pragma once

#include "convert/ConversionJob.h"
#include "convert/RunRows.h"
#include "convert/RunSettings.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

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

enum class RunEnd { Completed, Cancelled, Stopped };

// The batch conversion: one job per row in list order, the overall progress, the elapsed-time
// clock and the end actions. A model: the window observes its signals and never drives the
// encoder itself.
class BatchRun : public QObject {
    Q_OBJECT
public:
    BatchRun(RowSource& rows, const OptionSheet& sheet, QObject* parent = nullptr);
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
    bool panelVisible() const { return m_panelVisible; }
    int trackProgress() const { return m_track; }
    int totalProgress() const; // the overall value, clamped to 0..100 for the bar
    int elapsedSeconds() const { return m_elapsed; }
    QString caption() const { return m_caption; }
    RunRate rate() const { return m_rate; }
    QString outputFolder() const { return m_jobSettings.outputFolder; }

    static constexpr int kClockMs = 1000;

Q_SIGNALS:
    void runningChanged(bool running);
    void panelVisibleChanged(bool visible);
    void busyChanged(bool busy);
    void trackProgressChanged(int value);
    void totalProgressChanged(int value);
    void elapsedChanged(int seconds);
    void captionChanged(const QString& caption);
    void rateChanged(const mirelo::RunRate& rate);
    void rowStarted(quintptr key);
    void rowFinished(quintptr key, const mirelo::JobResult& result);
    void finished(mirelo::RunEnd end);

private:
    bool prepareSettings();
    void beginRows();
    void nextRow();
    void startJob(quintptr key, const RunRow& row);
    void onJobFinished(const JobResult& result);
    void onRowsChanged();
    void onJobRate(double done, double expected, double speed);
    double rowSeconds(const RunRow& row) const;
    void setTrack(int value);
    void setTotal(int value);
    void setPanel(bool visible);
    void complete();
    void cancelPath(quintptr key, const JobResult& result);
    void stopRun(const QString& message);
    void endRun(RunEnd end);

    RowSource& m_rows;
    const OptionSheet& m_sheet;
    RunPlatform m_platform;
    std::function<RunSettings()> m_settings;
    std::function<ProfileId()> m_profile;
    QString m_encoderPath;
    JobSettings m_jobSettings;
    QList<quintptr> m_keys;
    qsizetype m_index = 0;
    quintptr m_currentKey = 0;
    bool m_waitingForProbe = false;
    QPointer<ConversionJob> m_job;
    std::unique_ptr<CapabilityLoader> m_loader;
    QTimer m_clock;
    bool m_running = false;
    bool m_cancelRequested = false;
    bool m_panelVisible = false;
    int m_track = 0;
    int m_overall = 0; // may pass 100 (six rows: 17, 34, ..., 102); the bar clamps it
    int m_elapsed = 0;
    QString m_caption;
    RunRate m_rate;
};

} // namespace mirelo
