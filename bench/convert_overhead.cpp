// The product's cost on top of the encoder: the same clip converted by `mirelo-cli convert` and by
// the bare encoder with the argument vector the product runs, alternating; then the product's own
// CPU time against the encoder's while a conversion runs in this process.

#include "BenchSupport.h"

#include "convert/BatchRun.h"
#include "convert/CompatibilityRules.h"
#include "convert/EncoderCapabilities.h"
#include "convert/EncoderCommand.h"
#include "convert/RunRows.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "tools/ToolLocator.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>

#include <sys/resource.h>

using namespace mirelo;
using namespace mirelo::bench;

namespace {

constexpr int kProfile = 9; // iPod AVC 640x480: libx264 and aac
constexpr int kRuns = 3;

double cpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void loadCapabilities(const QString& encoder) {
    CapabilityLoader loader;
    QEventLoop loop;
    QObject::connect(&loader, &CapabilityLoader::loaded, &loop, &QEventLoop::quit);
    QObject::connect(&loader, &CapabilityLoader::failed, &loop, &QEventLoop::quit);
    loader.start(encoder);
    loop.exec();
}

QStringList productArguments(const QString& encoder, const QString& clip, const QString& output) {
    OptionSheet sheet;
    prolist(sheet);
    applyPresets(sheet, kProfile);
    QString error;
    const auto request =
        gatherEncoderRequest(sheet, kProfile, encoder, clip, output, 0, 40, &error);
    return compatibleArguments(buildEncoderCommand(*request).arguments(),
                               {*cachedCapabilities(encoder), true});
}

// One conversion through the batch run in this process: our CPU against the children's.
void cpuShare(const QString& clip, const QString& folder) {
    OptionSheet sheet;
    prolist(sheet);
    applyPresets(sheet, kProfile);
    RowList rows;
    rows.append({clip, "0:00:00", "0:00:40", "0:00:40", false});
    BatchRun run(rows, sheet);
    run.setSettingsSource([&] { return RunSettings{folder, "1", "0"}; });
    run.setProfileSource([] { return kProfile; });
    QEventLoop loop;
    QObject::connect(&run, &BatchRun::finished, &loop, &QEventLoop::quit);
    const double self0 = cpuSeconds(RUSAGE_SELF), children0 = cpuSeconds(RUSAGE_CHILDREN);
    run.start();
    loop.exec();
    const double self = cpuSeconds(RUSAGE_SELF) - self0;
    const double children = cpuSeconds(RUSAGE_CHILDREN) - children0;
    std::printf("product CPU %.3f s, encoder CPU %.3f s: product/encoder = %.2f%%\n", self,
                children, 100.0 * self / children);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString encoder = locateEncoder();
    QTemporaryDir dir;
    const QString clip = QDir(dir.path()).filePath("clip.avi");
    if (encoder.isEmpty() ||
        !makeClip({"-f", "lavfi", "-i", "testsrc=d=40:s=320x240:r=25", "-f", "lavfi", "-i",
                   "sine=d=40", "-c:v", "mpeg4", "-q:v", "3", "-c:a", "libmp3lame", clip}))
        return 1;
    loadCapabilities(encoder);
    const QString cliOut = QDir(dir.path()).filePath("cli");
    const QString bareOut = QDir(dir.path()).filePath("bare.mp4");
    QDir().mkpath(cliOut);
    const QStringList bareArgs = productArguments(encoder, clip, bareOut);
    const QStringList cliArgs{"convert",         clip,   "--profile",  QString::number(kProfile),
                              "--output-folder", cliOut, "--existing", "overwrite"};

    std::vector<double> product, bare;
    for (int i = 0; i < kRuns; ++i) {
        product.push_back(timedRun(QStringLiteral(MIRELO_CLI_PATH), cliArgs));
        bare.push_back(timedRun(encoder, bareArgs));
        std::printf("run %d: mirelo-cli %.2f s, bare encoder %.2f s\n", i + 1, product.back(),
                    bare.back());
    }
    const double ratio = median(product) / median(bare);
    std::printf("overhead: mirelo-cli / bare encoder wall time = %.3f (median of %d, limit 1.03); "
                "fixed cost %.2f s (probe, capability lists, output check)\n",
                ratio, kRuns, median(product) - median(bare));
    cpuShare(clip, cliOut);
    return 0;
}
