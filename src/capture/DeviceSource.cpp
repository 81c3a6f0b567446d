#include "capture/DeviceSource.h"

namespace mirelo {

LavfiDeviceSource::LavfiDeviceSource(QStringList graphs, QObject* parent)
    : DeviceSource(parent), m_graphs(std::move(graphs)) {}

QList<CaptureDevice> LavfiDeviceSource::devices() const {
    QList<CaptureDevice> result;
    for (const QString& graph : m_graphs)
        result.append(device(graph));
    return result;
}

CaptureDevice LavfiDeviceSource::device(const QString& graph) {
    CaptureDevice d;
    d.name = QStringLiteral("Test picture (%1)").arg(graph);
    // -re paces the generated picture at its frame rate, as a camera delivers it.
    d.inputArguments = {QStringLiteral("-re"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                        QStringLiteral("-i"), graph};
    return d;
}

} // namespace mirelo
