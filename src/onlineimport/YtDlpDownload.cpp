#include "onlineimport/YtDlpDownload.h"

#include "onlineimport/NewFileWriter.h"
#include "onlineimport/StreamLinks.h"
#include "onlineimport/YtDlpPageReader.h"
#include "onlineimport/YtDlpProgram.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace mirelo {

namespace {

const char kProgressTag[] = "mirelo-progress";
const char kWorkStem[] = "media";
constexpr int kGraceMs = 1500;

qint64 number(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && value >= 0 && value < 9e18 ? qint64(value) : -1;
}

// A folder only this process can enter, with an unpredictable name, made exclusively.
QString makeWorkFolder(const QString& folder, QString* error) {
    QByteArray pattern =
        QFile::encodeName(QDir(folder).filePath(QStringLiteral(".mirelo-ytdlp-XXXXXX")));
    if (!::mkdtemp(pattern.data())) {
        *error = QStringLiteral("cannot create a working folder in %1: %2")
                     .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    return QFile::decodeName(pattern);
}

bool isPartial(const QString& name) {
    return name.endsWith(QLatin1String(".part")) || name.endsWith(QLatin1String(".ytdl")) ||
           name.contains(QLatin1String(".part-Frag")) || name.endsWith(QLatin1String(".temp"));
}

} // namespace

int ytDlpPercent(const QList<qint64>& done, const QList<qint64>& total) {
    if (total.isEmpty())
        return 0;
    qint64 doneBytes = 0;
    qint64 totalBytes = 0;
    double shares = 0;
    bool allKnown = true;
    for (qsizetype i = 0; i < total.size(); ++i) {
        const qint64 d = std::max<qint64>(done.value(i, 0), 0);
        if (total[i] <= 0) {
            allKnown = false;
            continue;
        }
        doneBytes += std::min(d, total[i]);
        totalBytes += total[i];
        shares += double(std::min(d, total[i])) / double(total[i]);
    }
    if (allKnown)
        return downloadPercent(doneBytes, totalBytes);
    return int(std::nearbyint(100.0 * shares / double(total.size())));
}

std::optional<YtDlpProgressLine> parseYtDlpProgressLine(const QString& line) {
    const QStringList words = line.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() != 4 || words[0] != QLatin1String(kProgressTag))
        return std::nullopt;
    return YtDlpProgressLine{words[1], number(words[2]), number(words[3])};
}

YtDlpDownload::YtDlpDownload(QObject* parent)
    : QObject(parent), m_runner(std::make_unique<ProgramRunner>()) {
    m_runner->setRole(QStringLiteral("yt-dlp program"));
    m_runner->setOutputs(ProgramRunner::Outputs::Merged);
    m_runner->setLineChannel(ProgramRunner::Channel::Output);
    m_runner->setTailFilter([](const QString& line) { return !parseYtDlpProgressLine(line); });
    m_runner->setTimeout(kSilenceTimeoutMs);
    m_runner->setStopPolicy({ProgramRunner::PoliteStep::Interrupt, {}, kGraceMs, kGraceMs});
    connect(m_runner.get(), &ProgramRunner::lineReceived, this,
            [this](ProgramRunner::Channel, const QString& line) { onLine(line); });
    connect(m_runner.get(), &ProgramRunner::finished, this, &YtDlpDownload::onFinished);
}

// The program is killed and reaped before its folder goes, so nothing is written after.
YtDlpDownload::~YtDlpDownload() {
    m_runner.reset();
    removeWorkFolder();
}

