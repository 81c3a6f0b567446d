// mirelo-cli import: a watch page's fields and stream links, and the download of one stream.

#include "cli/Cli.h"

#include "onlineimport/ImportFolders.h"
#include "onlineimport/StreamDownload.h"
#include "onlineimport/StreamLinks.h"
#include "onlineimport/TextOps.h"
#include "onlineimport/Transfer.h"
#include "onlineimport/WatchPage.h"
#include "onlineimport/YtDlpDownload.h"
#include "onlineimport/YtDlpPageReader.h"
#include "settings/AppSettings.h"

#include <QCoreApplication>
#include <QDir>
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

// The address a stream link is fetched from: links keep one level of escapes in the map.
QString usableLink(const QString& link) {
    return URLDecode(link).value_or(link);
}

// Fetches the page; the blocking wait is fine in the command-line tool.
std::optional<QString> fetchPage(Transfer& transfer, const QString& url, QString* error) {
    if (!transfer.execute(url)) {
        *error = transfer.errorString();
        return std::nullopt;
    }
    bool ok = false;
    const QMetaObject::Connection done =
        QObject::connect(&transfer, &Transfer::finished, qApp, [&ok](bool result) {
            ok = result;
            QCoreApplication::exit();
        });
    QCoreApplication::exec();
    QObject::disconnect(done);
    if (!ok) {
        *error = transfer.errorString();
        return std::nullopt;
    }
    return QString::fromUtf8(transfer.takeBody());
}

void printInfo(const WatchPageInfo& info, const StreamLinks& links, bool json) {
    if (json) {
        QJsonObject o;
        for (const PageField& f : kPageFields)
            o.insert(QLatin1String(f.name), info.*f.field);
        QJsonObject streams;
        for (auto it = links.begin(); it != links.end(); ++it)
            streams.insert(QString::number(it.key()), usableLink(it.value()));
        o.insert(QStringLiteral("streams"), streams);
        o.insert(QStringLiteral("backend"), QStringLiteral("classic"));
        out() << QJsonDocument(o).toJson(QJsonDocument::Indented);
        return;
    }
    for (const PageField& f : kPageFields)
        out() << f.name << ": " << info.*f.field << '\n';
    for (const StreamFormat& format : streamFormats())
        if (links.contains(format.code))
            out() << "stream " << format.code << " (" << format.caption
                  << "): " << usableLink(links[format.code]) << '\n';
    out() << "backend: classic\n";
}

