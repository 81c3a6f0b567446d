#include "convert/CompatibilityRules.h"
#include "convert/EncoderCapabilities.h"

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
