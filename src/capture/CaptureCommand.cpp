#include "capture/CaptureCommand.h"

namespace mirelo {

namespace {

QStringList commonArguments(const CaptureDevice& device) {
    // No -nostdin: a 'q' on standard input is how a recording is ended cleanly.
    return QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                       QStringLiteral("error"),        QStringLiteral("-nostats"),
                       QStringLiteral("-progress"),    QStringLiteral("pipe:2")} +
           device.inputArguments;
}

QString previewFilter(const PreviewFormat& f) {
    const QString size = QStringLiteral("%1:%2").arg(f.width).arg(f.height);
    QString filter = QStringLiteral("fps=%1,scale=%2").arg(f.framesPerSecond).arg(size);
    if (!f.stretch)
        filter += QStringLiteral(":force_original_aspect_ratio=decrease,pad=%1:(ow-iw)/2:(oh-ih)/"
                                 "2:color=0x%2")
                      .arg(size)
                      .arg(f.background & 0xFFFFFF, 6, 16, QLatin1Char('0'));
    return filter;
}

QStringList previewOutput(const PreviewFormat& format) {
    // Passthrough timing: frame-rate conversion here would count as dropped frames.
    return {QStringLiteral("-map"),      QStringLiteral("0:v:0"),       QStringLiteral("-vf"),
            previewFilter(format),       QStringLiteral("-pix_fmt"),    QStringLiteral("rgb24"),
            QStringLiteral("-fps_mode"), QStringLiteral("passthrough"), QStringLiteral("-f"),
            QStringLiteral("rawvideo"),  QStringLiteral("pipe:1")};
}

} // namespace

QStringList previewArguments(const CaptureDevice& device, const PreviewFormat& format) {
    return commonArguments(device) + previewOutput(format);
}

QStringList recordingArguments(const CaptureDevice& device, const QString& aviFile,
                               const QStringList& videoCodec, bool withPreview,
                               const PreviewFormat& format) {
    QStringList args = commonArguments(device);
    args += {QStringLiteral("-map"), QStringLiteral("0:v:0")};
    if (device.hasAudio)
        args += {QStringLiteral("-map"), QStringLiteral("0:a:0?"), QStringLiteral("-c:a"),
                 QStringLiteral("pcm_s16le")};
    args += videoCodec;
    args += {QStringLiteral("-f"), QStringLiteral("avi"), QStringLiteral("-y"), aviFile};
    if (withPreview)
        args += previewOutput(format);
    return args;
}

} // namespace mirelo
