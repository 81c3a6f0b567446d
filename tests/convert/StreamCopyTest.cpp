// Which streams the copy rows take from a source, and where extracted audio goes.

#include "convert/StreamCopy.h"
#include "convert/SourceStreams.h"
#include "profiles/Catalog.h"

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

SourceStream stream(int index, StreamKind kind, const char* codec, bool cover = false) {
    SourceStream s;
    s.index = index;
    s.kind = kind;
    s.codec = QString::fromLatin1(codec);
    s.isCoverPicture = cover;
    return s;
}

constexpr auto V = StreamKind::Video;
constexpr auto A = StreamKind::Audio;
constexpr auto S = StreamKind::Subtitle;
constexpr auto O = StreamKind::Other;

const int kCopyMkv = 100;
const int kCopyMp4 = 101;
const int kExtract = 102;

} // namespace

TEST(StreamCopy, EachContainerTakesTheStreamsItCanHold) {
    const struct {
        const char* name;
        int position;
        std::vector<SourceStream> streams;
        const char* options;
        const char* extension;
        bool refused;
    } cases[] = {
        {"film to MKV: every stream but data",
         kCopyMkv,
         {stream(0, V, "h264"), stream(1, A, "ac3"), stream(2, A, "aac"), stream(3, S, "subrip"),
          stream(4, S, "hdmv_pgs_subtitle"), stream(5, O, "bin_data")},
         " -map 0:0 -map 0:1 -map 0:2 -map 0:3 -map 0:4",
         ".mkv",
         false},
        {"film to MP4: no SubRip, no bitmaps",
         kCopyMp4,
         {stream(0, V, "h264"), stream(1, A, "ac3"), stream(2, S, "subrip"),
          stream(3, S, "mov_text")},
         " -map 0:0 -map 0:1 -map 0:3",
         ".mp4",
         false},
        {"HEVC into MP4 gets the Apple tag",
         kCopyMp4,
         {stream(0, V, "hevc"), stream(1, A, "aac")},
         " -map 0:0 -map 0:1 -tag:v hvc1",
         ".mp4",
         false},
        {"HEVC into MKV needs no tag",
         kCopyMkv,
         {stream(0, V, "hevc")},
         " -map 0:0",
         ".mkv",
         false},
        {"old AVI to MP4 keeps what fits",
         kCopyMp4,
         {stream(0, V, "msmpeg4v3"), stream(1, A, "mp3")},
         " -map 0:1",
         ".mp4",
         false},
        {"WMV fits no MP4",
         kCopyMp4,
         {stream(0, V, "wmv2"), stream(1, A, "wmav2")},
         "",
         ".mp4",
         true},
        {"a cover picture is left out",
         kCopyMkv,
         {stream(0, A, "flac"), stream(1, V, "mjpeg", true)},
         " -map 0:0",
         ".mkv",
         false},
        {"AAC audio goes to M4A",
         kExtract,
         {stream(0, V, "h264"), stream(1, A, "aac")},
         " -map 0:1 -f mp4",
         ".m4a",
         false},
        {"other audio goes to MKA",
         kExtract,
         {stream(0, V, "mpeg4"), stream(1, A, "mp3")},
         " -map 0:1 -f matroska",
         ".mka",
         false},
        {"no audio, nothing to extract", kExtract, {stream(0, V, "h264")}, "", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SourceStreams source;
        source.streams = c.streams;
        const CopySelection s = copySelection(*catalogRow(c.position), &source);
        EXPECT_EQ(s.error.isEmpty(), !c.refused) << s.error.toStdString();
        if (c.refused)
            continue;
        EXPECT_EQ(s.options, QString::fromLatin1(c.options));
        EXPECT_EQ(s.extension, QString::fromLatin1(c.extension));
    }
}

TEST(StreamCopy, TheDefaultAudioTrackIsTheOneExtracted) {
    SourceStreams source;
    source.streams = {stream(0, V, "h264"), stream(1, A, "mp3"), stream(2, A, "aac")};
    source.streams[2].isDefault = true;
    const CopySelection s = copySelection(*catalogRow(kExtract), &source);
    EXPECT_EQ(s.options, " -map 0:2 -f mp4");
    EXPECT_EQ(s.extension, ".m4a");
}

TEST(StreamCopy, WithoutTheSourcesStreamsEveryKindIsTaken) {
    EXPECT_EQ(copySelection(*catalogRow(kCopyMkv), nullptr).options,
              " -map 0:v? -map 0:a? -map 0:s?");
    EXPECT_EQ(copySelection(*catalogRow(kCopyMp4), nullptr).options, " -map 0:v? -map 0:a?");
    const CopySelection audio = copySelection(*catalogRow(kExtract), nullptr);
    EXPECT_EQ(audio.options, " -map 0:a:0 -f matroska");
    EXPECT_EQ(audio.extension, ".mka");
}
