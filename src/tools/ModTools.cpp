#include "tools/ModTools.h"

#include "tools/Process.h"
#include "tools/ToolLocator.h"

#include <QDir>

namespace mirelo {

QString appFolder() {
    QString folder = QDir::toNativeSeparators(applicationFolder());
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

std::unique_ptr<Process> newProcess(const QString& cmdLine) {
    auto process = std::make_unique<Process>();
    process->setCmdLine(cmdLine);
    return process;
}

QStringList splitCommandLine(const QString& commandLine) {
    QStringList result;
    QString current;
    bool inArgument = false;
    bool inQuotes = false;
    int backslashes = 0;
    for (qsizetype i = 0; i < commandLine.size(); ++i) {
        const QChar c = commandLine.at(i);
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            inArgument = true;
            continue;
        }
        if (c == QLatin1Char('"')) {
            current += QString(backslashes / 2, QLatin1Char('\\'));
            const bool escaped = backslashes % 2 == 1;
            backslashes = 0;
            inArgument = true;
            if (escaped) {
                current += c;
            } else if (inQuotes && i + 1 < commandLine.size() &&
                       commandLine.at(i + 1) == QLatin1Char('"')) {
                current += c; // "" inside quotes is a literal quote
                ++i;
            } else {
                inQuotes = !inQuotes;
            }
            continue;
        }
        current += QString(backslashes, QLatin1Char('\\'));
        backslashes = 0;
        if ((c == QLatin1Char(' ') || c == QLatin1Char('\t')) && !inQuotes) {
            if (inArgument)
                result << current;
            current.clear();
            inArgument = false;
            continue;
        }
        current += c;
        inArgument = true;
    }
    current += QString(backslashes, QLatin1Char('\\'));
    if (inArgument)
        result << current;
    return result;
}

} // namespace mirelo
