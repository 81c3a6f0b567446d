#include "convert/ConversionPlan.h"

#include "base/TimeString.h"
#include "convert/CompatibilityRules.h"
#include "convert/EncoderCapabilities.h"
#include "convert/OutputNaming.h"
#include "convert/SourceStreams.h"
#include "convert/StreamCopy.h"
#include "convert/TemporaryOutput.h"
#include "profiles/Catalog.h"

#include <algorithm>

namespace mirelo {

namespace {

std::optional<double> optionValue(const QStringList& args, const char* name) {
    const qsizetype i = args.indexOf(QLatin1String(name));
    if (i < 0 || i + 1 >= args.size())
        return std::nullopt;
    bool ok = false;
    const double v = args[i + 1].toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

PlanOutcome refused(const QString& error) {
    return {std::nullopt, error};
}

// A profile that writes sound only needs a sound track; one that writes a picture needs a
// picture, which a cover can be.
QString missingStream(const SourceStreams* streams, const QStringList& profileArguments) {
    if (!streams || streams->streams.empty())
        return {};
    const bool audioOnly = profileArguments.contains(QLatin1String("-vn"));
    if (audioOnly && !streams->hasAudio())
        return QStringLiteral("This file has no audio stream.");
    if (!audioOnly && !streams->hasVideo() && !streams->coverPicture())
        return QStringLiteral("This file has no video stream. Choose an audio profile.");
    return {};
}

} // namespace

bool needsSourceStreams(ProfileId profile) {
    const CatalogRow* row = catalogRow(profile);
    return row && row->kind == RowKind::Profile &&
           (row->layout == CommandLayout::CopyStreams ||
            row->layout == CommandLayout::ExtractAudio);
}

double expectedLength(double clipStart, std::optional<double> clipLength,
                      std::optional<double> sourceLength) {
    if (!sourceLength)
        return clipLength.value_or(0.0);
    const double rest = std::max(0.0, *sourceLength - clipStart);
    return clipLength ? std::min(*clipLength, rest) : rest;
}

namespace {

// Where the output goes: its container (a copy's comes from the source's streams) and name.
struct OutputTarget {
    QString extension;
    QString stem;
    QString path;
    std::optional<CopySelection> copy;
    QString error; // why the row cannot be converted
    QString note;  // why the output does not take its plain name, where the reason is not obvious
};

OutputTarget outputTarget(const PlanRow& row, ProfileId profile, const JobSettings& settings) {
    OutputTarget target;
    const CatalogRow* catalog = catalogRow(profile);
    target.extension = catalog ? outputExtension(*catalog) : QString();
    if (needsSourceStreams(profile)) {
        target.copy = copySelection(*catalog, row.streams);
        if (!target.copy->error.isEmpty()) {
            target.error =
                QStringLiteral("%1 cannot be converted: %2").arg(row.inputPath, target.copy->error);
            return target;
        }
        target.extension = target.copy->extension;
    }
    if (!catalog || (target.extension.isEmpty() && row.outputPath.isEmpty())) {
        target.error = QStringLiteral("No output profile is chosen: pick a profile, not a "
                                      "category heading.");
        return target;
    }
    target.stem = inputStem(row.inputPath);
    if (!row.outputPath.isEmpty()) {
        target.path = row.outputPath;
        return target;
    }
    target.path = chooseOutputPath(settings.outputFolder, target.stem, target.extension,
                                   row.inputPath, settings.overwrite, settings.reservations);
    const QString plain =
        chooseOutputPath(settings.outputFolder, target.stem, target.extension, row.inputPath, true);
    if (target.path != plain && settings.reservations && settings.reservations->isSource(plain))
        target.note = QStringLiteral("%1 is a file this run converts, so the output is named %2.")
                          .arg(plain, target.path);
    return target;
}

} // namespace

QString plannedOutputPath(const PlanRow& row, ProfileId profile, const JobSettings& settings) {
    const OutputTarget target = outputTarget(row, profile, settings);
    return target.error.isEmpty() ? target.path : QString();
}

PlanOutcome planConversion(const PlanRow& row, const SheetValues& sheet, ProfileId profile,
                           const JobSettings& settings) {
    ConversionPlan plan;
    OutputTarget target = outputTarget(row, profile, settings);
    if (!target.error.isEmpty())
        return refused(target.error);
    const std::optional<int> start = parseTimeString(row.clipStart);
    if (!start)
        return refused(
            QStringLiteral("The clip start \"%1\" is not a time H:MM:SS.").arg(row.clipStart));
    const int end = parseTimeString(row.clipEnd).value_or(*start);
    plan.extension = target.extension;
    plan.stem = target.stem;
    plan.outputPath = target.path;
    if (!target.note.isEmpty())
        plan.notes += target.note;
    const std::optional<CopySelection>& copy = target.copy;
    plan.temporaryPath = temporaryOutputPath(plan.outputPath);

    QString error;
    std::optional<EncoderRequest> request = gatherEncoderRequest(
        sheet, profile, settings.encoderPath, row.inputPath, plan.outputPath, *start, end, &error);
    if (!request) // a value the encoder would misread: nothing runs, the row says which
        return refused(QStringLiteral("%1 cannot be converted: %2").arg(row.inputPath, error));
    if (copy)
        request->sourceOptions = copy->options;
    plan.profileCommand = buildEncoderCommand(*request);
    if (const QString missing = missingStream(row.streams, plan.profileCommand.arguments());
        !missing.isEmpty())
        return refused(missing);
    plan.program = settings.encoderPath;
    request->outputPath = plan.temporaryPath;
    static const EncoderCapabilities none;
    const QHash<QString, AudioLimits> limits = cachedAudioLimits(settings.encoderPath);
    const RuleContext context{settings.capabilities ? *settings.capabilities : none,
                              settings.overwrite,
                              row.streams,
                              &limits,
                              &plan.notes,
                              settings.threads};
    plan.arguments = compatibleArguments(buildEncoderCommand(*request).arguments(), context);
    plan.audioEncoder = audioEncoderOf(plan.arguments);
    plan.videoEncoder = videoEncoderOf(plan.arguments);

    plan.clipStart = *start;
    plan.clipLength = optionValue(plan.arguments, "-t");
    plan.expectedSeconds = expectedLength(plan.clipStart, plan.clipLength, row.probedLength);
    return {std::move(plan), {}};
}

} // namespace mirelo
