#include "convert/CompatibilityRules.h"
#include "convert/EncoderCapabilities.h"
#include "convert/SourceStreams.h"

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

// An excerpt of Debian's "ffmpeg -hide_banner -encoders" and "-muxers".
const char kEncoders[] = "Encoders:\n"
                         " V..... = Video\n"
                         " ...X.. = Codec is experimental\n"
                         " ------\n"
                         " V....D libx264              libx264 H.264 / AVC\n"
                         " V.S... mpeg4                MPEG-4 part 2\n"
                         " A..... aac                  AAC (Advanced Audio Coding)\n"
                         " A..X.. vorbis               Vorbis\n"
                         " A....D libvorbis            libvorbis (codec vorbis)\n";
const char kMuxers[] = "File formats:\n"
                       " D. = Demuxing supported\n"
                       " .E = Muxing supported\n"
                       " --\n"
                       "  E 3gp             3GP (3GPP file format)\n"
                       "  E adts            ADTS AAC (Advanced Audio Coding)\n"
                       " DE avi             AVI (Audio Video Interleaved)\n";

TEST(EncoderCapabilities, ParsesTheListsAndLeavesOutExperimentalEncoders) {
    const QSet<QString> encoders = parseEncoderList(QString::fromLatin1(kEncoders));
    EXPECT_EQ(encoders, (QSet<QString>{"libx264", "mpeg4", "aac", "libvorbis"}));
    const QSet<QString> muxers = parseMuxerList(QString::fromLatin1(kMuxers));
    EXPECT_EQ(muxers, (QSet<QString>{"3gp", "adts", "avi"}));
}

EncoderCapabilities caps(QSet<QString> encoders, QSet<QString> muxers = {}) {
    return {std::move(encoders), std::move(muxers)};
}

QStringList split(const char* text) {
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

struct RuleCase {
    const char* rule;
    EncoderCapabilities capabilities;
    bool overwrite;
    const char* before; // arguments after the program
    const char* after;
};

// Each rule alone, applied to the parsed vector.
TEST(CompatibilityRules, EachRuleOnItsOwn) {
    const EncoderCapabilities full =
        caps({"aac", "libvorbis", "mpeg4", "libopencore_amrnb"}, {"adts", "mp4"});
    const RuleCase cases[] = {
        {"replace missing encoders", full, false, "-i in -acodec libfaac out.mp4",
         "-i in -acodec aac out.mp4"},
        {"replace missing encoders", full, false, "-i in -acodec libamr_nb out.3gp",
         "-i in -acodec libopencore_amrnb out.3gp"},
        {"replace missing encoders", caps({"aac"}), false, "-i in -acodec libamr_nb out.3gp",
         "-i in -acodec aac out.3gp"},
        {"replace missing encoders", full, false, "-i in -acodec vorbis out.ogg",
         "-i in -acodec libvorbis out.ogg"},
        {"replace missing encoders", full, false, "-i in -vcodec libxvid -acodec aac out.avi",
         "-i in -vcodec mpeg4 -acodec aac -vtag xvid out.avi"},
        {"replace missing encoders", caps({"libxvid", "libfaac"}), false,
         "-i in -vcodec libxvid -acodec libfaac out.avi",
         "-i in -vcodec libxvid -acodec libfaac out.avi"},
        {"replace missing encoders", caps({}), false, "-i in -acodec libfaac out.mp4",
         "-i in -acodec libfaac out.mp4"},
        {"audio bitrate in kilobits", full, false, "-i in -ab 128 out.mp4",
         "-i in -b:a 128k out.mp4"},
        {"audio bitrate in kilobits", full, false, "-i in -ab 12.2k out.3gp",
         "-i in -b:a 12.2k out.3gp"},
        {"video bitrate by name", full, false, "-i in -b 768k out.mp4", "-i in -b:v 768k out.mp4"},
        {"current container names", full, false, "-i in -vn -f aac out.aac",
         "-i in -vn -f adts out.aac"},
        {"current container names", caps({}, {"aac", "adts"}), false, "-i in -f aac out.aac",
         "-i in -f aac out.aac"},
        {"clip start before input", full, false, "-i in -r 25 -ss 1200 -t 10 out.mp4",
         "-ss 1200 -i in -r 25 -t 10 out.mp4"},
        {"open-ended clip", full, false, "-i in -ss 0 -t 0 out.mp4", "-i in -ss 0 out.mp4"},
        {"open-ended clip", full, false, "-i in -ss 0 -t -5 out.mp4", "-i in -ss 0 out.mp4"},
        {"open-ended clip", full, false, "-i in -t 7 out.mp4", "-i in -t 7 out.mp4"},
        {"quiet with progress report", full, false, "-i in out.mp4",
         "-nostdin -hide_banner -progress pipe:1 -nostats -i in out.mp4"},
        {"existing output policy", full, false, "-i in out.mp4", "-n -i in out.mp4"},
        {"existing output policy", full, true, "-i in out.mp4", "-y -i in out.mp4"},
    };
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(std::string(c.rule) + ": " + c.before);
        const CompatibilityRule* rule = compatibilityRule(c.rule);
        ASSERT_NE(rule, nullptr);
        std::optional<EncoderArguments> a = EncoderArguments::parse(split(c.before));
        ASSERT_TRUE(a);
        rule->apply(*a, {c.capabilities, c.overwrite});
        EXPECT_EQ(a->toList().join(' ').toStdString(), c.after);
    }
}

