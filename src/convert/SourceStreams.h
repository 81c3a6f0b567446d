#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace mirelo {

enum class StreamKind { Video, Audio, Subtitle, Other };

// One stream of a source file as the encoder describes it when it opens the file.
struct SourceStream {
    int index = 0; // the N of "Stream #0:N"
    StreamKind kind = StreamKind::Other;
    QString codec;
    QString language; // "eng"; empty when the file names none
    QString title;
    QString pixelFormat; // video: "yuv420p10le"
    int width = 0;       // video
    int height = 0;      // video
    int channels = 0;    // audio
    int sampleRate = 0;  // audio, Hz
    double rotation = 0; // video, degrees from the display matrix (counter-clockwise)
    bool isDefault = false;
    bool isCoverPicture = false; // a still picture attached to the file ("attached pic")
};

// What the encoder's report on opening a file ("ffmpeg -i FILE") says about one input.
struct SourceStreams {
    std::optional<double> duration;
    std::vector<SourceStream> streams;

    bool hasVideo() const; // a moving picture: a cover picture does not count
    bool hasAudio() const;
    const SourceStream* firstVideo() const;
    const SourceStream* coverPicture() const;
    // The track a conversion takes: the default audio stream, else the first.
    const SourceStream* chosenAudio() const;
    int audioCount() const;
};

// Reads the "Duration:" and "Stream #I:N" lines of input I's part of the report, with each
// stream's "title" metadata and "displaymatrix: rotation" side data. Other inputs and outputs are
// ignored.
SourceStreams parseSourceStreams(const QString& report, int input = 0);

// What was read of a file, kept for this process while the file keeps its size and time stamp:
// a list converted with several profiles, or again, reads each file once.
const SourceStreams* cachedSourceStreams(const QString& path);
void storeSourceStreams(const QString& path, const SourceStreams& streams);

// Channels of an audio layout as the encoder names it ("mono" 1, "stereo" 2, "5.1(side)" 6,
// "4 channels" 4); 0 when unknown.
int channelsOfLayout(const QString& layout);

} // namespace mirelo
