#include "capture/Compressors.h"

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

TEST(DivxRule, FirstNameBeginningWithDivxIsChosen) {
    struct Case {
        QStringList names;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {{"Cinepak", "DivX Pro 5.0.2 Codec", "DivX 6"}, 1},
        {{"divx 6"}, std::nullopt},
        {{"DIVX 6", "Xvid DivX compatible"}, std::nullopt},
        {{"DivX"}, 0},
        {{}, std::nullopt},
        {{"MPEG-4 part 2", "libxvidcore MPEG-4 part 2"}, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(firstDivxCompressor(c.names), c.expected) << c.names.join(',').toStdString();
}

// Lines as the encoder prints them, legend included.
const char* const kEncodersListing = R"(Encoders:
 V..... = Video
 A..... = Audio
 ------
 V..... cinepak              Cinepak
 VF.... huffyuv              Huffyuv / HuffYUV
 V....D libx264              libx264 H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10 (codec h264)
 V....D libvpx               libvpx VP8 (codec vp8)
 V.S... mpeg4                MPEG-4 part 2
 V..... libxvid              libxvidcore MPEG-4 part 2 (codec mpeg4)
 VF.... png                  PNG (Portable Network Graphics) image
 A....D mp2                  MP2 (MPEG audio layer 2)
 S..... srt                  SubRip subtitle
)";

TEST(Compressors, OnlyAviVideoEncodersWithTheirDescriptions) {
    const QList<Compressor> list =
        aviCompressors(parseEncoderListing(QString::fromLatin1(kEncodersListing)));
    const QStringList expectedEncoders{"cinepak", "huffyuv", "libx264", "mpeg4", "libxvid"};
    const QStringList expectedNames{"Cinepak", "Huffyuv / HuffYUV",
                                    "libx264 H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10",
                                    "MPEG-4 part 2", "libxvidcore MPEG-4 part 2"};
    QStringList encoders, names;
    for (const Compressor& c : list) {
        encoders.append(c.encoder);
        names.append(c.readableName);
    }
    EXPECT_EQ(encoders, expectedEncoders);
    EXPECT_EQ(names, expectedNames);
}

TEST(Compressors, RecordingOptionsForAChoiceAndWithoutOne) {
    const Compressor x264{"libx264", "libx264 H.264"};
    const Compressor cinepak{"cinepak", "Cinepak"};
    const Compressor unknown{"vp8_vaapi", "VP8 (VAAPI)"};
    const QStringList divx{"-c:v", "mpeg4", "-vtag", "DIVX", "-q:v", "3"};
    EXPECT_EQ(videoCodecArguments(nullptr), divx);
    EXPECT_EQ(videoCodecArguments(&unknown), divx);
    EXPECT_EQ(videoCodecArguments(&cinepak), QStringList({"-c:v", "cinepak"}));
    EXPECT_EQ(videoCodecArguments(&x264),
              QStringList({"-c:v", "libx264", "-crf", "20", "-preset", "veryfast"}));
}

} // namespace
