#include "onlineimport/YtDlpPageReader.h"

#include "onlineimport/YtDlpProgram.h"

#include <QTimer>

#include <utility>

namespace mirelo {

namespace {

// A video's description with every format of a large site stays well under this.
constexpr qsizetype kMaxJsonBytes = 64 * 1024 * 1024;

} // namespace

QString ytDlpErrorLines(const QStringList& lines) {
    QStringList errors;
    for (const QString& line : lines)
        if (line.startsWith(QLatin1String("ERROR:")))
            errors += line.mid(6).trimmed();
    return errors.join(QLatin1Char(' '));
}

YtDlpPageReader::YtDlpPageReader(QObject* parent) : QObject(parent) {
    m_runner.setRole(QStringLiteral("yt-dlp program"));
    m_runner.setOutputs(ProgramRunner::Outputs::Separate);
    m_runner.setLineChannel(ProgramRunner::Channel::Error);
    m_runner.setKeptOutputLimit(kMaxJsonBytes + 1);
    m_runner.setTimeout(kDefaultTimeoutMs);
    connect(&m_runner, &ProgramRunner::finished, this, &YtDlpPageReader::onFinished);
}

void YtDlpPageReader::start(const QString& program, const QString& pageUrl) {
    m_page = {};
    m_error.clear();
    m_pageUrl = pageUrl.trimmed();
    QString error;
    const QString found = locateYtDlp(program, &error);
    if (found.isEmpty()) {
        failLater(error);
        return;
    }
    m_runner.setProgram(found,
                        ytDlpCommonArguments() +
                            QStringList{QStringLiteral("-J"), QStringLiteral("--"), m_pageUrl});
    m_runner.start();
}

// The answer comes from the event loop, as it does after a run.
void YtDlpPageReader::failLater(const QString& error) {
    m_error = error;
    QTimer::singleShot(0, this, [this] { Q_EMIT finished(false); });
}

void YtDlpPageReader::onFinished(const ProgramEnd& end) {
    const QString said = ytDlpErrorLines(m_runner.tail());
    if (!end.succeeded()) {
        m_error = end.message;
        if (!said.isEmpty() && !end.timedOut)
            m_error += QLatin1Char(' ') + said;
        Q_EMIT finished(false);
        return;
    }
    const QByteArray json = m_runner.keptOutput();
    if (json.size() > kMaxJsonBytes) {
        m_error = QStringLiteral("yt-dlp %1 described %2 in more than %3 MB; it is not read.")
                      .arg(m_runner.program(), m_pageUrl)
                      .arg(kMaxJsonBytes / (1024 * 1024));
        Q_EMIT finished(false);
        return;
    }
    QString error;
    std::optional<YtDlpPage> page = parseYtDlpJson(json, &error);
    if (!page) {
        m_error = QStringLiteral("%1 (%2, reading %3).").arg(error, m_runner.program(), m_pageUrl);
        Q_EMIT finished(false);
        return;
    }
    m_page = std::move(*page);
    if (m_page.pageUrl.isEmpty())
        m_page.pageUrl = m_pageUrl;
    Q_EMIT finished(true);
}

} // namespace mirelo
