#pragma once

#include <QList>
#include <QString>

namespace mirelo {

// The sample rates and channel counts any audio encoder can take. A value outside them is no
// limit but a misread help or a damaged cache.
inline constexpr int kLowestSampleRate = 1000;
inline constexpr int kHighestSampleRate = 768000;
inline constexpr int kMostChannels = 64;

// What an audio encoder takes: at most so many channels and one of a list of sample rates.
struct AudioLimits {
    int maxChannels = 0;    // 0: no limit known
    QList<int> sampleRates; // empty: any rate
    bool operator==(const AudioLimits&) const = default;
};

// The limits an encoder states in its help ("ffmpeg -h encoder=NAME": "Supported sample rates:"
// and "Supported channel layouts:"), joined with the ones some encoders enforce without stating
// them (wmav2 takes two channels at most, AMR narrowband one channel at 8000 Hz). Rates outside
// the range above are left out, and more channels than kMostChannels read as kMostChannels.
AudioLimits audioLimitsFromHelp(const QString& encoder, const QString& helpText);

// Whether an encoder's help states that it runs in one thread ("Threading capabilities: none").
// A help without that line states nothing.
bool helpStatesOneThread(const QString& helpText);

// The supported rate closest to the rate asked for (the higher one on a tie); the rate itself
// when the list is empty or holds it.
int nearestSampleRate(const QList<int>& rates, int rate);

} // namespace mirelo
