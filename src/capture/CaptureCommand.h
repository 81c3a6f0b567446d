#pragma once

#include "capture/DeviceSource.h"

#include <QStringList>

namespace mirelo {

// The live picture: small raw RGB frames the encoder writes to its standard output.
struct PreviewFormat {
    int width = 320;
    int height = 240;
    int framesPerSecond = 15;
    bool stretch = false;   // false: keep the picture's shape, bordered in the background
    quint32 background = 0; // 0xRRGGBB
    qsizetype frameBytes() const { return qsizetype(width) * height * 3; }
};

// Encoder arguments showing the device's picture only.
QStringList previewArguments(const CaptureDevice& device, const PreviewFormat& format);

// Encoder arguments recording the device into an AVI file (first output, so the progress report
// counts its frames) and, when withPreview, the live picture on standard output as well.
// aviFile must be absolute, so that no name can read as an option or a protocol.
QStringList recordingArguments(const CaptureDevice& device, const QString& aviFile,
                               const QStringList& videoCodec, bool withPreview,
                               const PreviewFormat& format);

} // namespace mirelo