// The same fields as a classic page, the address each button's stream plays from, and the
// yt-dlp formats it downloads.
void printYtDlpInfo(const YtDlpPage& page, const QMap<int, YtDlpChoice>& choices, bool json) {
    const QString backend = QStringLiteral("yt-dlp");
    if (json) {
        QJsonObject o;
        for (const PageField& f : kPageFields)
            o.insert(QLatin1String(f.name), page.info.*f.field);
        QJsonObject streams;
        QJsonObject formats;
        for (auto it = choices.begin(); it != choices.end(); ++it) {
            streams.insert(QString::number(it.key()), it->previewUrl());
            formats.insert(QString::number(it.key()), it->formatSpec());
        }
        o.insert(QStringLiteral("streams"), streams);
        o.insert(QStringLiteral("formats"), formats);
        o.insert(QStringLiteral("backend"), backend);
        o.insert(QStringLiteral("ytdlpVersion"), page.version);
        out() << QJsonDocument(o).toJson(QJsonDocument::Indented);
        return;
    }
    for (const PageField& f : kPageFields)
        out() << f.name << ": " << page.info.*f.field << '\n';
    for (const StreamFormat& format : streamFormats())
        if (const auto it = choices.find(format.code); it != choices.end())
            out() << "stream " << format.code << " (" << format.caption << ", yt-dlp format "
                  << it->formatSpec() << "): " << it->previewUrl() << '\n';
    out() << "backend: " << backend << ' ' << page.version << '\n';
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

int download(Transfer& transfer, const QString& link, const QString& filePath) {
    StreamDownload download(transfer);
    if (!download.start(link, filePath))
        return fail(kFailed, QStringLiteral("download failed: %1").arg(download.errorString()));
    ProgressPrinter printer;
    QObject::connect(&download, &StreamDownload::progress, qApp,
                     [&printer](int percent) { printer.show(percent); });
    QObject::connect(&download, &StreamDownload::finished, qApp,
                     [](bool) { QCoreApplication::exit(); });
    QCoreApplication::exec();
    printer.end();
    if (download.errorString().size() > 0)
        return fail(kFailed, QStringLiteral("download failed: %1").arg(download.errorString()));
    out() << QDir::toNativeSeparators(download.filePath()) << '\n';
    return kOk;
}

// Reads the page with yt-dlp; the blocking wait is fine in the command-line tool.
std::optional<YtDlpPage> readWithYtDlp(const QString& url, QString* error) {
    YtDlpPageReader reader;
    reader.start(AppSettings::forApplication().ytdlpProgram(), url);
    std::optional<bool> ok;
    QObject::connect(&reader, &YtDlpPageReader::finished, qApp, [&ok](bool result) {
        ok = result;
        QCoreApplication::exit();
    });
    QCoreApplication::exec();
    if (!ok) {
        *error = QStringLiteral("interrupted");
        return std::nullopt;
    }
    if (!*ok) {
        *error = reader.errorString();
        return std::nullopt;
    }
    return reader.page();
}

// A first Ctrl+C (or SIGTERM...) stops yt-dlp in stages and removes its partial files; the tool
// then ends with 128 + the signal.
int downloadWithYtDlp(const YtDlpPage& page, const YtDlpChoice& choice, const QString& filePath) {
    YtDlpDownload download;
    if (!download.start(AppSettings::forApplication().ytdlpProgram(), page.pageUrl, choice,
                        filePath))
        return fail(kFailed, QStringLiteral("download failed: %1").arg(download.errorString()));
    bool cancelAsked = false;
    const TerminationTakeOver takeOver([&download, &cancelAsked](int) {
        if (download.running() && !std::exchange(cancelAsked, true))
            download.cancel();
        else
            ProgramRunner::killAll();
    });
    ProgressPrinter printer;
    QObject::connect(&download, &YtDlpDownload::progress, qApp,
                     [&printer](int percent) { printer.show(percent); });
    QObject::connect(&download, &YtDlpDownload::finished, qApp,
                     [](bool) { QCoreApplication::exit(); });
    QCoreApplication::exec();
    printer.end();
    if (const int interrupted = terminationExitCode())
        return interrupted;
    if (!download.errorString().isEmpty())
        return fail(kFailed, QStringLiteral("download failed: %1").arg(download.errorString()));
    out() << QDir::toNativeSeparators(download.filePath()) << '\n';
    return kOk;
}

int importWithYtDlp(const QString& url, const StreamFormat* format, const ParsedArgs& parsed) {
    QString error;
    const std::optional<YtDlpPage> page = readWithYtDlp(url, &error);
    if (const int interrupted = terminationExitCode())
        return interrupted;
    if (!page)
        return fail(kFailed, QStringLiteral("cannot read the page with yt-dlp: %1").arg(error));
    const QMap<int, YtDlpChoice> choices = chooseYtDlpFormats(page->formats);
    if (!format) {
        printYtDlpInfo(*page, choices, parsed.has(QStringLiteral("--json")));
        out().flush();
        return kOk;
    }
    if (!choices.contains(format->code))
        return fail(
            kUsage,
            QStringLiteral("%1 offers no stream %2").arg(url, QString::number(format->code)));
    const YtDlpChoice& choice = choices[format->code];
    const QString dest = parsed.last(QStringLiteral("--dest"), importFolder());
    if (!QDir().mkpath(dest))
        return fail(kFailed, QStringLiteral("cannot create the folder %1").arg(dest));
    const QString filePath = QDir(dest).filePath(
        downloadFileName(page->info.title, QLatin1Char('.') + choice.ext, page->info.videoId));
    return downloadWithYtDlp(*page, choice, filePath);
}

void printWarnings(const QStringList& warnings) {
    for (const QString& w : warnings)
        err() << "mirelo-cli: warning: " << w << '\n';
    err().flush();
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
    const StreamFormat* format = nullptr;
    if (parsed->has(QStringLiteral("--download"))) {
        bool isNumber = false;
        const int code = parsed->last(QStringLiteral("--download")).toInt(&isNumber);
        format = isNumber ? streamFormat(code) : nullptr;
        if (!format)
            return fail(kUsage, QStringLiteral("--download takes 22, 34, 35 or 5"));
    }

    Transfer transfer;
    const QString url = parsed->positionals[0];
    const std::optional<QString> page = fetchPage(transfer, url, &error);
    if (!page)
        return fail(kFailed, QStringLiteral("cannot fetch the page: %1").arg(error));
    if (!isClassicWatchPage(*page))
        return importWithYtDlp(url, format, *parsed);
    WatchPageInfo& info = watchPageInfo();
    QStringList warnings;
    ParseWatchPage(*page, info, &warnings);
    StreamLinks links;
    readStreamLinks(*page, links, &warnings);
    printWarnings(warnings);

    if (!format) {
        printInfo(info, links, parsed->has(QStringLiteral("--json")));
        out().flush();
        return kOk;
    }
    if (!links.contains(format->code))
        return fail(
            kUsage,
            QStringLiteral("%1 offers no stream %2").arg(url, QString::number(format->code)));
    const QString dest = parsed->last(QStringLiteral("--dest"), importFolder());
    if (!QDir().mkpath(dest))
        return fail(kFailed, QStringLiteral("cannot create the folder %1").arg(dest));
    const QString filePath = QDir(dest).filePath(
        downloadFileName(info.title, QLatin1String(format->fileSuffix), info.videoId));
    const std::optional<QString> link = URLDecode(links[format->code]);
    if (!link)
        return fail(kFailed, QStringLiteral("the link of stream %1 is not a valid encoded address")
                                 .arg(format->code));
    return download(transfer, *link, filePath);
}

} // namespace mirelo::cli