// Files converted side by side: each decoder and encoder keeps to its share of the cores, unless
// the profile chose a number itself.
TEST(CompatibilityRules, ShareOfTheCores) {
    const struct {
        int threads;
        const char* before;
        const char* after;
    } cases[] = {
        {0, "-i in -b:v 512k out.mp4", "-i in -b:v 512k out.mp4"},
        {1, "-i in -b:v 512k out.mp4", "-threads 1 -i in -b:v 512k -threads 1 out.mp4"},
        {4, "-i in out.mp4", "-threads 4 -i in -threads 4 out.mp4"},
        {1, "-i in -threads 2 out.mp4", "-i in -threads 2 out.mp4"},
    };
    const EncoderCapabilities none = caps({}, {});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        std::optional<EncoderArguments> a = EncoderArguments::parse(split(c.before));
        ASSERT_TRUE(a);
        compatibilityRule("share of the cores")
            ->apply(*a, {none, false, nullptr, nullptr, nullptr, c.threads});
        EXPECT_EQ(a->toList().join(' ').toStdString(), c.after);
    }
}

TEST(CompatibilityRules, PathsStaySingleArgumentsAndAreNeverTakenForOptions) {
    const EncoderCapabilities none = caps({}, {});
    const QStringList before{"-i", "-ss 5 my clip.avi", "-ss", "3", "-ab", "64", "-ab"};
    const QStringList after = compatibleArguments(before, {none, false});
    EXPECT_EQ(after,
              (QStringList{"-nostdin", "-hide_banner", "-progress", "pipe:1", "-nostats", "-n",
                           "-ss", "3", "-i", "-ss 5 my clip.avi", "-b:a", "64k", "-ab"}));
}

TEST(CompatibilityRules, WholeProfileVectorOnDebiansEncoder) {
    const EncoderCapabilities debian =
        caps({"aac", "mpeg4", "libx264", "libmp3lame", "wmav2"}, {"mp4", "adts", "3gp"});
    const QStringList profile =
        split("-i in.avi -f mp4 -vcodec libxvid -ab 128 -ac 2 -ar 44100 -b 256k -r 29.97 -ss 10 "
              "-t 50 -s 320x240 -acodec libfaac out.mp4");
    EXPECT_EQ(compatibleArguments(profile, {debian, true}).join(' ').toStdString(),
              "-nostdin -hide_banner -progress pipe:1 -nostats -y -ss 10 -i in.avi -f mp4 "
              "-vcodec mpeg4 -b:a 128k -ac 2 -ar 44100 -b:v 256k -r 29.97 -t 50 -s 320x240 "
              "-acodec aac -vtag xvid out.mp4");
}

TEST(CompatibilityRules, AnUnexpectedVectorComesBackUnchanged) {
    const EncoderCapabilities none = caps({}, {});
    for (const QStringList& v :
         {QStringList{}, QStringList{"out.mp4"}, QStringList{"-f", "mp4", "in", "out"}})
        EXPECT_EQ(compatibleArguments(v, {none, false}), v);
}

} // namespace

