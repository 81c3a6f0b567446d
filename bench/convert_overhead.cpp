// The product's cost on top of the encoder: the same clip converted by `mirelo-cli convert` and by
// the bare encoder with the argument vector the product runs, alternating; then the product's own
// CPU time against the encoder's while a conversion runs in this process.

#include "BenchSupport.h"

#include "base/ToolLocator.h"
#include "convert/BatchRun.h"
#include "convert/CompatibilityRules.h"
#include "convert/EncoderCapabilities.h"
#include "convert/EncoderCommand.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "sourcelist/SourceListModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>

#include <sys/resource.h>

using namespace mirelo;
using namespace mirelo::bench;

namespace {

constexpr int kProfile = 9; // iPod AVC 640x480: libx264 and aac
constexpr int kRuns = 8;
constexpr int kShortRuns = 9;

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
    resetToDefaults(sheet);
    applyPresets(sheet, kProfile);
    QString error;
    const auto request =
        gatherEncoderRequest(sheet, kProfile, encoder, clip, output, 0, 40, &error);
    return compatibleArguments(buildEncoderCommand(*request).arguments(),
                               {*cachedCapabilities(encoder), true});
}

// One conversion through the batch run in this process: our CPU against the children's.
double cpuShare(const QString& clip, const QString& folder) {
    OptionSheet sheet;
    resetToDefaults(sheet);
    applyPresets(sheet, kProfile);
    SourceListModel rows;
    rows.addClip(clip, 0, 40);
    BatchRun run(rows, sheet);
    run.setSettingsSource([&] {
        return RunSettings{folder, ExistingFilePolicy::Overwrite, false, {}};
    });
    run.setProfileSource([] { return kProfile; });
    QEventLoop loop;
    QObject::connect(&run, &BatchRun::finished, &loop, &QEventLoop::quit);
    const double self0 = cpuSeconds(RUSAGE_SELF), children0 = cpuSeconds(RUSAGE_CHILDREN);
    run.start();
    loop.exec();
    const double self = cpuSeconds(RUSAGE_SELF) - self0;
    const double children = cpuSeconds(RUSAGE_CHILDREN) - children0;
    std::printf("product CPU %.3f s, encoder CPU %.3f s: product/encoder = %.2f%% (limit 1%%)\n",
                self, children, 100.0 * self / children);
    return self / children;
}

struct Comparison {
    double ratio;     // median of the paired ratios, product / bare
    double fixedCost; // median of the paired differences, seconds
    double bestRatio; // fastest product run / fastest bare run: the machine's noise only adds
    double bareTime;  // median of the bare encoder's runs, seconds
};

// Alternating pairs, so a slow spell of the machine hits both sides alike.
Comparison compare(const QString& encoder, const QString& clip, const QString& folder, int runs,
                   bool print) {
    const QString cliOut = QDir(folder).filePath("cli");
    const QString bareOut = QDir(folder).filePath("bare.mp4");
    QDir().mkpath(cliOut);
    const QStringList bareArgs = productArguments(encoder, clip, bareOut);
    const QStringList cliArgs{"convert",         clip,   "--profile",  QString::number(kProfile),
                              "--output-folder", cliOut, "--existing", "overwrite"};
    std::vector<double> ratios, differences, products, bares;
    for (int i = 0; i < runs; ++i) {
        // Every other pair runs the bare encoder first: a trend in the machine's speed cancels.
        const bool productFirst = i % 2 == 0;
        const double first = productFirst ? timedRun(QStringLiteral(MIRELO_CLI_PATH), cliArgs)
                                          : timedRun(encoder, bareArgs);
        const double second = productFirst ? timedRun(encoder, bareArgs)
                                           : timedRun(QStringLiteral(MIRELO_CLI_PATH), cliArgs);
        const double product = productFirst ? first : second;
        const double bare = productFirst ? second : first;
        ratios.push_back(product / bare);
        differences.push_back(product - bare);
        products.push_back(product);
        bares.push_back(bare);
        if (print)
            std::printf("run %d: mirelo-cli %.2f s, bare encoder %.2f s\n", i + 1, product, bare);
    }
    return {median(ratios), median(differences),
            *std::min_element(products.begin(), products.end()) /
                *std::min_element(bares.begin(), bares.end()),
            median(bares)};
}

QString makeTestClip(const QString& folder, const QString& name, int seconds) {
    const QString clip = QDir(folder).filePath(name);
    const QString d = QString::number(seconds);
    const bool made =
        makeClip({"-f", "lavfi", "-i", "testsrc=d=" + d + ":s=320x240:r=25", "-f", "lavfi", "-i",
                  "sine=d=" + d, "-c:v", "mpeg4", "-q:v", "3", "-c:a", "libmp3lame", clip});
    return made ? clip : QString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString encoder = locateEncoder();
    QTemporaryDir dir;
    const QString clip = makeTestClip(dir.path(), "clip.avi", 40);
    const QString shortClip = makeTestClip(dir.path(), "short.avi", 1);
    if (encoder.isEmpty() || clip.isEmpty() || shortClip.isEmpty())
        return 1;
    loadCapabilities(encoder);
    const Comparison full = compare(encoder, clip, dir.path(), kRuns, true);
    std::printf("overhead: mirelo-cli / bare encoder wall time = %.3f (median of %d paired runs, "
                "limit 1.03); fastest against fastest %.3f\n",
                full.ratio, kRuns, full.bestRatio);
    const Comparison fixed = compare(encoder, shortClip, dir.path(), kShortRuns, false);
    std::printf("fixed cost per conversion (1-second clip, median of %d): %.3f s\n", kShortRuns,
                fixed.fixedCost);
    const double share = cpuShare(clip, QDir(dir.path()).filePath("cli"));
    // A run's own wall-time noise can exceed a few percent; the overhead's two parts are steadier.
    std::printf("overhead from its parts: 1 + %.3f s / %.2f s + %.4f = %.3f (limit 1.03)\n",
                fixed.fixedCost, full.bareTime, share, 1 + fixed.fixedCost / full.bareTime + share);
    return 0;
}
