#pragma once

#include "sourcelist/SourceListModel.h"

#include <QList>
#include <QString>

namespace mirelo {

enum class RunEnd { Completed, Cancelled, Stopped };

// What a batch came to, row by row: the desktop's end message and notification and mirelo-cli's
// last line all state it in the same words.
class BatchOutcome {
public:
    // How the row ended: done, cancelled, or else not converted; detail: why it was not.
    void add(const QString& file, RowState state, const QString& detail = {});
    void clear() { *this = BatchOutcome(); }

    int converted() const { return m_converted; }
    int failed() const { return int(m_failures.size()); }
    int cancelled() const { return m_cancelled; }
    int total() const { return m_converted + failed() + m_cancelled; }
    bool allConverted() const { return total() > 0 && m_converted == total(); }

    // "4 files converted" or "3 of 4 files converted, 1 failed".
    QString summary() const;
    // "Conversion completed!" when every row converted, else "Conversion completed: 3 of 4
    // files converted, 1 failed." with the failed files named.
    QString endMessage() const;
    // Each failed file with its reason (the encoder's last lines and the command line).
    QString failureDetails() const;
    // mirelo-cli's last line: "Conversion completed: 3 of 4 files converted, 1 failed."
    QString line(RunEnd end) const;

private:
    QString counts(bool shortWhenAllConverted) const;

    struct Failure {
        QString file;
        QString detail;
    };
    int m_converted = 0;
    int m_cancelled = 0;
    QList<Failure> m_failures;
};

} // namespace mirelo
