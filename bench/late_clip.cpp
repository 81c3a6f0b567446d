// A 10-second clip 20 minutes into a long file: the start placed before the input (what the
// product runs) against after it (the profile's literal command line).

#include "BenchSupport.h"

#include "base/ToolLocator.h"
#include "convert/CompatibilityRules.h"
#include "convert/EncoderCapabilities.h"
#include "convert/EncoderCommand.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>

#include <cstring>

using namespace mirelo;
using namespace mirelo::bench;

namespace {

constexpr int kProfile = 41; // Creative Zen AVI: mpeg4 and mp3
constexpr int kStart = 20 * 60;
constexpr int kRuns = 3;

// The vector with every compatibility rule, or with all but the start's placement.
QStringList arguments(const QStringList& profile, const EncoderCapabilities& caps, bool seekFirst) {
    std::optional<EncoderArguments> a = EncoderArguments::parse(profile);
    for (const CompatibilityRule& r : compatibilityRules())
        if (seekFirst || std::strcmp(r.name, "clip start before input") != 0)
            r.apply(*a, {caps, true});
    return a->toList();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString encoder = locateEncoder();
    QTemporaryDir dir;
    const QDir d(dir.path());
    const QString source = d.filePath("long.avi");
    std::printf("generating a %d-second file...\n", kStart + 10);
    if (encoder.isEmpty() ||
        !makeClip({"-f", "lavfi", "-i",
                   QStringLiteral("testsrc=d=%1:s=160x120:r=10").arg(kStart + 10), "-f", "lavfi",
                   "-i", QStringLiteral("sine=d=%1").arg(kStart + 10), "-c:v", "mpeg4", "-c:a",
                   "libmp3lame", source}))
        return 1;
    CapabilityLoader loader;
    QEventLoop loop;
    QObject::connect(&loader, &CapabilityLoader::loaded, &loop, &QEventLoop::quit);
    loader.start(encoder);
    loop.exec();

    OptionSheet sheet;
    resetToDefaults(sheet);
    applyPresets(sheet, kProfile);
    QString error;
    const auto request = gatherEncoderRequest(sheet, kProfile, encoder, source,
                                              d.filePath("clip.avi"), kStart, kStart + 10, &error);
    const QStringList profile = buildEncoderCommand(*request).arguments();
    const QStringList before = arguments(profile, *cachedCapabilities(encoder), true);
    const QStringList after = arguments(profile, *cachedCapabilities(encoder), false);

    std::vector<double> seekFirst, seekLate;
    for (int i = 0; i < kRuns; ++i) {
        seekFirst.push_back(timedRun(encoder, before));
        seekLate.push_back(timedRun(encoder, after));
        std::printf("run %d: -ss before -i %.2f s, -ss after -i %.2f s\n", i + 1, seekFirst.back(),
                    seekLate.back());
    }
    std::printf("late clip: start after the input / start before it = %.1f (median of %d)\n",
                median(seekLate) / median(seekFirst), kRuns);
    return 0;
}