namespace {

// Reports of the encoder on opening sources people have, cut to the lines that matter.
const char kSurroundWithCommentary[] =
    "Input #0, matroska,webm, from 'film.mkv':\n"
    "  Duration: 00:01:00.00, start: 0.000000, bitrate: 4000 kb/s\n"
    "  Stream #0:0: Video: hevc (Main 10), yuv420p10le(tv), 1920x1080, 24 fps (default)\n"
    "  Stream #0:1(eng): Audio: aac (LC), 96000 Hz, stereo, fltp\n"
    "    Metadata:\n"
    "      title           : Commentary\n"
    "  Stream #0:2(eng): Audio: aac (LC), 96000 Hz, 5.1, fltp (default)\n";
const char kOrdinary[] = "Input #0, avi, from 'a.avi':\n"
                         "  Duration: 00:00:02.00, start: 0.000000, bitrate: 400 kb/s\n"
                         "  Stream #0:0: Video: mpeg4, yuv420p, 160x120, 10 fps\n"
                         "  Stream #0:1: Audio: pcm_s16le, 44100 Hz, 5.1, s16, 1411 kb/s\n";
const char kSilent[] = "Input #0, matroska,webm, from 'screen.webm':\n"
                       "  Duration: 00:00:02.00, start: 0.000000, bitrate: N/A\n"
                       "  Stream #0:0: Video: vp9, yuv420p(tv), 1366x768, 30 fps (default)\n";
const char kSongWithCover[] =
    "Input #0, mp3, from 'song.mp3':\n"
    "  Duration: 00:03:20.04, start: 0.025056, bitrate: 192 kb/s\n"
    "  Stream #0:0: Audio: mp3, 44100 Hz, stereo, fltp, 192 kb/s\n"
    "  Stream #0:1: Video: mjpeg (Baseline), yuvj444p(pc), 600x600, 90k tbn (attached pic)\n";
const char kTurned[] = "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'phone.mp4':\n"
                       "  Duration: 00:00:12.40, start: 0.000000, bitrate: 9000 kb/s\n"
                       "  Stream #0:0[0x1](und): Video: h264 (High), yuv420p(tv), 1920x1080, "
                       "29.97 fps (default)\n"
                       "    Side data:\n"
                       "      displaymatrix: rotation of -90.00 degrees\n"
                       "  Stream #0:1[0x2](und): Audio: aac (LC), 48000 Hz, mono, fltp (default)\n";
const char kUpsideDown[] = "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'phone.mp4':\n"
                           "  Duration: 00:00:12.40, start: 0.000000, bitrate: 9000 kb/s\n"
                           "  Stream #0:0: Video: h264 (High), yuv420p(tv), 1920x1080 (default)\n"
                           "    Side data:\n"
                           "      displaymatrix: rotation of 180.00 degrees\n"
                           "  Stream #0:1: Audio: aac (LC), 48000 Hz, mono, fltp (default)\n";

const QHash<QString, AudioLimits> kLimits{
    {"wmav2", {2, {8000, 11025, 16000, 22050, 32000, 44100, 48000}}},
    {"libopencore_amrnb", {1, {8000}}},
    {"aac", {8, {}}},
};

struct SourceCase {
    const char* rule;
    const char* report; // nullptr: the source's streams are not known
    const char* before;
    const char* after;
    const char* note; // a part of what the row's details must say; "" for nothing
};

} // namespace

