#pragma once

#include "convert/SourceStreams.h"
#include "process/ProgramRunner.h"

#include <QObject>

#include <deque>

namespace mirelo {

// The encoder's report on opening a file ("ffmpeg -i FILE") says which streams the file holds.
// A runner set up by prepareSourceRead() reads it; takeSourceRead() parses what it kept and keeps
// the result for this process, so that a file is read once however many conversions take it.
void prepareSourceRead(ProgramRunner& runner);
QStringList sourceReadArguments(const QString& path);
SourceStreams takeSourceRead(const QString& path, const ProgramRunner& runner);

// Reads the files a run reaches later while it converts earlier ones: a row then starts on a file
// read already, and the run knows the length of what is left. The encoder opens several files in
// one go ("-i A -i B ..."): its start-up, which costs as much as reading a file, is paid once for
// all of them, and each file is reported as soon as the encoder has gone on to the next one.
class SourceReadAhead : public QObject {
    Q_OBJECT
public:
    explicit SourceReadAhead(const QString& encoderPath, QObject* parent = nullptr);
    ~SourceReadAhead() override;

    struct File {
        quint64 key;
        QString path;
    };
    // Files are read in the order given, after any given before.
    void enqueue(const std::vector<File>& files);
    // A file whose conversion starts is not read ahead any more, unless its read is under way.
    void forget(quint64 key);
    bool isReading(quint64 key) const;
    // Nothing more is read, and no read is reported any more.
    void stop();

    // Files the encoder opens in one go at most.
    static constexpr int kFilesPerRead = 8;

Q_SIGNALS:
    // The file was read; `streams` is empty when the encoder could not make sense of it.
    void read(quint64 key, const mirelo::SourceStreams& streams);

private:
    struct Done {
        File file;
        SourceStreams streams;
    };

    void startNext();
    bool joinsBatch(const File& file) const;
    void takeLine(const QString& line);
    void onFinished(const mirelo::ProgramEnd& end);
    void clearPart();
    // The files of the batch up to `end` are done: the first with what its part says.
    std::vector<Done> finishUpTo(std::size_t end);
    void report(const std::vector<Done>& done);
    int headerIndex(const QString& line) const;

    QString m_encoderPath;
    ProgramRunner m_reader;
    std::deque<File> m_queue;   // not read yet
    std::vector<File> m_batch;  // opened by the running encoder, in the order of its inputs
    std::size_t m_reported = 0; // the batch's first files, reported already
    QStringList m_part;         // the report of file m_reported, from its header on
    qsizetype m_partSize = 0;   // its characters
    quint64 m_stops = 0;        // counts stop(): reports after one are dropped
};

} // namespace mirelo
