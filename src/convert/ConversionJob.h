#pragma once

#include "convert/ConversionPlan.h"
#include "convert/EncoderOutput.h"
#include "convert/JobOrder.h"
#include "convert/JobResult.h"
#include "convert/OutputCheck.h"
#include "convert/SourceStreams.h"
#include "convert/TemporaryOutput.h"
#include "process/ProgramRunner.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace mirelo {

// Converts one job: the source's streams and the audio encoder's limits (each read once per
// process), output name, command line, the encoder run with its progress report, the check of its
// result and the final rename. Emits finished() exactly once, never from start().
//
// "OK" needs an output with a length: a clip that starts at or past the end of its input is
// refused (before the encoder runs when the probed length shows it, else as soon as the encoder
// prints the input's duration). The output's length is read back from the file itself: one of
// no length, one whose length cannot be read, or one far shorter than the clip fails. An encoder
// that reports no progress (a later position, more frames or more bytes written) for stallTimeout()
// is stopped and the row fails.
class ConversionJob : public QObject {
    Q_OBJECT
public:
    // The job's output folder and existing-file policy are the ones the settings use.
    ConversionJob(JobOrder job, JobSettings settings, QObject* parent = nullptr);
    ~ConversionJob() override;

    void start();
    // Stops the encoder in stages (ask, terminate, kill) and removes its partial output.
    void cancel();

    // Every encoder the conversion runs is known to use one thread (a stream copy runs none): the
    // job keeps about one core busy. False until the job has its plan.
    bool keepsOneCore() const;

    // Time allowed between two progress reports of the encoder that show it moving on (tests
    // shorten it).
    void setStallTimeout(int milliseconds) { m_stallTimeoutMs = milliseconds; }
    int stallTimeout() const { return m_stallTimeoutMs; }

    static constexpr int kStartProgress = 10;
    static constexpr int kRunningCeiling = 99;
    static constexpr int kGraceMs = 1500;
    static constexpr int kStallTimeoutMs = 120000;
    // Reading the output back may go this long without reading further before it is given up.
    static constexpr int kCheckTimeoutMs = 30000;

Q_SIGNALS:
    void processing(const QString& caption);
    void progressChanged(int percent);
    // Media seconds done and expected (0: not known yet), and the encoder's speed (0: unknown).
    void rateChanged(double doneSeconds, double expectedSeconds, double speed);
    void finished(const mirelo::JobResult& result);

private:
    void reserveProvisionalName();
    void readSource();
    void onSourceRead(const ProgramEnd& end);
    void planAndLearn();
    void readNextHelp();
    void onHelpRead(const ProgramEnd& end);
    bool plan();
    void beginConversion();
    bool prepare();
    bool startsPastProbedEnd();
    void startEncoder();
    void onEncoderOutput(const QByteArray& bytes);
    void onEncoderLine(const QString& line);
    void onEncoderFinished(const ProgramEnd& end);
    void onOutputChecked(const ProgramEnd& end);
    QString lateStartMessage(double inputLength) const;
    void updateExpected();
    void finishOk();
    // The output name is the run's from the plan until the row ends other than "OK".
    void reserveOutputName();
    void releaseOutputName(const QString& path);
    void finish(JobOutcome outcome, const QString& message = {});

    const JobOrder m_job;
    JobSettings m_settings;
    std::optional<ConversionPlan> m_plan;
    bool m_learntHelp = false; // the plan predates limits learnt from an encoder's help
    JobResult m_result;
    QString m_temporaryPath;
    TemporaryOutput m_temporary; // before the encoder: it goes only once the encoder is stopped
    QString m_stem;
    QString m_extension;
    ProgramRunner m_reader;  // the source's streams, then the encoders' help
    QStringList m_helpQueue; // encoders whose help is still to be read, the first one being read
    // The plan's encoders; none before the plan, or when the format's default video encoder runs.
    std::optional<QStringList> m_encoders;
    QString m_plannedAudioEncoder;
    std::optional<SourceStreams> m_source;
    ProgramRunner m_encoder;
    OutputReadBack m_check{kCheckTimeoutMs};
    ProgressParser m_progress;
    ProgressHighWater m_furthest; // a block short of it does not count as progress
    int m_stallTimeoutMs = kStallTimeoutMs;
    bool m_cancelled = false;
    bool m_finished = false;
    bool m_sawDuration = false;
    QString m_refusal; // why the running encoder was stopped: the clip starts past the end
    std::optional<double> m_sourceLength;
    double m_clipStart = 0;
    std::optional<double> m_clipLength;
    std::optional<double> m_writtenLength; // from the encoder's closing report: it can only fail
    double m_expected = 0;
    int m_percent = 0;
};

} // namespace mirelo