// The rules that follow the source: its tracks, its sound and its picture.
TEST(CompatibilityRules, RulesThatFollowTheSource) {
    const EncoderCapabilities none = caps({}, {});
    const char* const fit = "scale=320:240:force_original_aspect_ratio=decrease:"
                            "force_divisible_by=2,pad=320:240:(ow-iw)/2:(oh-ih)/2,setsar=1";
    const std::string fitted = std::string("-i in -vcodec mpeg4 -s 320x240 -vf ") + fit + " o";
    const SourceCase cases[] = {
        // Tracks: the default one of several, mapped with the picture; one track: as it was.
        {"streams of the source", kSurroundWithCommentary, "-i in -vcodec mpeg4 -acodec aac o",
         "-i in -map 0:0 -map 0:2 -vcodec mpeg4 -acodec aac o",
         "stream #0:2 (eng), the default one of the 2 audio tracks"},
        {"streams of the source", kSurroundWithCommentary, "-i in -ab 64 -vn -f mp3 o",
         "-i in -map 0:2 -ab 64 -vn -f mp3 o", "the default one"},
        {"streams of the source", kSurroundWithCommentary, "-i in -vcodec mpeg4 -an o",
         "-i in -vcodec mpeg4 -an o", ""},
        {"streams of the source", kOrdinary, "-i in -vcodec mpeg4 -acodec aac o",
         "-i in -vcodec mpeg4 -acodec aac o", ""},
        {"streams of the source", nullptr, "-i in -vcodec mpeg4 -acodec aac o",
         "-i in -vcodec mpeg4 -acodec aac o", ""},
        // No sound: the picture alone, or a silent track where the container needs one.
        {"streams of the source", kSilent, "-i in -f mp4 -vcodec mpeg4 -acodec aac o",
         "-i in -f mp4 -vcodec mpeg4 -acodec aac -an o", "only its picture"},
        {"streams of the source", kSilent, "-i in -f psp -vcodec mpeg4 -acodec aac o",
         "-i in -f lavfi -i anullsrc=r=48000:cl=stereo -map 0:0 -map 1:0 -f psp -vcodec mpeg4 "
         "-acodec aac -shortest o",
         "silent sound track"},
        // A song with a cover: the cover, repeated, is the picture for the song's length.
        {"streams of the source", kSongWithCover, "-i in -vcodec mpeg4 -r 10 -s 320x240 o",
         "-i in -i in -map 1:1 -map 0:0 -vcodec mpeg4 -r 10 -s 320x240 -vf "
         "loop=loop=-1:size=1,setpts=N/(10)/TB -disposition:v:0 0 -shortest o",
         "cover picture"},
        {"streams of the source", kSongWithCover, "-i in -vn -f wav o", "-i in -vn -f wav o", ""},
        // Channels and rates the audio encoder takes.
        {"audio the encoder takes", kSurroundWithCommentary, "-i in -acodec wmav2 o",
         "-i in -acodec wmav2 -ac 2 -ar 48000 o", "6 channels are mixed down to 2"},
        {"audio the encoder takes", kOrdinary, "-i in -ac 6 -ar 44100 -acodec wmav2 o",
         "-i in -ac 2 -ar 44100 -acodec wmav2 o", "audio encoder wmav2"},
        {"audio the encoder takes", kOrdinary, "-i in -ac 1 -acodec wmav2 o",
         "-i in -ac 1 -acodec wmav2 o", ""},
        {"audio the encoder takes", kOrdinary, "-i in -ac 2 -ar 44100 -acodec libopencore_amrnb o",
         "-i in -ac 1 -ar 8000 -acodec libopencore_amrnb o", "from 44100 Hz to 8000 Hz"},
        {"audio the encoder takes", kOrdinary, "-i in -acodec aac o", "-i in -acodec aac o", ""},
        {"audio the encoder takes", kOrdinary, "-i in -acodec libmp3lame o",
         "-i in -acodec libmp3lame o", ""},
        {"audio the encoder takes", kOrdinary, "-i in -acodec wmav2 -an o",
         "-i in -acodec wmav2 -an o", ""},
        {"audio the encoder takes", nullptr, "-i in -ac 6 -acodec wmav2 o",
         "-i in -ac 2 -acodec wmav2 o", "mixed down"},
        {"audio the encoder takes", nullptr, "-i in -acodec wmav2 o", "-i in -acodec wmav2 o", ""},
        // A picture turned a quarter keeps upright in the fixed frame; others are as before.
        {"upright picture in the frame", kTurned, "-i in -vcodec mpeg4 -s 320x240 o",
         fitted.c_str(), "turned by -90 degrees"},
        {"upright picture in the frame", kUpsideDown, "-i in -vcodec mpeg4 -s 320x240 o",
         "-i in -vcodec mpeg4 -s 320x240 o", ""},
        {"upright picture in the frame", kOrdinary, "-i in -vcodec mpeg4 -s 320x240 o",
         "-i in -vcodec mpeg4 -s 320x240 o", ""},
        {"upright picture in the frame", kTurned, "-i in -vcodec mpeg4 o", "-i in -vcodec mpeg4 o",
         ""},
        {"upright picture in the frame", kTurned, "-i in -vn -s 320x240 o",
         "-i in -vn -s 320x240 o", ""},
        // A 10-bit picture stays 10-bit only where an encoder would keep it.
        {"picture the player decodes", kSurroundWithCommentary, "-i in -vcodec libx264 o",
         "-i in -vcodec libx264 -pix_fmt yuv420p o", ""},
        {"picture the player decodes", kSurroundWithCommentary, "-i in -vcodec mpeg4 o",
         "-i in -vcodec mpeg4 o", ""},
        {"picture the player decodes", kTurned, "-i in -vcodec libx264 o",
         "-i in -vcodec libx264 o", ""},
        {"picture the player decodes", kSongWithCover, "-i in -vcodec libx264 o",
         "-i in -vcodec libx264 o", ""},
    };
    for (const SourceCase& c : cases) {
        SCOPED_TRACE(std::string(c.rule) + ": " + c.before);
        const CompatibilityRule* rule = compatibilityRule(c.rule);
        ASSERT_NE(rule, nullptr);
        std::optional<EncoderArguments> a = EncoderArguments::parse(split(c.before));
        ASSERT_TRUE(a);
        const SourceStreams source = parseSourceStreams(c.report ? c.report : "");
        QStringList notes;
        rule->apply(*a, {none, false, c.report ? &source : nullptr, &kLimits, &notes});
        EXPECT_EQ(a->toList().join(' ').toStdString(), c.after);
        EXPECT_EQ(notes.join('\n').contains(c.note), true) << notes.join('\n').toStdString();
        EXPECT_EQ(notes.isEmpty(), c.note[0] == 0) << notes.join('\n').toStdString();
    }
}

