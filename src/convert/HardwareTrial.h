#pragma once

#include "process/ProgramRunner.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace mirelo {

struct CatalogRow;
struct EncoderCapabilities;

// A graphics-card encoder family: what the encoder needs besides its name.
struct HardwareApi {
    const char* suffix; // of the encoder names: "_vaapi"
    const char* device; // options that open the device, as command-line text; may be empty
    const char* upload; // the filter that moves frames to the card; nullptr: the encoder does it
};

// The family of a hardware encoder ("h264_vaapi"); nullptr for a software encoder.
const HardwareApi* hardwareApi(const QString& encoder);

// The hardware encoder a catalog row uses; empty for software rows and headings.
QString hardwareEncoderOf(const CatalogRow& row);

// Whether a hardware encoder works on this machine, and why not when it does not.
struct TrialResult {
    bool works = false;
    QString reason; // one sentence naming the encoder; empty when it works
};

// The arguments of the one-second trial encode of an encoder, to nowhere.
QStringList trialArguments(const QString& encoder);

// Trial results are kept per encoder program for the process, and on disk with the program's
// capability lists: an encoder is tried again only after the program or its libraries changed.
// A trial that ran out of time is no verdict and is kept for the process only.
std::optional<TrialResult> cachedTrial(const QString& program, const QString& encoder);
void storeTrial(const QString& program, const QString& encoder, const TrialResult& result);

// Tries every hardware encoder the catalog uses, one after another: an encoder missing from the
// program's list fails at once, the others with a one-second encode that must end in time with
// exit code 0. A result already kept is reported without running anything. tried() comes once per
// encoder, then finished(); never from inside start().
class HardwareTrial : public QObject {
    Q_OBJECT
public:
    explicit HardwareTrial(QObject* parent = nullptr);

    static constexpr int kTimeoutMs = 15000;
    void setTimeout(int milliseconds) { m_runner.setTimeout(milliseconds); }
    // The capability file the results are kept in; by default the product's.
    void setStoreFile(const QString& file) { m_storeFile = file; }

    // The capabilities, when given, spare a trial of an encoder the program lacks.
    void start(const QString& program, const EncoderCapabilities* capabilities = nullptr);

Q_SIGNALS:
    void tried(const QString& encoder, const mirelo::TrialResult& result);
    void finished();

private:
    void next();
    void onFinished(const ProgramEnd& end);
    TrialResult resultOf(const ProgramEnd& end) const;
    void keepOnDisk(const TrialResult& result);
    void report(const TrialResult& result);

    ProgramRunner m_runner;
    QString m_program;
    const EncoderCapabilities* m_capabilities = nullptr;
    QStringList m_waiting;
    QString m_current;
    QString m_storeFile;
    QJsonObject m_stored; // the results on disk when the trials began
};

} // namespace mirelo
