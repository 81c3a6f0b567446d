#pragma once

#include "onlineimport/YtDlpInfo.h"
#include "process/ProgramRunner.h"

#include <QObject>
#include <QString>

namespace mirelo {

// Reads a page with yt-dlp -J on the product's child-program runner: no shell, its own process
// group, a time-out. finished() follows every start(), never from inside it.
class YtDlpPageReader : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 90'000;

    explicit YtDlpPageReader(QObject* parent = nullptr);

    // `program`: the settings' yt-dlp, empty for the one on PATH.
    void start(const QString& program, const QString& pageUrl);
    void stop() { m_runner.stop(); }
    bool running() const { return m_runner.isRunning(); }
    void setTimeout(int milliseconds) { m_runner.setTimeout(milliseconds); }

    // After finished(true): the page; after finished(false): why, naming yt-dlp.
    const YtDlpPage& page() const { return m_page; }
    QString errorString() const { return m_error; }

Q_SIGNALS:
    void finished(bool ok);

private:
    void onFinished(const ProgramEnd& end);
    void failLater(const QString& error);

    ProgramRunner m_runner;
    YtDlpPage m_page;
    QString m_error;
    QString m_pageUrl;
};

// yt-dlp's own explanation in its output ("ERROR: ..." lines), for the messages.
QString ytDlpErrorLines(const QStringList& lines);

} // namespace mirelo