// The rules in their order: the track chosen for a WMV row is the one mixed down, and the cover
// is looped before it is fitted into the frame, from the file unseeked.
TEST(CompatibilityRules, SourceRulesTogetherOnAWholeVector) {
    const EncoderCapabilities debian = caps({"wmav2", "wmv2", "mpeg4", "aac"}, {"asf", "mp4"});
    const SourceStreams film = parseSourceStreams(kSurroundWithCommentary);
    const QStringList wmv = split("-i in.mkv -vcodec wmv2 -b 300k -r 25 -ss 0 -t 60 -s 320x240 "
                                  "-acodec wmav2 out.wmv");
    EXPECT_EQ(compatibleArguments(wmv, {debian, false, &film, &kLimits}).join(' ').toStdString(),
              "-nostdin -hide_banner -progress pipe:1 -nostats -n -ss 0 -i in.mkv -map 0:0 "
              "-map 0:2 -vcodec wmv2 -b:v 300k -r 25 -t 60 -s 320x240 -acodec wmav2 -ac 2 "
              "-ar 48000 out.wmv");
    const SourceStreams song = parseSourceStreams(kSongWithCover);
    const QStringList mp4 = split("-i song.mp3 -f mp4 -vcodec mpeg4 -r 25 -ss 10 -s 320x240 "
                                  "-acodec libfaac out.mp4");
    EXPECT_EQ(compatibleArguments(mp4, {debian, true, &song, &kLimits}).join(' ').toStdString(),
              "-nostdin -hide_banner -progress pipe:1 -nostats -y -ss 10 -i song.mp3 -i song.mp3 "
              "-map 1:1 "
              "-map 0:0 "
              "-f mp4 -vcodec mpeg4 -r 25 -s 320x240 -acodec aac -vf "
              "loop=loop=-1:size=1,setpts=N/(25)/TB,scale=320:240:force_original_aspect_ratio="
              "decrease:force_divisible_by=2,pad=320:240:(ow-iw)/2:(oh-ih)/2,setsar=1 "
              "-disposition:v:0 0 -shortest out.mp4");
}

TEST(CompatibilityRules, TheAudioEncoderAVectorRuns) {
    const struct {
        QStringList arguments;
        const char* encoder;
    } cases[] = {
        {{"-i", "in", "-acodec", "wmav2", "out"}, "wmav2"},
        {{"-i", "in", "-acodec", "libfaac", "-c:a", "aac", "out"}, "aac"},
        {{"-i", "in", "-acodec", "wmav2", "-an", "out"}, ""},
        {{"-i", "-acodec", "-vn", "out"}, ""},    // an input path is not an option
        {{"-i", "in", "-acodec", "-acodec"}, ""}, // nor is the output
        {{"-n", "-i", "in", "-vn", "-f", "mp3", "out"}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(audioEncoderOf(c.arguments).toStdString(), c.encoder)
            << c.arguments.join(' ').toStdString();
}

// The video encoder: none named is told apart from none running, since the format's default
// encoder may use every core.
TEST(CompatibilityRules, TheVideoEncoderAVectorRuns) {
    const struct {
        QStringList arguments;
        const char* encoder; // nullptr: none named
    } cases[] = {
        {{"-i", "in", "-f", "mp4", "-vcodec", "libxvid", "-acodec", "aac", "out"}, "libxvid"},
        {{"-i", "in", "-vcodec", "mpeg4", "-c:v", "libx264", "out"}, "libx264"},
        {{"-i", "in", "-codec:v", "copy", "out"}, ""},
        {{"-i", "in", "-vn", "-f", "wav", "out"}, ""},
        {{"-i", "in", "-f", "mp4", "-acodec", "aac", "out"}, nullptr},
        {{"-i", "-vcodec", "-f", "flv", "out"}, nullptr}, // an input path is not an option
        {{"-i", "in", "-vcodec", "-vn"}, nullptr},        // nor is the output
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const std::optional<QString> encoder = videoEncoderOf(c.arguments);
        ASSERT_EQ(encoder.has_value(), c.encoder != nullptr);
        if (encoder) {
            EXPECT_EQ(encoder->toStdString(), c.encoder);
        }
    }
}
