#include "convert/RunPreparation.h"

#include "base/IniFile.h"
#include "base/ToolLocator.h"
#include "settings/AppSettings.h"

#include <QDir>
#include <QFileInfo>

namespace mirelo {

namespace {

RunStart refused(const QString& error) {
    RunStart start;
    start.error = error;
    return start;
}

} // namespace

RunStart checkRunStart(const RunSettings& settings, const QString& encoderPath) {
    RunStart start;
    start.encoder = encoderPath.isEmpty() ? locateEncoder() : encoderPath;
    if (start.encoder.isEmpty())
        return refused(QStringLiteral("The encoder \"%1\" was not found. Install FFmpeg, or place "
                                      "the encoder in %2 as fp.dll.")
                           .arg(encoderDisplayName(), applicationFolder()));
    const QString stored = settings.outputFolder.trimmed();
    const QString folder = stored.isEmpty() ? defaultOutputFolder(applicationFolder()) : stored;
    // Qt would turn bytes that are not UTF-8 into U+FFFD and write into another folder.
    if (!pathReachesFileSystemIntact(folder))
        return refused(QStringLiteral("The output folder \"%1\" is not valid UTF-8 text, so it "
                                      "cannot be used as written and nothing is converted. Choose "
                                      "the output folder again in Video Settings.")
                           .arg(printableSettingsText(folder)));
    start.outputFolder = QDir::cleanPath(QDir(folder).absolutePath());
    if (!QDir().mkpath(start.outputFolder) || !QFileInfo(start.outputFolder).isDir())
        return refused(QStringLiteral("The output folder %1 does not exist and cannot be created.")
                           .arg(start.outputFolder));
    return start;
}

} // namespace mirelo
