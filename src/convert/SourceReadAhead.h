#pragma once

#include "convert/SourceStreams.h"
#include "tools/ProgramRunner.h"

#include <QObject>

#include <deque>

namespace mirelo {

// The encoder's report on opening a file ("ffmpeg -i FILE") says which streams the file holds.
// A runner set up by prepareSourceRead() reads it; takeSourceRead() parses what it kept and keeps
// the result for this process, so that a file is read once however many conversions take it.
void prepareSourceRead(ProgramRunner& runner);
QStringList sourceReadArguments(const QString& path);
SourceStreams takeSourceRead(const QString& path, const ProgramRunner& runner);

// Reads the files a run reaches later, one at a time, while it converts earlier ones: a row then
// starts on a file read already, and the run knows the length of what is left. Reading a file
// costs the encoder's start-up and little more, far less than a probe with the media player.
class SourceReadAhead : public QObject {
    Q_OBJECT
public:
    explicit SourceReadAhead(const QString& encoderPath, QObject* parent = nullptr);
    ~SourceReadAhead() override;

    void enqueue(quint64 key, const QString& path);
    // A file whose conversion starts is not read ahead any more, unless its read is under way.
    void forget(quint64 key);
    bool isReading(quint64 key) const;
    // Nothing more is read, and no read is reported any more.
    void stop();

Q_SIGNALS:
    // The file was read; `streams` is empty when the encoder could not make sense of it.
    void read(quint64 key, const mirelo::SourceStreams& streams);

private:
    void startNext();

    struct Pending {
        quint64 key;
        QString path;
    };
    QString m_encoderPath;
    ProgramRunner m_reader;
    std::deque<Pending> m_queue;
};

} // namespace mirelo
