// mirelo-cli import: a watch page's fields and stream links, and the download of one stream.

#include "cli/Cli.h"

#include "onlineimport/ImportFolders.h"
#include "onlineimport/ImportSession.h"
#include "process/ProgramRunner.h"
#include "settings/AppSettings.h"

#include <QDir>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

#include <unistd.h>

namespace mirelo::cli {

namespace {

struct PageField {
    const char* name;
    QString WatchPageInfo::*field;
};

const PageField kPageFields[] = {
    {"videoId", &WatchPageInfo::videoId},
    {"title", &WatchPageInfo::title},
    {"author", &WatchPageInfo::author},
    {"published", &WatchPageInfo::published},
    {"category", &WatchPageInfo::category},
    {"description", &WatchPageInfo::description},
    {"thumbnailUrl", &WatchPageInfo::thumbnailUrl},
    {"lengthSeconds", &WatchPageInfo::lengthSeconds},
    {"rating", &WatchPageInfo::rating},
};

// The page's fields, the address each stream it offers plays from and the reader that served it;
// a page yt-dlp read also gives the yt-dlp format each stream downloads.
void printPage(const ImportPage& page, bool json) {
    const bool ytDlp = page.reader == PageReader::YtDlp;
    if (json) {
        QJsonObject o;
        for (const PageField& f : kPageFields)
            o.insert(QLatin1String(f.name), page.info.*f.field);
        QJsonObject streams;
        QJsonObject formats;
        for (const int code : page.offeredCodes()) {
            streams.insert(QString::number(code), page.streamAddress(code));
            formats.insert(QString::number(code), page.choices.value(code).formatSelector());
        }
        o.insert(QStringLiteral("streams"), streams);
        o.insert(QStringLiteral("backend"),
                 ytDlp ? QStringLiteral("yt-dlp") : QStringLiteral("classic"));
        if (ytDlp) {
            o.insert(QStringLiteral("formats"), formats);
            o.insert(QStringLiteral("ytdlpVersion"), page.ytDlpVersion);
        }
        out() << QJsonDocument(o).toJson(QJsonDocument::Indented);
        return;
    }
    for (const PageField& f : kPageFields)
        out() << f.name << ": " << page.info.*f.field << '\n';
    for (const StreamFormat& format : streamFormats()) {
        if (!page.offers(format.code))
            continue;
        out() << "stream " << format.code << " (" << format.caption;
        if (ytDlp)
            out() << ", yt-dlp format " << page.choices.value(format.code).formatSelector();
        out() << "): " << page.streamAddress(format.code) << '\n';
    }
    if (ytDlp)
        out() << "backend: yt-dlp " << page.ytDlpVersion << '\n';
    else
        out() << "backend: classic\n";
}

void printWarnings(const QStringList& warnings) {
    for (const QString& w : warnings)
        err() << "mirelo-cli: warning: " << w << '\n';
    err().flush();
}

// Download progress on stderr: one live line on a terminal; elsewhere (a pipe, a log) a line per
// whole percent, so that the output stays small and readable and stdout holds only the result.
class ProgressPrinter {
public:
    void show(int percent) {
        if (percent == m_shown)
            return;
        m_shown = percent;
        if (m_terminal)
            err() << '\r' << percent << " % ";
        else
            err() << percent << " %\n";
        err().flush();
    }
    void end() {
        if (m_terminal && m_shown >= 0)
            err() << '\n';
        err().flush();
    }

private:
    const bool m_terminal = ::isatty(STDERR_FILENO) == 1;
    int m_shown = -1;
};

struct ImportRequest {
    QString url;
    const StreamFormat* format = nullptr; // none: the page is printed
    bool json = false;
    QString dest;
};

// One import on the session: the page is read, then printed or one of its streams downloaded;
// the tool's exit code says how it ended. A first Ctrl+C (or SIGTERM...) cancels the read or the
// download (whose partial files go); the tool then ends with 128 + the signal.
class ImportRun {
public:
    explicit ImportRun(ImportRequest request) : m_request(std::move(request)) {}
    int exec();

private:
    void onFinished(const ImportSession::Outcome& outcome);
    void afterRead();
    void startDownload();
    void afterDownload(const ImportSession::Outcome& outcome);
    void quit(int code);

