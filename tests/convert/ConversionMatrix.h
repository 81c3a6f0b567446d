#pragma once

// Many conversions with the real encoder, two at a time, each with its own sheet and folder: the
// end-to-end matrices of the profiles and of the kinds of sources.

#include "TestJobs.h"
#include "convert/ConversionJob.h"
#include "convert/EncoderCapabilities.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"

#include <QDir>
#include <QEventLoop>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace mirelo::test {

struct MatrixCase {
    QString input;
    QString clipStart = QStringLiteral("0:00:00");
    QString clipEnd; // empty: the whole file
    std::optional<double> probedLength;
    int profile = 0;
    QString folder; // made when the case starts
    std::function<void(const JobResult&)> check;
};

// The encoder's capability lists, read once for the process; nullptr when they cannot be read.
inline const EncoderCapabilities* matrixCapabilities(const QString& encoder) {
    if (const EncoderCapabilities* kept = cachedCapabilities(encoder))
        return kept;
    QEventLoop loop;
    CapabilityLoader loader;
    QObject::connect(&loader, &CapabilityLoader::loaded, &loop, [&] { loop.exit(0); });
    QObject::connect(&loader, &CapabilityLoader::failed, &loop, [&] { loop.exit(1); });
    QTimer::singleShot(30000, &loop, [&] { loop.exit(1); });
    loader.start(encoder);
    return loop.exec() == 0 ? cachedCapabilities(encoder) : nullptr;
}

// Converts every case, two at a time, each with a sheet at its profile's presets, and checks
// each result as it ends. False when they did not all end within `timeoutMs`.
inline bool runMatrix(const std::vector<MatrixCase>& cases, const QString& encoder, int timeoutMs) {
    const EncoderCapabilities* capabilities = matrixCapabilities(encoder);
    if (!capabilities)
        return false;
    std::deque<const MatrixCase*> waiting;
    for (const MatrixCase& c : cases)
        waiting.push_back(&c);
    std::vector<std::unique_ptr<OptionSheet>> sheets;
    int running = 0;
    QEventLoop loop;
    std::function<void()> startNext = [&] {
        if (waiting.empty()) {
            if (running == 0)
                loop.exit(0);
            return;
        }
        const MatrixCase* c = waiting.front();
        waiting.pop_front();
        sheets.push_back(std::make_unique<OptionSheet>());
        resetToDefaults(*sheets.back());
        applyPresets(*sheets.back(), c->profile);
        QDir().mkpath(c->folder);
        auto* job = new ConversionJob(jobFor(c->input, c->profile, *sheets.back(), c->folder,
                                             c->clipStart, c->clipEnd, c->probedLength),
                                      {c->folder, false, encoder, capabilities});
        ++running;
        QObject::connect(job, &ConversionJob::finished, [&, job, c](const JobResult& r) {
            job->deleteLater();
            --running;
            startNext(); // the next encode runs while this one is checked
            c->check(r);
        });
        job->start();
    };
    startNext();
    startNext();
    QTimer::singleShot(timeoutMs, &loop, [&] { loop.exit(1); });
    return loop.exec() == 0;
}

} // namespace mirelo::test
