// mirelo-cli convert: the desktop program's batch run without a window.

#include "cli/Cli.h"

#include "convert/BatchRun.h"
#include "convert/RunRows.h"
#include "convert/TimeString.h"
#include "platform/MessageSink.h"
#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "settings/AppSettings.h"
#include "tools/ProbeQueue.h"
#include "tools/ProgramRunner.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>
#include <unistd.h>
#include <utility>

namespace mirelo::cli {

namespace {

class TerminalMessages : public MessageSink {
public:
    void showError(const QString& text) override { fail(kFailed, text); }
    void showInformation(const QString& text) override {
        if (!m_quiet)
            err() << text << Qt::endl;
    }
    bool m_quiet = false;
};

struct ConvertOptions {
    QStringList files;
    int position = 0;
    std::optional<int> start;
    std::optional<int> end;
    RunSettings settings;
    bool verbose = false;
    bool json = false;
};

struct RowReport {
    QString file;
    QString output;
    QString status;
    QString error;
};

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
                                   {"--json", false}},
                                  &error);
    if (!parsed)
        return fail(kUsage, error);
    o.files = parsed->positionals;
    if (o.files.isEmpty())
        return fail(kUsage, QStringLiteral("convert needs at least one FILE"));
    const std::optional<int> position = parsePosition(parsed->last(QStringLiteral("--profile")));
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
    const AppSettings stored = AppSettings::forApplication();
    o.settings = readRunSettings(stored);
    o.settings.autoShut.clear(); // the command line never powers the computer off
    if (parsed->has(QStringLiteral("--output-folder")))
        o.settings.outputFolder = parsed->last(QStringLiteral("--output-folder"));
    if (parsed->has(QStringLiteral("--existing"))) {
        const QString policy = parsed->last(QStringLiteral("--existing"));
        if (policy != QLatin1String("new") && policy != QLatin1String("overwrite"))
            return fail(
                kUsage,
                QStringLiteral("--existing: \"new\" or \"overwrite\", not \"%1\"").arg(policy));
        o.settings.existedFile =
            policy == QLatin1String("overwrite") ? QStringLiteral("1") : QStringLiteral("0");
    }
    o.verbose = parsed->has(QStringLiteral("--verbose"));
    o.json = parsed->has(QStringLiteral("--json"));
    const bool noPreset = parsed->has(QStringLiteral("--no-preset"));
    if (const int rc = buildSheet(sheet, *parsed, noPreset ? 0 : o.position, &error); rc != kOk)
        return fail(rc, error);
    return kOk;
}

// One row per file. The files after the first are probed, one at a time, while the run goes
// on: a length known before a row is reached feeds the run's estimates. The run never waits for
// a probe (each file is converted whole unless --end says otherwise), and the first file is not
// probed at all, since the encoder reports its length as it starts on it. A missing file stops
// the run when it is reached, as in the desktop program.
class RowProbes {
public:
    RowProbes(const ConvertOptions& o, RowList& rows) : m_options(o), m_rows(rows) {
        m_queue.setMaxConcurrent(1);
        QObject::connect(&m_queue, &ProbeQueue::probed, &m_queue,
                         [this](quint64 ticket, const QString&, const MediaInfo& info,
                                MediaProbe::Outcome,
                                const QString& message) { onProbed(ticket, info, message); });
        for (const QString& file : o.files) {
            RunRow row;
            row.path = QFileInfo(file).absoluteFilePath();
            row.start = formatTimeString(o.start.value_or(0));
            if (o.end)
                row.end = formatTimeString(*o.end);
            m_keys.push_back(rows.append(row));
        }
    }

    const std::vector<quintptr>& keys() const { return m_keys; }

    void probeLaterRows() {
        for (std::size_t i = 1; i < m_keys.size(); ++i)
            if (const std::optional<RunRow> row = m_rows.row(m_keys[i]);
                row && QFileInfo(row->path).isFile())
                m_byTicket[m_queue.enqueue(row->path)] = m_keys[i];
    }

private:
    void onProbed(quint64 ticket, const MediaInfo& info, const QString& message) {
        const quintptr key = m_byTicket.at(ticket);
        if (std::optional<RunRow> row = m_rows.row(key)) {
            row->videoTime = probeColumns(info).videoTime;
            m_rows.update(key, *row);
        }
        if (!message.isEmpty() && m_options.verbose)
            err() << "mirelo-cli: warning: " << message << Qt::endl;
    }

