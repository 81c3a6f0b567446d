// mirelo-cli probe: the columns a file's row gets when it is added to the list.

#include "cli/Cli.h"

#include "base/ByteNames.h"
#include "base/ToolLocator.h"
#include "probe/MediaInfo.h"
#include "probe/ProbeQueue.h"
#include "sourcelist/SourceListModel.h"

#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>

namespace mirelo::cli {

namespace {

struct ProbedFile {
    QString path;
    MediaInfo info;
};

// Probes every file concurrently, as the list does; results in the order given.
std::vector<ProbedFile> probeAll(const QStringList& files) {
    ProbeQueue queue;
    std::map<quint64, std::size_t> index;
    std::vector<ProbedFile> results(files.size());
    QObject::connect(&queue, &ProbeQueue::probed, &queue,
                     [&](quint64 ticket, const QString&, const MediaInfo& info, MediaProbe::Outcome,
                         const QString& message) {
                         results[index.at(ticket)].info = info;
                         if (!message.isEmpty())
                             err() << "mirelo-cli: warning: " << standIns().visibleText(message)
                                   << Qt::endl;
                     });
    for (qsizetype i = 0; i < files.size(); ++i) {
        results[i].path = files[i];
        index[queue.enqueue(files[i])] = std::size_t(i);
    }
    QEventLoop loop; // a blocking wait is fine in the command-line tool
    QObject::connect(&queue, &ProbeQueue::idle, &loop, &QEventLoop::quit);
    if (!queue.isIdle())
        loop.exec();
    return results;
}

// The row the list gives the file, but with the frame size as the player printed it ("0x0" for
// sound alone).
SourceRow probedRow(const ProbedFile& f) {
    SourceRow row;
    row.path = standIns().visible(f.path);
    row.status.state = RowState::Ready;
    row.clipStart = 0;
    if (const std::optional<qint64> seconds = f.info.wholeSeconds())
        row.clipEnd = row.length = int(*seconds);
    row.frameSize = QSize(f.info.width, f.info.height);
    row.format = f.info.videoFormat;
    return row;
}

// The columns printed, with their names in the JSON form.
constexpr std::pair<SourceListModel::Column, const char*> kPrinted[] = {
    {SourceListModel::FileNameColumn, "file"}, {SourceListModel::StartColumn, "start"},
    {SourceListModel::EndColumn, "end"},       {SourceListModel::SizeColumn, "size"},
    {SourceListModel::FormatColumn, "format"}, {SourceListModel::VideoTimeColumn, "videoTime"},
};

void printText(const std::vector<ProbedFile>& files) {
    out() << "File Name\tStart\tEnd\tSize\tFormat\tVideo Time\n";
    for (const ProbedFile& f : files) {
        const SourceRow row = probedRow(f);
        QStringList cells;
        for (const auto& [column, name] : kPrinted)
            cells += SourceListModel::text(row, column);
        out() << cells.join(QLatin1Char('\t')) << '\n';
    }
    out().flush();
}

void printJson(const std::vector<ProbedFile>& files) {
    QJsonArray rows;
    for (const ProbedFile& f : files) {
        const SourceRow row = probedRow(f);
        QJsonObject object;
        for (const auto& [column, name] : kPrinted)
            object.insert(QLatin1String(name), SourceListModel::text(row, column));
        rows.append(object);
    }
    out() << QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented));
    out().flush();
}

} // namespace

int runProbe(const QStringList& args) {
    QString error;
    const auto parsed = parseArgs(args, {{"--json", false}}, &error);
    if (!parsed)
        return fail(kUsage, error);
    if (parsed->positionals.isEmpty())
        return fail(kUsage, QStringLiteral("probe needs at least one file"));
    if (locatePlayer().isEmpty())
        return fail(kFailed,
                    QStringLiteral("the media player program \"%1\" was not found (looked "
                                   "for mp.dll in %2 and for %1 on PATH)")
                        .arg(playerDisplayName(), QDir::toNativeSeparators(applicationFolder())));
    const std::vector<ProbedFile> files = probeAll(parsed->positionals);
    if (const int signalled = terminationExitCode())
        return signalled; // cut short: the rows would be wrong
    if (parsed->has(QStringLiteral("--json")))
        printJson(files);
    else
        printText(files);
    return kOk;
}

} // namespace mirelo::cli
