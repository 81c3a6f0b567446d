// mirelo-cli convert: the desktop program's batch run without a window.

#include "cli/Cli.h"

#include "base/ByteNames.h"
#include "base/TimeString.h"
#include "convert/BatchOutcome.h"
#include "convert/BatchRun.h"
#include "convert/RowJobs.h"
#include "platform/MessageSink.h"
#include "probe/ProbeQueue.h"
#include "process/ProgramRunner.h"
#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "settings/AppSettings.h"
#include "sourcelist/SourceListModel.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <map>
#include <unistd.h>
#include <utility>

namespace mirelo::cli {

namespace {

// Errors go to stderr as they come, but for one that a row's report has already told in its own
// words. The completion message is left out: the last line states the outcome instead.
class TerminalMessages : public MessageSink {
public:
    void showError(const QString& text) override {
        m_lastError = standIns().visibleText(text);
        if (m_lastError != m_alreadyTold)
            fail(kFailed, m_lastError);
    }
    // The last line states the run's outcome; the rows' reports say the rest.
    void showWarning(const QString&, const QString&) override {}
    void showInformation(const QString&) override {}

    QString m_lastError;
    QString m_alreadyTold;
};

struct ConvertOptions {
    QStringList files;
    ProfileId position;
    std::optional<int> start;
    std::optional<int> end;
    RunSettings settings;
    bool verbose = false;
    bool json = false;
};

struct RowReport {
    QString file;
    QString output;
    std::optional<RowState> state; // none: not reached (yet)
    QString error;
    QJsonObject job; // what the row converted; empty for a row that never started
};

QString statusText(std::optional<RowState> state) {
    return state ? SourceListModel::statusText(*state) : QString();
}

int parseOptions(const QStringList& args, ConvertOptions& o, OptionSheet& sheet) {
    QString error;
    const auto parsed = parseArgs(args,
                                  {{"--profile", true},
                                   {"--output-folder", true},
                                   {"--existing", true},
                                   {"--no-preset", false},
                                   {"--pick", true},
                                   {"--set", true},
                                   {"--start", true},
                                   {"--end", true},
                                   {"--verbose", false},
                                   {"--json", false},
                                   {"--jobs", true}},
                                  &error);
    if (!parsed)
        return fail(kUsage, error);
    o.files = parsed->positionals;
    if (o.files.isEmpty())
        return fail(kUsage, QStringLiteral("convert needs at least one FILE"));
    const std::optional<ProfileId> position =
        parsePosition(parsed->last(QStringLiteral("--profile")));
    if (!position || isCategoryPosition(*position))
        return fail(kUsage, QStringLiteral("--profile: choose an output profile, a position from "
                                           "1 to %1 that is not a category heading "
                                           "(see mirelo-cli profiles)")
                                .arg(kCatalogSize));
    o.position = *position;
    for (auto [name, target] : {std::pair{"--start", &o.start}, std::pair{"--end", &o.end}}) {
        if (!parsed->has(QLatin1String(name)))
            continue;
        const QString text = parsed->last(QLatin1String(name));
        *target = parseTimeString(text);
        if (!*target)
            return fail(kUsage, QStringLiteral("%1 \"%2\": expected a time H:MM:SS")
                                    .arg(QLatin1String(name), text));
    }
    o.settings = AppSettings::forApplication().runSettings();
    o.settings.shutDown = false; // the command line never powers the computer off
    if (parsed->has(QStringLiteral("--output-folder")))
        o.settings.outputFolder = parsed->last(QStringLiteral("--output-folder"));
    const std::optional<ExistingFilePolicy> policy = existingFilePolicy(*parsed, &error);
    if (!policy)
        return fail(kUsage, error);
    o.settings.existingFile = *policy;
    if (parsed->has(QStringLiteral("--jobs"))) {
        const QString text = parsed->last(QStringLiteral("--jobs"));
        const std::optional<SimultaneousJobs> jobs = parseSimultaneousJobs(text);
        if (!jobs)
            return fail(kUsage, QStringLiteral("--jobs \"%1\": expected a number of files to "
                                               "convert at once (1 or more), or auto")
                                    .arg(text));
        o.settings.jobs = *jobs;
    }
    o.verbose = parsed->has(QStringLiteral("--verbose"));
    o.json = parsed->has(QStringLiteral("--json"));
    const bool noPreset = parsed->has(QStringLiteral("--no-preset"));
    if (const int rc = buildSheet(sheet, *parsed, noPreset ? ProfileId() : o.position, &error);
        rc != kOk)
        return fail(rc, error);
    return kOk;
}

// One row per file, with the clip the options choose. No file is probed with the media player:
// the run reads the files ahead with the encoder, which gives their lengths for its estimates,
// and each file is converted whole unless --end says otherwise. A missing file stops the run when
// it is reached, as in the desktop program.
std::vector<RowId> addRows(const ConvertOptions& o, SourceListModel& rows) {
    std::vector<RowId> ids;
    for (const QString& file : o.files)
        ids.push_back(rows.addClip(QFileInfo(file).absoluteFilePath(), o.start.value_or(0), o.end));
    return ids;
}

// Rows may run at once: each line names its row by its place in the list.
class ProgressDisplay {
public:
    ProgressDisplay(BatchRun& run, const std::vector<RowId>& ids, bool live)
        : m_ids(ids), m_rowCount(int(ids.size())), m_live(live) {
        QObject::connect(&run, &BatchRun::rowStarted, [this](RowId id, const QString& caption) {
            m_row = place(id);
            if (!m_live)
                err() << QStringLiteral("[%1/%2] %3").arg(m_row).arg(m_rowCount).arg(caption)
                      << Qt::endl;
        });
        QObject::connect(&run, &BatchRun::trackProgressChanged, [this, &run](int) { draw(run); });
        QObject::connect(&run, &BatchRun::totalProgressChanged, [this, &run](int) { draw(run); });
        QObject::connect(&run, &BatchRun::rateChanged, [this, &run](const RunRate&) { draw(run); });
        QObject::connect(&run, &BatchRun::rowFinished, [this](RowId id, const JobResult& r) {
            clear();
            // A missing input is told on its own lines.
            if (!m_live && r.outcome != JobOutcome::MissingInput)
                err() << QStringLiteral("[%1/%2] %3")
                             .arg(place(id))
                             .arg(m_rowCount)
                             .arg(statusText(finishedState(r.outcome)))
                      << Qt::endl;
        });
    }
    void clear() {
        if (m_live && m_drawn)
            err() << "\r\033[K" << Qt::flush;
        m_drawn = false;
    }

private:
    int place(RowId id) const {
        return int(std::find(m_ids.begin(), m_ids.end(), id) - m_ids.begin()) + 1;
    }

