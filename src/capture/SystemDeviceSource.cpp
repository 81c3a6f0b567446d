#include "capture/SystemDeviceSource.h"

#include "process/ProgramRunner.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace mirelo {

namespace {

// AV/C unit of a DV camcorder: 1394 Trade Association specifier, AV/C version.
constexpr auto kDvUnitDirectory = "0x00a02d:0x010001";
// The encoder lists its devices at once; the real list is a few hundred bytes.
constexpr int kListingTimeoutMs = 20000;
constexpr qsizetype kMaxListingBytes = 1024 * 1024;

QString readCardName(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    v4l2_capability cap{};
    const bool ok = ::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
    ::close(fd);
    if (!ok)
        return {};
    const quint32 caps =
        (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)))
        return {};
    const auto* card = reinterpret_cast<const char*>(cap.card);
    return QString::fromUtf8(card, int(strnlen(card, sizeof cap.card))).trimmed();
}

QString readSysAttribute(const QString& folder, const char* name) {
    QFile f(QDir(folder).filePath(QLatin1String(name)));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).trimmed();
}

} // namespace

QList<CaptureDevice> listV4l2Devices(const QString& devFolder) {
    QStringList nodes =
        QDir(devFolder).entryList({QStringLiteral("video*")}, QDir::System | QDir::Files);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(nodes.begin(), nodes.end(), numeric);
    QList<CaptureDevice> result;
    for (const QString& node : nodes) {
        const QString path = QDir(devFolder).filePath(node);
        const QString card = readCardName(path);
        if (card.isEmpty())
            continue;
        CaptureDevice d;
        d.name = card;
        d.inputArguments = {QStringLiteral("-f"), QStringLiteral("v4l2"), QStringLiteral("-i"),
                            path};
        d.controlPath = path;
        result.append(d);
    }
    return result;
}

QList<CaptureDevice> listFirewireDvUnits(const QString& firewireFolder) {
    const QDir dir(firewireFolder);
    QStringList nodes = dir.entryList({QStringLiteral("fw*")}, QDir::Dirs | QDir::System);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(nodes.begin(), nodes.end(), numeric);
    QList<CaptureDevice> result;
    for (const QString& node : nodes) {
        const QString folder = dir.filePath(node);
        if (!readSysAttribute(folder, "units").contains(QLatin1String(kDvUnitDirectory)))
            continue;
        CaptureDevice d;
        const QString model = readSysAttribute(folder, "model_name");
        d.name = model.isEmpty() ? QStringLiteral("FireWire DV camera") : model + " (DV)";
        d.inputArguments = {QStringLiteral("-f"),      QStringLiteral("iec61883"),
                            QStringLiteral("-dvguid"), readSysAttribute(folder, "guid"),
                            QStringLiteral("-i"),      QStringLiteral("auto")};
        d.hasAudio = true;
        result.append(d);
    }
    // A single camcorder the encoder finds by itself.
    if (result.size() == 1)
        result.first().inputArguments.remove(2, 2);
    return result;
}

bool encoderOffersInputDevice(const QString& devicesListing, const QString& name) {
    static const QRegularExpression row(QStringLiteral("^\\s*(DE?|D\\.)\\s+(\\S+)"));
    for (const QString& line : devicesListing.split(QLatin1Char('\n'))) {
        const auto m = row.match(line);
        if (m.hasMatch() && m.captured(2).split(QLatin1Char(',')).contains(name))
            return true;
    }
    return false;
}

SystemDeviceSource::SystemDeviceSource(const QString& encoderPath, QObject* parent,
                                       const QString& devFolder, const QString& firewireFolder)
    : DeviceSource(parent), m_v4l2(listV4l2Devices(devFolder)),
      m_dv(listFirewireDvUnits(firewireFolder)) {
    if (!m_dv.isEmpty() && !encoderPath.isEmpty())
        askEncoderForDv(encoderPath);
}

QList<CaptureDevice> SystemDeviceSource::devices() const {
    return m_encoderOffersDv ? m_v4l2 + m_dv : m_v4l2;
}

void SystemDeviceSource::askEncoderForDv(const QString& encoderPath) {
    m_query = new ProgramRunner(this);
    m_query->setRole(QStringLiteral("encoder"));
    m_query->setOutputs(ProgramRunner::Outputs::OutputOnly);
    m_query->setKeptOutputLimit(kMaxListingBytes);
    m_query->setTimeout(kListingTimeoutMs);
    connect(m_query, &ProgramRunner::finished, this, [this](const ProgramEnd& end) {
        m_encoderOffersDv =
            end.succeeded() && encoderOffersInputDevice(QString::fromUtf8(m_query->keptOutput()),
                                                        QStringLiteral("iec61883"));
        m_query->deleteLater();
        m_query = nullptr;
        if (m_encoderOffersDv)
            Q_EMIT devicesChanged();
    });
    m_query->setProgram(encoderPath, {QStringLiteral("-hide_banner"), QStringLiteral("-devices")});
    m_query->start();
}

} // namespace mirelo
