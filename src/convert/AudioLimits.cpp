#include "convert/AudioLimits.h"

#include "convert/SourceStreams.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdlib>

namespace mirelo {

namespace {

// Encoders that refuse more channels or other rates than they state in their help.
struct UnstatedLimit {
    const char* encoder;
    int maxChannels;
    std::initializer_list<int> sampleRates;
};

// clang-format off
const UnstatedLimit kUnstatedLimits[] = {
    {"wmav1",             2, {}},
    {"wmav2",             2, {}},
    {"libopencore_amrnb", 1, {8000}},
    {"amr_nb",            1, {8000}},
    {"libvo_amrwbenc",    1, {16000}},
};
// clang-format on

QString listAfter(const QString& helpText, const char* heading) {
    const QRegularExpression line(QStringLiteral("^\\s*%1:\\s*(.*)$").arg(QLatin1String(heading)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(helpText);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

// Layout names hold spaces ("2 channels (FC+LFE)"), so each known name is matched in turn:
// the list is read as the largest channel count any of its entries names.
int maxChannelsOf(const QString& layouts) {
    static const QRegularExpression entry(
        QStringLiteral("(\\d+ channels \\([^)]*\\)|\\d+ channels|[\\w.]+(?:\\([\\w]+\\))?)"));
    int most = 0;
    for (const QRegularExpressionMatch& m : entry.globalMatch(layouts))
        most = std::max(most, channelsOfLayout(m.captured(1)));
    return most;
}

} // namespace

bool helpStatesOneThread(const QString& helpText) {
    return listAfter(helpText, "Threading capabilities") == QLatin1String("none");
}

AudioLimits audioLimitsFromHelp(const QString& encoder, const QString& helpText) {
    AudioLimits limits;
    for (const QString& r : listAfter(helpText, "Supported sample rates")
                                .split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int rate = r.toInt(&ok);
        if (ok && rate >= kLowestSampleRate && rate <= kHighestSampleRate)
            limits.sampleRates << rate;
    }
    limits.maxChannels =
        std::min(maxChannelsOf(listAfter(helpText, "Supported channel layouts")), kMostChannels);
    for (const UnstatedLimit& u : kUnstatedLimits) {
        if (encoder != QLatin1String(u.encoder))
            continue;
        if (limits.maxChannels == 0 || u.maxChannels < limits.maxChannels)
            limits.maxChannels = u.maxChannels;
        if (limits.sampleRates.isEmpty())
            limits.sampleRates = QList<int>(u.sampleRates);
    }
    std::sort(limits.sampleRates.begin(), limits.sampleRates.end());
    return limits;
}

int nearestSampleRate(const QList<int>& rates, int rate) {
    if (rates.isEmpty() || rates.contains(rate))
        return rate;
    int best = rates.first();
    for (int r : rates) {
        const int d = std::abs(r - rate);
        const int bestD = std::abs(best - rate);
        if (d < bestD || (d == bestD && r > best))
            best = r;
    }
    return best;
}

} // namespace mirelo