    const ConvertOptions& m_options;
    RowList& m_rows;
    std::vector<quintptr> m_keys;
    ProbeQueue m_queue;
    std::map<quint64, quintptr> m_byTicket;
};

class ProgressDisplay {
public:
    ProgressDisplay(BatchRun& run, int rowCount, bool live) : m_rowCount(rowCount), m_live(live) {
        QObject::connect(&run, &BatchRun::rowStarted, [this, &run](quintptr) {
            ++m_row;
            if (!m_live)
                err() << QStringLiteral("[%1/%2] %3").arg(m_row).arg(m_rowCount).arg(run.caption())
                      << Qt::endl;
        });
        QObject::connect(&run, &BatchRun::trackProgressChanged, [this, &run](int) { draw(run); });
        QObject::connect(&run, &BatchRun::totalProgressChanged, [this, &run](int) { draw(run); });
        QObject::connect(&run, &BatchRun::rateChanged, [this, &run](const RunRate&) { draw(run); });
        QObject::connect(&run, &BatchRun::rowFinished, [this](quintptr, const JobResult& r) {
            clear();
            if (!m_live && !r.status().isEmpty())
                err() << QStringLiteral("[%1/%2] %3").arg(m_row).arg(m_rowCount).arg(r.status())
                      << Qt::endl;
        });
    }
    void clear() {
        if (m_live && m_drawn)
            err() << "\r\033[K" << Qt::flush;
        m_drawn = false;
    }

private:
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

    int m_rowCount;
    bool m_live;
    int m_row = 0;
    bool m_drawn = false;
};

void printReports(const std::vector<RowReport>& reports, bool json) {
    if (json) {
        QJsonArray rows;
        for (const RowReport& r : reports)
            rows.append(QJsonObject{{QStringLiteral("file"), r.file},
                                    {QStringLiteral("output"), r.output},
                                    {QStringLiteral("status"), r.status},
                                    {QStringLiteral("error"), r.error}});
        out() << QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented));
    } else {
        for (const RowReport& r : reports)
            if (!r.status.isEmpty())
                out() << r.status << '\t' << r.file << '\t' << r.output << '\n';
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
        if (r.status != QLatin1String("OK"))
            return kFailed;
    return kOk;
}

} // namespace

int runConvert(const QStringList& args) {
    ConvertOptions o;
    OptionSheet sheet;
    if (const int rc = parseOptions(args, o, sheet); rc != kOk)
        return rc;

    RowList rows;
    RowProbes probes(o, rows);
    const std::vector<quintptr>& keys = probes.keys();

    TerminalMessages messages;
    messages.m_quiet = o.json;
    BatchRun run(rows, sheet);
    run.setPlatform({nullptr, nullptr, &messages});
    run.setSettingsSource([&o] { return o.settings; });
    run.setProfileSource([&o] { return o.position; });

    ProgressDisplay display(run, int(keys.size()), !o.json && ::isatty(STDERR_FILENO));
    std::vector<RowReport> reports;
    for (const quintptr key : keys)
        reports.push_back({rows.row(key)->path, {}, {}, {}});
    bool stoppedByInput = false;
    QObject::connect(&run, &BatchRun::rowFinished, [&](quintptr key, const JobResult& r) {
        RowReport& report = reports[std::find(keys.begin(), keys.end(), key) - keys.begin()];
        report.status = r.status();
        report.output = r.outcome == JobOutcome::Ok ? r.outputPath : QString();
        report.error = r.outcome == JobOutcome::Ok ? QString() : r.message;
        stoppedByInput = r.outcome == JobOutcome::MissingInput;
        display.clear();
        if (o.verbose)
            err() << "Profile command line: " << r.commandLine
                  << "\nRan: " << displayArguments(r.program, r.arguments) << Qt::endl;
        if (r.outcome == JobOutcome::Fail)
            err() << "mirelo-cli: " << report.file << ": " << r.message << '\n'
                  << r.encoderLines.join(QLatin1Char('\n')) << Qt::endl;
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
    QEventLoop loop;
    QObject::connect(&run, &BatchRun::finished, &loop, [&](RunEnd e) {
        end = e;
        loop.quit();
    });
    if (!run.start())
        return kFailed; // the run said why (no encoder, no output folder)
    probes.probeLaterRows();
    loop.exec();
    display.clear();
    printReports(reports, o.json);
    return exitCodeFor(end, stoppedByInput, reports);
}

} // namespace mirelo::cli