bool YtDlpDownload::start(const QString& program, const QString& pageUrl, const YtDlpChoice& choice,
                          const QString& filePath) {
    if (running()) {
        m_error = QStringLiteral("a download is already running");
        return false;
    }
    m_error.clear();
    m_finalPath.clear();
    m_cancelled = false;
    m_shownPercent = -1;
    m_choice = choice;
    m_filePath = filePath;
    m_program = locateYtDlp(program, &m_error);
    if (m_program.isEmpty())
        return false;
    m_workFolder = makeWorkFolder(QFileInfo(filePath).path(), &m_error);
    if (m_workFolder.isEmpty())
        return false;
    m_partDone.clear();
    m_partTotal.clear();
    for (const YtDlpFormat& part : choice.parts) {
        m_partDone += 0;
        m_partTotal += part.size;
    }
    QStringList arguments = ytDlpCommonArguments();
    arguments << QStringLiteral("--newline") << QStringLiteral("--no-mtime")
              << QStringLiteral("--progress-template")
              << QStringLiteral("download:%1 %(info.format_id)s %(progress.downloaded_bytes)s "
                                "%(progress.total_bytes,progress.total_bytes_estimate)s")
                     .arg(QLatin1String(kProgressTag))
              << QStringLiteral("-f") << choice.formatSelector();
    if (choice.parts.size() > 1)
        arguments << QStringLiteral("--merge-output-format") << choice.ext;
    arguments << QStringLiteral("-o")
              << QDir(m_workFolder).filePath(QLatin1String(kWorkStem) + QStringLiteral(".%(ext)s"))
              << QStringLiteral("--") << pageUrl.trimmed();
    m_runner->setProgram(m_program, arguments);
    m_runner->start();
    return true;
}

void YtDlpDownload::cancel() {
    if (!running())
        return;
    m_cancelled = true;
    m_runner->stop();
}

void YtDlpDownload::onLine(const QString& line) {
    const std::optional<YtDlpProgressLine> p = parseYtDlpProgressLine(line);
    if (!p)
        return;
    m_runner->restartTimeout();
    qsizetype part = 0;
    while (part < m_choice.parts.size() && m_choice.parts[part].id != p->formatId)
        ++part;
    if (part == m_choice.parts.size())
        part = 0; // a single format under another name
    if (part >= m_partDone.size())
        return;
    m_partDone[part] = p->done;
    if (p->total > 0)
        m_partTotal[part] = p->total;
    for (qsizetype earlier = 0; earlier < part; ++earlier)
        m_partDone[earlier] = std::max<qint64>(m_partTotal[earlier], m_partDone[earlier]);
    const int percent = std::clamp(ytDlpPercent(m_partDone, m_partTotal), 0, 100);
    if (percent != m_shownPercent) {
        m_shownPercent = percent;
        Q_EMIT progress(percent);
    }
}

void YtDlpDownload::onFinished(const ProgramEnd& end) {
    if (m_cancelled) {
        failWith(QStringLiteral("the download of %1 was cancelled").arg(m_filePath));
        return;
    }
    if (!end.succeeded()) {
        const QString said = ytDlpErrorLines(m_runner->tail());
        failWith(said.isEmpty() || end.timedOut ? end.message
                                                : QString(end.message + QLatin1Char(' ') + said));
        return;
    }
    if (!placeFile())
        return;
    if (m_shownPercent != 100)
        Q_EMIT progress(100);
    m_shownPercent = 100;
    Q_EMIT finished(true);
}

// The finished file leaves the working folder under the title, with the container yt-dlp wrote.
bool YtDlpDownload::placeFile() {
    QFileInfo done;
    const QDir work(m_workFolder);
    for (const QFileInfo& entry :
         work.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Size)) {
        if (!isPartial(entry.fileName()) &&
            entry.fileName().startsWith(QLatin1String(kWorkStem) + QLatin1Char('.'))) {
            done = entry;
            break; // the largest: a merge may leave its parts beside the result
        }
    }
    if (!done.exists()) {
        failWith(QStringLiteral("yt-dlp %1 ended without writing %2").arg(m_program, m_filePath));
        return false;
    }
    QString name = QFileInfo(m_filePath).fileName();
    const QString wantedSuffix = QLatin1Char('.') + m_choice.ext;
    if (!m_choice.ext.isEmpty() && name.endsWith(wantedSuffix) && done.suffix() != m_choice.ext)
        name = name.chopped(wantedSuffix.size()) + QLatin1Char('.') + done.suffix();
    QString error;
    const std::optional<QString> placed =
        moveToFreeName(done.absoluteFilePath(), QFileInfo(m_filePath).path(), name, &error);
    if (!placed) {
        failWith(error);
        return false;
    }
    m_finalPath = *placed;
    removeWorkFolder();
    return true;
}

void YtDlpDownload::removeWorkFolder() {
    if (m_workFolder.isEmpty())
        return;
    QDir(m_workFolder).removeRecursively();
    m_workFolder.clear();
}

void YtDlpDownload::failWith(const QString& error) {
    m_error = error;
    removeWorkFolder();
    Q_EMIT finished(false);
}

} // namespace mirelo
