#pragma once

#include <QString>

namespace mirelo {

// The encoders the sheet's codec names stand for. The older rows' names ("x264" is libx264, "aac"
// libfaac); a name not in their table passes unchanged.
QString encoderVideoCodec(const QString& sheetValue);
QString encoderAudioCodec(const QString& sheetValue);
// The encoders of the newer rows by their sheet names ("x265" is libx265); other names are
// encoder names already.
QString modernVideoEncoder(const QString& sheetValue);
QString modernAudioEncoder(const QString& sheetValue);
// Whether a newer row's audio codec takes a bitrate: lossless and copied audio have none.
bool audioUsesBitrate(const QString& sheetValue);

} // namespace mirelo