    const ImportRequest m_request;
    ImportSession m_session{AppSettings::forApplication()};
    ProgressPrinter m_printer;
    QEventLoop m_loop;
    int m_exitCode = kOk;
};

int ImportRun::exec() {
    bool cancelAsked = false;
    const TerminationTakeOver takeOver([this, &cancelAsked](int) {
        if (m_session.busy() && !std::exchange(cancelAsked, true)) {
            m_session.cancel();
            return;
        }
        ProgramRunner::killAll();
        quit(terminationExitCode());
    });
    QObject::connect(&m_session, &ImportSession::downloadProgress, &m_loop,
                     [this](int percent) { m_printer.show(percent); });
    QObject::connect(&m_session, &ImportSession::finished, &m_loop,
                     [this](const ImportSession::Outcome& outcome) { onFinished(outcome); });
    m_session.read(m_request.url);
    m_loop.exec();
    return m_exitCode;
}

void ImportRun::onFinished(const ImportSession::Outcome& outcome) {
    using State = ImportSession::State;
    if (outcome.end == State::Cancelled) {
        m_printer.end();
        const int interrupted = terminationExitCode();
        quit(interrupted ? interrupted : kInterrupted);
    } else if (outcome.stage == ImportSession::Stage::Downloading) {
        afterDownload(outcome);
    } else if (outcome.end == State::Failed) {
        quit(fail(kFailed, (outcome.stage == ImportSession::Stage::ReadingWithYtDlp
                                ? QStringLiteral("cannot read the page with yt-dlp: %1")
                                : QStringLiteral("cannot fetch the page: %1"))
                               .arg(outcome.error)));
    } else {
        afterRead();
    }
}

void ImportRun::afterRead() {
    const ImportPage& page = m_session.page();
    printWarnings(page.warnings);
    if (m_request.format) {
        startDownload();
        return;
    }
    printPage(page, m_request.json);
    out().flush();
    quit(kOk);
}

void ImportRun::startDownload() {
    const int code = m_request.format->code;
    switch (m_session.download(code, m_request.dest)) {
    case ImportSession::Refusal::None:
        return;
    case ImportSession::Refusal::NoStream:
        quit(fail(
            kUsage,
            QStringLiteral("%1 offers no stream %2").arg(m_request.url, QString::number(code))));
        return;
    case ImportSession::Refusal::FolderNotCreated:
        quit(fail(kFailed, m_session.errorString()));
        return;
    case ImportSession::Refusal::BadLink:
        quit(
            fail(kFailed,
                 QStringLiteral("the link of stream %1 is not a valid encoded address").arg(code)));
        return;
    default:
        quit(fail(kFailed, QStringLiteral("download failed: %1").arg(m_session.errorString())));
    }
}

void ImportRun::afterDownload(const ImportSession::Outcome& outcome) {
    m_printer.end();
    if (outcome.end == ImportSession::State::Failed) {
        quit(fail(kFailed, QStringLiteral("download failed: %1").arg(outcome.error)));
        return;
    }
    out() << QDir::toNativeSeparators(outcome.filePath) << '\n';
    out().flush();
    quit(kOk);
}

void ImportRun::quit(int code) {
    m_exitCode = code;
    m_loop.quit();
}

} // namespace

int runImport(const QStringList& args) {
    QString error;
    const auto parsed =
        parseArgs(args, {{"--json", false}, {"--download", true}, {"--dest", true}}, &error);
    if (!parsed)
        return fail(kUsage, error);
    if (parsed->positionals.size() != 1)
        return fail(kUsage, QStringLiteral("import needs exactly one watch-page address"));
    ImportRequest request;
    request.url = parsed->positionals[0];
    request.json = parsed->has(QStringLiteral("--json"));
    request.dest = parsed->last(QStringLiteral("--dest"), importFolder());
    if (parsed->has(QStringLiteral("--download"))) {
        bool isNumber = false;
        const int code = parsed->last(QStringLiteral("--download")).toInt(&isNumber);
        request.format = isNumber ? streamFormat(code) : nullptr;
        if (!request.format)
            return fail(kUsage, QStringLiteral("--download takes 22, 34, 35 or 5"));
    }
    return ImportRun(std::move(request)).exec();
}

} // namespace mirelo::cli
