#include "convert/OutputCheck.h"

#include "base/ByteNames.h"
#include "convert/EncoderOutput.h"
#include "convert/OutputNaming.h"
#include "convert/TemporaryOutput.h"

#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace mirelo {

namespace {

// An output may end a little before the clip (the last frame, an audio packet); anything
// shorter than this is a truncated conversion.
double lengthTolerance(double expected) {
    return std::max(1.0, expected * 0.1);
}

QString seconds(double s) {
    return QString::number(s, 'f', 1);
}

// Seconds of the "time=" of the encoder's status line ("frame=... time=00:00:01.93 ..."); none
// for "N/A" or another line.
std::optional<double> parseStatusTime(const QString& line) {
    static const QRegularExpression re(
        QStringLiteral("\\btime=\\s*(\\d+):(\\d{2}):(\\d{2}(?:\\.\\d+)?)"));
    const QRegularExpressionMatch m = re.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toInt() * 3600.0 + m.captured(2).toInt() * 60.0 + m.captured(3).toDouble();
}

} // namespace

QString outputLengthFailure(const QString& output, std::optional<double> length,
                            double expectedSeconds) {
    if (!length)
        return QStringLiteral("The output %1 has no length the encoder can read: it is not a "
                              "usable file.")
            .arg(output);
    if (*length <= 0)
        return QStringLiteral("The output %1 holds nothing: no stream, or a length of 0 s.")
            .arg(output);
    if (expectedSeconds > 0 && *length < expectedSeconds - lengthTolerance(expectedSeconds))
        return QStringLiteral("The output %1 is only %2 s long, far shorter than the %3 s clip.")
            .arg(output, seconds(*length), seconds(expectedSeconds));
    return {};
}

OutputReadBack::OutputReadBack(int timeoutMs) {
    m_runner.setRole(QStringLiteral("encoder"));
    m_runner.setOutputs(ProgramRunner::Outputs::ErrorOnly);
    m_runner.setLineChannel(ProgramRunner::Channel::Error);
    m_runner.setTimeout(timeoutMs);
    connect(&m_runner, &ProgramRunner::lineReceived, this,
            [this](ProgramRunner::Channel, const QString& line) { onLine(line); });
    connect(&m_runner, &ProgramRunner::finished, this, &OutputReadBack::finished);
}

OutputReadBack::~OutputReadBack() {
    m_runner.disconnect(this);
    m_runner.kill();
}

void OutputReadBack::start(const QString& encoder, const QString& file) {
    m_length.reset();
    m_sawStream = false;
    m_packetsLength.reset();
    // A copy of the streams to nowhere reads every packet without decoding: for a file whose
    // header holds no length (SWF), the time of its last packet is its length.
    m_runner.setProgram(
        encoder, {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-i"),
                  file, QStringLiteral("-map"), QStringLiteral("0:v?"), QStringLiteral("-map"),
                  QStringLiteral("0:a?"), QStringLiteral("-c"), QStringLiteral("copy"),
                  QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    m_runner.start();
}

void OutputReadBack::onLine(const QString& line) {
    if (!m_length)
        m_length = parseDurationLine(line);
    if (line.trimmed().startsWith(QLatin1String("Stream #")))
        m_sawStream = true;
    // The time-out counts from the last packet read: a long file takes its time.
    const std::optional<double> read = parseStatusTime(line);
    if (read && *read > m_packetsLength.value_or(0.0)) {
        m_packetsLength = read;
        m_runner.restartTimeout();
    }
}

QString OutputReadBack::failure(const ProgramEnd& end, const QString& output,
                                double expectedSeconds) const {
    // A file the encoder cannot open exits 1: only a failed start or a time-out means the file
    // could not be read back.
    if (end.kind == ProgramEnd::Kind::FailedToStart || end.timedOut)
        return QStringLiteral("The output %1 could not be checked: %2").arg(output, end.message);
    const std::optional<double> length = m_length ? m_length : m_packetsLength;
    return outputLengthFailure(output, m_sawStream ? length : std::optional<double>(0.0),
                               expectedSeconds);
}

namespace {

// Moves the output to the planned name; the name was free when the job began, but something may
// have taken it since: then to the next free one, reserved in its place.
MoveOutcome moveToPlannedName(const OutputTarget& target, const JobSettings& settings, bool replace,
                              QString* outputPath, QString* error) {
    MoveOutcome moved = moveOutput(target.temporaryPath, *outputPath, replace, error);
    for (int attempt = 0; moved == MoveOutcome::NameTaken && attempt < 8; ++attempt) {
        const QString taken = *outputPath;
        *outputPath = chooseOutputPath(settings.outputFolder, target.stem, target.extension,
                                       target.sourcePath, false, settings.reservations);
        if (settings.reservations) {
            settings.reservations->release(taken);
            settings.reservations->reserve(*outputPath);
        }
        moved = moveOutput(target.temporaryPath, *outputPath, false, error);
    }
    return moved;
}

// The byte path behind an input read through a stand-in link, when its stem is not UTF-8 and so
// names the output; nullptr otherwise.
const QByteArray* byteNamedInput(const QString& source, const JobSettings& settings) {
    const QByteArray* input = settings.standIns ? settings.standIns->target(source) : nullptr;
    if (!input || isUtf8(byteStem(input->mid(input->lastIndexOf('/') + 1))))
        return nullptr;
    return input;
}

// The output goes straight from its private folder to the byte name: the planned name is only
// the bytes' visible text, which a user's own file may hold, so it is never written.
PlacedOutput placeUnderByteName(const OutputTarget& target, const JobSettings& settings,
                                const QByteArray& input) {
    QSet<QByteArray> unshared;
    QSet<QByteArray>& taken = settings.reservations ? settings.reservations->byteNames() : unshared;
    const ByteOutput moved = moveToByteName(target.temporaryPath, settings.outputFolder,
                                            byteStem(input.mid(input.lastIndexOf('/') + 1)),
                                            target.extension, input, settings.overwrite, taken);
    if (!moved.path.isEmpty()) {
        if (settings.reservations)
            settings.reservations->release(target.outputPath);
        return {visibleName(moved.path), moved.path, {}};
    }
    // Kept under a text name that is free, never in place of another file.
    PlacedOutput kept{target.outputPath, {}, {}};
    QString error;
    if (moveToPlannedName(target, settings, false, &kept.outputPath, &error) !=
        MoveOutcome::Moved) {
        kept.error =
            moved.error + QStringLiteral(" (nor could the converted file be kept: %1)").arg(error);
        return kept;
    }
    kept.error = moved.error + QStringLiteral(" (the converted file stays as %1)")
                                   .arg(std::exchange(kept.outputPath, {})); // its name stays taken
    return kept;
}

} // namespace

PlacedOutput placeOutput(const OutputTarget& target, const JobSettings& settings) {
    if (const QByteArray* input = byteNamedInput(target.sourcePath, settings))
        return placeUnderByteName(target, settings, *input);
    PlacedOutput placed{target.outputPath, {}, {}};
    QString error;
    if (moveToPlannedName(target, settings, settings.overwrite, &placed.outputPath, &error) !=
        MoveOutcome::Moved)
        placed.error = QStringLiteral("The converted file could not be moved to %1: %2")
                           .arg(placed.outputPath, error);
    return placed;
}

} // namespace mirelo