    void draw(BatchRun& run) {
        if (!m_live || !run.isRunning() || m_row == 0)
            return;
        constexpr int width = 30;
        const int filled = run.trackProgress() * width / 100;
        const RunRate rate = run.rate();
        QString line =
            QStringLiteral("\r\033[K[%1%2] %3%  file %4/%5  total %6%")
                .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char(' ')))
                .arg(run.trackProgress(), 3)
                .arg(m_row)
                .arg(m_rowCount)
                .arg(run.totalProgress());
        if (rate.speed > 0)
            line += QStringLiteral("  %1x").arg(rate.speed, 0, 'f', 2);
        if (rate.runSecondsLeft >= 0)
            line += QStringLiteral("  left %1").arg(formatTimeString(qint64(rate.runSecondsLeft)));
        err() << line << Qt::flush;
        m_drawn = true;
    }

    const std::vector<RowId>& m_ids;
    int m_rowCount;
    bool m_live;
    int m_row = 0;
    bool m_drawn = false;
};

// The desktop program shows "<path>Invalid input file name. " as one text; here the reason goes on
// a line of its own after the path.
QString reasonAfterPath(const QString& message, const QString& path) {
    return (message.startsWith(path) ? message.mid(path.size()) : message).trimmed();
}

// Rows the run never reached say why, so that every row carries a status and a reason.
void markUnreached(std::vector<RowReport>& reports, RowState state, const QString& reason) {
    for (RowReport& r : reports) {
        if (r.state)
            continue;
        r.state = state;
        r.error = reason;
    }
}

// "Conversion completed: 3 of 4 files converted, 1 failed."
QString outcomeLine(RunEnd end, const std::vector<RowReport>& reports) {
    BatchOutcome outcome;
    for (const RowReport& r : reports)
        outcome.add(r.file, r.state.value_or(RowState::Failed));
    return outcome.line(end);
}

void printReports(const std::vector<RowReport>& reports, bool json) {
    if (json) {
        QJsonArray rows;
        for (const RowReport& r : reports) {
            QJsonObject row{{QStringLiteral("file"), r.file},
                            {QStringLiteral("output"), r.output},
                            {QStringLiteral("status"), statusText(r.state)},
                            {QStringLiteral("error"), r.error}};
            if (!r.job.isEmpty())
                row.insert(QStringLiteral("job"), r.job);
            rows.append(row);
        }
        out() << QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented));
    } else {
        for (const RowReport& r : reports)
            if (r.state)
                out() << statusText(*r.state) << '\t' << r.file << '\t' << r.output << '\n';
    }
    out().flush();
}

