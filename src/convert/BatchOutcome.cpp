#include "convert/BatchOutcome.h"

#include <QStringList>

namespace mirelo {

void BatchOutcome::add(const QString& file, RowState state, const QString& detail) {
    if (state == RowState::Done)
        ++m_converted;
    else if (state == RowState::Cancelled)
        ++m_cancelled;
    else
        m_failures.append({file, detail});
}

// "3 of 4 files converted, 1 failed"; "4 files converted" when asked and every row converted.
QString BatchOutcome::counts(bool shortWhenAllConverted) const {
    const QString files = total() == 1 ? QStringLiteral("file") : QStringLiteral("files");
    QString text =
        shortWhenAllConverted && allConverted()
            ? QStringLiteral("%1 %2 converted").arg(total()).arg(files)
            : QStringLiteral("%1 of %2 %3 converted").arg(m_converted).arg(total()).arg(files);
    if (failed() > 0)
        text += QStringLiteral(", %1 failed").arg(failed());
    if (m_cancelled > 0)
        text += QStringLiteral(", %1 cancelled").arg(m_cancelled);
    return text;
}

QString BatchOutcome::summary() const {
    return counts(true);
}

QString BatchOutcome::endMessage() const {
    if (allConverted())
        return QStringLiteral("Conversion completed!");
    QString text = line(RunEnd::Completed);
    if (!m_failures.isEmpty()) {
        text += QStringLiteral("\n\nNot converted:");
        for (const Failure& f : m_failures)
            text += QStringLiteral("\n") + f.file;
    }
    return text;
}

QString BatchOutcome::failureDetails() const {
    QStringList parts;
    for (const Failure& f : m_failures)
        parts += f.file + QStringLiteral(":\n") + f.detail;
    return parts.join(QStringLiteral("\n\n"));
}

QString BatchOutcome::line(RunEnd end) const {
    QString headline = QStringLiteral("Conversion completed");
    if (end == RunEnd::Cancelled)
        headline = QStringLiteral("Conversion cancelled");
    else if (m_converted == 0)
        headline = QStringLiteral("Conversion failed");
    else if (end == RunEnd::Stopped)
        headline = QStringLiteral("Conversion stopped");
    return headline + QStringLiteral(": ") + counts(false) + QLatin1Char('.');
}

} // namespace mirelo
