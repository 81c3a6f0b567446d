#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <optional>
#include <vector>

namespace mirelo {

// A row of the list a run converts, as the run reads it when it reaches the row.
struct RunRow {
    QString path;
    QString start;     // "H:MM:SS"
    QString end;       // "H:MM:SS"
    QString videoTime; // the probed length, "H:MM:SS"; empty when not known
    bool probing = false;
};

// The list a run walks. Rows are identified by a key that stays valid while the row exists, so
// rows removed during a run are skipped and rows still being probed are waited for.
class RowSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QList<quintptr> rowKeys() const = 0; // in list order
    virtual std::optional<RunRow> row(quintptr key) const = 0;
    // Writes the row's status ("Processing", "OK", "Fail", "Cancel") and what to show about it.
    virtual void setStatus(quintptr key, const QString& status, const QString& detail) = 0;

Q_SIGNALS:
    // A row was removed or its probe ended.
    void rowsChanged();
};

// A plain list of rows (mirelo-cli, tests).
class RowList : public RowSource {
    Q_OBJECT
public:
    using RowSource::RowSource;

    quintptr append(const RunRow& row);
    void remove(quintptr key);
    void update(quintptr key, const RunRow& row);

    QList<quintptr> rowKeys() const override;
    std::optional<RunRow> row(quintptr key) const override;
    void setStatus(quintptr key, const QString& status, const QString& detail) override;

    QString status(quintptr key) const;
    QString detail(quintptr key) const;

private:
    struct Entry {
        quintptr key;
        RunRow row;
        QString status;
        QString detail;
    };
    const Entry* find(quintptr key) const;

    std::vector<Entry> m_entries;
    quintptr m_nextKey = 1;
};

} // namespace mirelo