int exitCodeFor(RunEnd end, bool stoppedByInput, const std::vector<RowReport>& reports) {
    switch (end) {
    case RunEnd::Cancelled:
        return kInterrupted;
    case RunEnd::Stopped:
        return stoppedByInput ? kUsage : kFailed;
    case RunEnd::Completed:
        break;
    }
    for (const RowReport& r : reports)
        if (r.state != RowState::Done)
            return kFailed;
    return kOk;
}

} // namespace

int runConvert(const QStringList& args) {
    ConvertOptions o;
    OptionSheet sheet;
    if (const int rc = parseOptions(args, o, sheet); rc != kOk)
        return rc;

    SourceListModel rows;
    rows.probeQueue().setMaxConcurrent(1);
    const std::vector<RowId> ids = addRows(o, rows);
    if (o.verbose)
        QObject::connect(&rows, &SourceListModel::rowProbed, [](RowId, const QString& problem) {
            if (!problem.isEmpty())
                err() << "mirelo-cli: warning: " << problem << Qt::endl;
        });

    TerminalMessages messages;
    BatchRun run(rows, sheet);
    run.setPlatform({nullptr, nullptr, &messages});
    run.setSettingsSource([&o] { return o.settings; });
    run.setProfileSource([&o] { return o.position; });
    run.setStandIns(&standIns());

    ProgressDisplay display(run, ids, !o.json && ::isatty(STDERR_FILENO));
    std::vector<RowReport> reports;
    for (const RowId id : ids)
        reports.push_back({standIns().visible(rows.find(id)->path), {}, {}, {}, {}});
    const RowReport* stoppedAt = nullptr; // the missing input that stopped the run
    QObject::connect(&run, &BatchRun::rowFinished, [&](RowId id, const JobResult& r) {
        RowReport& report =
            reports[std::size_t(std::find(ids.begin(), ids.end(), id) - ids.begin())];
        const QString message = standIns().visibleText(r.message);
        report.state = finishedState(r.outcome);
        if (r.outcome != JobOutcome::MissingInput)
            report.job = r.job.toJson();
        report.output = r.outcome == JobOutcome::Ok ? r.outputPath : QString();
        report.error = r.outcome == JobOutcome::Ok ? QString() : message;
        display.clear();
        if (r.outcome == JobOutcome::MissingInput) {
            stoppedAt = &report;
            report.error = reasonAfterPath(message, report.file);
            messages.m_alreadyTold = message;
            err() << "mirelo-cli: " << report.file << '\n' << report.error << Qt::endl;
        }
        if (o.verbose) {
            if (!r.arguments.isEmpty()) // a row refused before the encoder ran has none
                err() << standIns().visibleText(
                             QStringLiteral("Profile command line: %1\nRan: %2")
                                 .arg(r.commandLine, displayArguments(r.program, r.arguments)))
                      << Qt::endl;
            for (const QString& note : r.notes)
                err() << standIns().visibleText(note) << Qt::endl;
        }
        if (r.outcome == JobOutcome::Fail)
            err() << "mirelo-cli: " << report.file << ": " << message << '\n'
                  << standIns().visibleText(r.encoderLines.join(QLatin1Char('\n'))) << Qt::endl;
    });

    // The first signal cancels the run: the encoder is asked to stop and its partial output goes.
    // A second one does not wait for that.
    bool cancelAsked = false;
    const TerminationTakeOver takeOver([&run, &cancelAsked](int) {
        if (run.isRunning() && !std::exchange(cancelAsked, true))
            run.cancel();
        else
            ProgramRunner::killAll();
    });
    RunEnd end = RunEnd::Stopped;
    QString endMessage;
    QEventLoop loop;
    QObject::connect(&run, &BatchRun::finished, &loop, [&](RunEnd e, const QString& message) {
        end = e;
        endMessage = message;
        loop.quit();
    });
    const bool started = run.start();
    if (started) {
        loop.exec();
        display.clear();
    }
    if (!started) // no encoder, no output folder: the run said why
        markUnreached(reports, RowState::Failed, messages.m_lastError);
    else if (end == RunEnd::Cancelled)
        markUnreached(reports, RowState::Cancelled, endMessage);
    else if (stoppedAt)
        markUnreached(reports, RowState::Failed,
                      QStringLiteral("Not converted: the run stopped at %1.").arg(stoppedAt->file));
    else
        markUnreached(reports, RowState::Failed, endMessage);
    printReports(reports, o.json);
    err() << outcomeLine(end, reports) << Qt::endl;
    if (!started)
        return kFailed;
    return exitCodeFor(end, stoppedAt != nullptr, reports);
}

} // namespace mirelo::cli
