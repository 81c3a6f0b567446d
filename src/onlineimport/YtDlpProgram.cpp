#include "onlineimport/YtDlpProgram.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace mirelo {

namespace {

const char kInstallHint[] =
    "Install it with \"sudo apt install yt-dlp\" (Debian's package), or download a newer yt-dlp "
    "and choose it as the yt-dlp program in the settings (Video Options).";

} // namespace

QString locateYtDlp(const QString& configured, QString* error) {
    const QString chosen = configured.trimmed();
    if (chosen.isEmpty()) {
        const QString found = QStandardPaths::findExecutable(QStringLiteral("yt-dlp"));
        if (found.isEmpty())
            *error = QStringLiteral("yt-dlp was not found on PATH; it reads pages that are not in "
                                    "the classic watch-page format. ") +
                     QLatin1String(kInstallHint);
        return found;
    }
    const QFileInfo program(chosen);
    if (!program.isFile() || !program.isExecutable()) {
        *error = QStringLiteral("the yt-dlp program %1 chosen in the settings is not an "
                                "executable file. ")
                     .arg(chosen) +
                 QLatin1String(kInstallHint);
        return {};
    }
    return program.absoluteFilePath();
}

QStringList ytDlpCommonArguments() {
    return {QStringLiteral("--ignore-config"), QStringLiteral("--no-playlist"),
            QStringLiteral("--no-colors")};
}

bool isWebAddress(const QString& url) {
    const QString scheme = QUrl(url.trimmed()).scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace mirelo
