#pragma once

#include "convert/ConversionPlan.h"
#include "process/ProgramRunner.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

namespace mirelo {

// Why an output of `length` seconds (none: no length could be read from it) is not a conversion
// of a clip of `expectedSeconds` (0: not known); empty when it is one. The output is named
// `output` in the message.
QString outputLengthFailure(const QString& output, std::optional<double> length,
                            double expectedSeconds);

// The encoder reads a finished conversion's output back: the file itself says how long it is. A
// truncated conversion shows as a short length, an empty or unreadable one as no length or no
// stream.
class OutputReadBack : public QObject {
    Q_OBJECT
public:
    explicit OutputReadBack(int timeoutMs);
    ~OutputReadBack() override;

    // finished() follows, after a kill() too.
    void start(const QString& encoder, const QString& file);
    bool isRunning() const { return m_runner.isRunning(); }
    void kill() { m_runner.kill(); }

    // Why the file read back is not a conversion of `expectedSeconds` (0: not known); empty when
    // it is one. The file is named `output` in the message.
    QString failure(const ProgramEnd& end, const QString& output, double expectedSeconds) const;

Q_SIGNALS:
    void finished(const mirelo::ProgramEnd& end);

private:
    void onLine(const QString& line);

    ProgramRunner m_runner;
    std::optional<double> m_length;        // the header's
    std::optional<double> m_packetsLength; // the last packet's time, when past 0
    bool m_sawStream = false;
};

// A checked output in its private folder, and the name it is to take.
struct OutputTarget {
    QString temporaryPath;
    QString outputPath; // planned, and reserved by the job
    QString stem;
    QString extension;
    QString sourcePath;
};

struct PlacedOutput {
    QString outputPath;     // the name taken; on a failure the name to release (empty: none)
    QByteArray outputBytes; // the name on disk when it is not UTF-8; else empty
    QString error;          // empty: the output has its final name
};

// Moves the output to its final name: the planned one, a free one when something has taken that
// since, or the input's byte name when the input is named by bytes that are not UTF-8. The run's
// reserved names follow.
PlacedOutput placeOutput(const OutputTarget& target, const JobSettings& settings);

} // namespace mirelo
