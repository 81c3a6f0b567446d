// The profile chooser's rows, each with everything the product knows about it: kind, text,
// picture, command-line layout and the preset it loads into the option sheet. Positions are
// stored in settings and keyed on everywhere, so rows are never inserted, removed or reordered;
// a new profile is a new row at the end.

#include "profiles/Catalog.h"
#include "profiles/SheetNames.h"

namespace mirelo {

namespace {

using namespace sheet;
using List = std::vector<const char*>;
using Steps = std::vector<ItemSetting>;

enum class BitrateList { Untouched, Append, Replace };

// A device profile's preset, written as one line: values, then value lists. It expands into
// steps in the order the sheet is visited.
struct Device {
    const char* videoCodec;
    const char* videoSize;
    const char* videoBitrate;
    const char* videoFramerate; // nullptr: left as it was
    const char* audioCodec;
    const char* audioBitrate;
    const char* sampleRate;
    List codecList;
    List sizeList;
    List audioCodecList;
    BitrateList bitrateMode = BitrateList::Untouched;
    List bitrateList = {};
};

Steps device(const Device& d) {
    return {
        {kVideoOptions, kVideoCodec, true, d.videoCodec, d.codecList},
        {kVideoOptions, kVideoBitrate, d.bitrateMode == BitrateList::Replace, d.videoBitrate,
         d.bitrateList},
        {kVideoOptions, kVideoFramerate, false, d.videoFramerate, {}},
        {kVideoOptions, kVideoSize, true, d.videoSize, d.sizeList},
        {kAudioOptions, kAudioCodec, true, d.audioCodec, d.audioCodecList},
        {kAudioOptions, kAudioBitrate, false, d.audioBitrate, {}},
        {kAudioOptions, kSampleRate, false, d.sampleRate, {}},
    };
}

// An audio format's preset: its codec, then bitrate and sample rate in the given order.
Steps audio(const char* codec, bool bitrateFirst) {
    const ItemSetting bitrate{kAudioOptions, kAudioBitrate, false, "128", {}};
    const ItemSetting rate{kAudioOptions, kSampleRate, false, "44100", {}};
    Steps steps{{kAudioOptions, kAudioCodec, true, codec, {codec}}};
    steps.push_back(bitrateFirst ? bitrate : rate);
    steps.push_back(bitrateFirst ? rate : bitrate);
    return steps;
}

// A newer video row's preset: the codec at constant quality, the source's size and frame rate
// and sample rate, then the audio codec.
struct Modern {
    const char* videoCodec;
    const char* quality;
    List qualitySteps;
    const char* audioCodec;
    const char* audioBitrate;
};

// Sizes a newer row offers besides the source's own; only their height counts, the width
// follows the source's aspect ratio. A function, not a namespace list: the table may be built
// during static initialisation.
List modernSizes() {
    return {"Original", "3840x2160", "2560x1440", "1920x1080", "1280x720", "854x480", "640x360"};
}

Steps modern(const Modern& m) {
    List qualities{"Auto"};
    qualities.insert(qualities.end(), m.qualitySteps.begin(), m.qualitySteps.end());
    return {
        {kVideoOptions, kVideoCodec, true, m.videoCodec, {m.videoCodec}},
        {kVideoOptions, kVideoQuality, true, m.quality, qualities},
        {kVideoOptions, kVideoFramerate, false, "Original", {"Original"}},
        {kVideoOptions, kVideoSize, true, "Original", modernSizes()},
        {kAudioOptions, kAudioCodec, true, m.audioCodec, {m.audioCodec}},
        {kAudioOptions, kAudioBitrate, false, m.audioBitrate, {}},
        {kAudioOptions, kSampleRate, false, "Original", {"Original"}},
    };
}

// A newer audio row: its codec at the source's sample rate; a lossless codec has no bitrate.
Steps modernAudio(const char* codec, const char* bitrate) {
    Steps steps{{kAudioOptions, kAudioCodec, true, codec, {codec}},
                {kAudioOptions, kSampleRate, false, "Original", {"Original"}}};
    if (bitrate)
        steps.push_back({kAudioOptions, kAudioBitrate, false, bitrate, {}});
    return steps;
}

// The copy rows take every stream as it is: no codec, size or rate applies.
Steps copied(bool video) {
    Steps steps{{kAudioOptions, kAudioCodec, true, "copy", {"copy"}}};
    if (video)
        steps.insert(steps.begin(), {{kVideoOptions, kVideoCodec, true, "copy", {"copy"}},
                                     {kVideoOptions, kVideoQuality, true, "Auto", {"Auto"}},
                                     {kVideoOptions, kVideoSize, true, "Original", {"Original"}}});
    return steps;
}

constexpr RowKind C = RowKind::Category;
constexpr RowKind P = RowKind::Profile;
constexpr auto Full = CommandLayout::Full;
constexpr auto Wmv = CommandLayout::Wmv;
constexpr auto Phone3gp = CommandLayout::Phone3gp;
constexpr auto Phone3g2 = CommandLayout::Phone3g2;
constexpr auto Flash = CommandLayout::Flash;
constexpr auto Dvd = CommandLayout::Dvd;
constexpr auto Audio = CommandLayout::Audio;
constexpr auto Wma = CommandLayout::Wma;
constexpr auto ModernVideo = CommandLayout::ModernVideo;
constexpr auto ModernAudio = CommandLayout::ModernAudio;
constexpr auto CopyStreams = CommandLayout::CopyStreams;
constexpr auto ExtractAudio = CommandLayout::ExtractAudio;
constexpr auto Append = BitrateList::Append;
constexpr auto Replace = BitrateList::Replace;

// The video lead-ins of the full layout; their blanks are part of the command-line text.
constexpr char kAppleLead[] = " -f mp4 -vcodec ";
constexpr char kMp4Lead[] = " -f mp4  -vcodec ";
constexpr char kPspLead[] = " -f psp -vcodec ";
constexpr char kAviLead[] = " -f avi  -vcodec ";
constexpr char kPlainLead[] = "  -vcodec ";
constexpr char kWideLead[] = "   -vcodec ";
// The newer rows' own options, after the codecs and before the clip.
constexpr char kHevcMp4[] = " -tag:v hvc1 -f mp4";
constexpr char kAv1[] = " -preset 8 -f webm";
constexpr char kVp9[] = " -row-mt 1 -deadline good -cpu-used 4 -f webm";
constexpr char kFastStart[] = " -movflags +faststart -f mp4";
constexpr char kMp4[] = " -f mp4";
constexpr char kMkv[] = " -f matroska";
constexpr char kCrf[] = " -crf %1";
constexpr char kKeyFrameNote[] =
    "No re-encoding: the streams keep their quality; a clip starts at the key frame before its "
    "start time.";

// Built on first use, lists included, so that the table is whole whenever it is first read,
// static initialisation included.
std::vector<CatalogRow> buildRows() {
    // Value lists several rows share.
    const List kIpodSizes{"320x240", "480x270", "480x320", "640x480"};
    const List kIphoneSizes{"480x320", "480x270", "720x405", "640x480"};
    const List kAppleTvSizes{"320x240", "480x320", "480x270", "720x432", "640x480"};
    const List kZenSizes{"320x240", "220x176", "176x144", "160x112"};
    const List kArchosSizes{"320x240", "160x128", "480x272", "640x480", "720x576", "800x480"};
    const List kSansaSizes{"640x480", "512x384", "480x576", "480x480",
                           "480x320", "320x240", "224x176", "160x112"};
    const List kZuneHdSizes{"320x240", "480x272", "720x480", "720x576", "1280x720"};
    const List kXboxWideSizes{"320x240",  "640x480",   "720x480",  "720x576",  "1024x768",
                              "1280x720", "1280x1024", "1366x768", "1920x1080"};
    const List kFlashSizes{"128x96", "176x144", "220x176", "320x240", "704x576", "640x480"};
    const List kPhoneSizes{"128x96",  "160x120", "176x144", "220x176",
                           "240x180", "320x240", "352x288", "640x480"};
    const List kPhone2Sizes{"128x96",  "160x120", "176x144", "220x176",
                            "320x240", "352x288", "640x480"};
    const List kWideSizes{"128x96",  "176x144", "352x240", "352x288", "480x272", "480x480",
                          "480x576", "640x480", "720x480", "720x576", "704x576", "320x240"};
    const List kExtendedSizes = [&] {
        List l = kWideSizes;
        l.insert(l.end(), {"720x480", "720x576", "1080x720", "1280x720", "1440x1080", "1920x1080"});
        return l;
    }();
    const List kPs3Bitrates{"2000", "2500", "3000"};
    const List kHighBitrates{"768", "2000", "4000", "5000", "6000", "8000", "10000", "12000"};
    const List kMp4Codecs{"xvid", "mpeg4", "x264"};
    const List kWmv{"WMV V9", "WMV V8"};

    // clang-format off
    return {
        {1, C, "Apple iPod", 1, "ipod", Full, kAppleLead, {}},
        {2, P, "Apple iPod Video MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kAppleLead,
         device({"xvid", "320x240", "512", "25", "aac", "64", "44100", kMp4Codecs, kIpodSizes, {"aac"}})},
        {3, P, "Apple iPod Nano/Classic MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kAppleLead,
         device({"xvid", "320x240", "512", "25", "aac", "160", "44100", kMp4Codecs, kIpodSizes, {"aac"}})},
        {4, P, "Apple iPod Movie for 480p TV Out(*.mp4)", 0, nullptr, Full, kAppleLead,
         device({"xvid", "640x480", "512", "25", "aac", "128", "44100", kMp4Codecs, {"640x480"}, {"aac"}})},
        {5, P, "Apple iPod Movie for 576p TV Out(*.mp4)", 0, nullptr, Full, kAppleLead,
         device({"xvid", "768x576", "512", "25", "aac", "128", "44100", kMp4Codecs, {"768x576"}, {"aac"}})},
        {6, P, "Apple iPod Touch MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kAppleLead,
         device({"xvid", "320x240", "768", "25", "aac", "128", "44100", kMp4Codecs, kIpodSizes, {"aac"}})},
        {7, C, "Apple iPhone", 10, "iphone", Full, kAppleLead, {}},
        {8, P, "Apple iPhone MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kAppleLead,
         device({"x264", "480x320", "768", "25", "aac", "128", "44100", kMp4Codecs, kIphoneSizes, {"aac"}})},
        {9, P, "Apple iPhone Movie for 480p TV Out(*.mp4)", 0, nullptr, Full, kAppleLead,
         device({"x264", "640x480", "768", "25", "aac", "128", "44100", kMp4Codecs, kIphoneSizes, {"aac"}})},
        {10, P, "Apple iPhone Movie for 576p TV Out(*.mp4)", 0, nullptr, Full, kAppleLead,
         device({"x264", "768x576", "768", "25", "aac", "128", "44100", kMp4Codecs,
                 {"480x320", "480x270", "720x405", "640x480", "768x576"}, {"aac"}})},
        {11, C, "Apple TV", 2, "appletv", Full, kAppleLead, {}},
        {12, P, "Apple TV MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kAppleLead,
         device({"xvid", "720x432", "512", "25", "aac", "128", "44100", {"xvid", "mpeg4"}, kAppleTvSizes, {"aac"}})},
        {13, P, "Apple TV MPEG-4 AVC Movie(*.mp4)", 0, nullptr, Full, kAppleLead,
         device({"x264", "768x576", "1500", "24", "aac", "64", "44100", {"x264"},
                 {"320x240", "480x320", "480x270", "720x432", "640x480", "768x576", "960x540", "1280x720"}, {"aac"}})},
        {14, C, "Gphone", 9, "gphone", Full, kPlainLead, {}},
        {15, P, "Gphone MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kPlainLead,
         device({"x264", "480x320", "768", "25", "aac", "128", "44100", {"xvid", "x264", "mpeg4"}, kIphoneSizes, {"aac"}})},
        // The Nexus One gets the codec and list of the other Gphone profile.
        {16, P, "Google Nexus One MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kPlainLead,
         device({"x264", "800x480", "1200", "25", "aac", "128", "44100", {"xvid", "x264", "mpeg4"},
                 {"480x320", "480x270", "720x405", "640x480", "800x480"}, {"aac"}})},
        {17, C, "Sony PSP", 15, "psp", Full, kPspLead, {}},
        {18, P, "Sony PSP MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kPspLead,
         device({"mpeg4", "368x208", "512", "29.97", "aac", "64", "24000", {"mpeg4"}, {"368x208", "320x240", "160x112"}, {"aac"}})},
        {19, P, "Sony PSP MPEG-4 AVC Movie(*.mp4)", 0, nullptr, Full, kPspLead,
         device({"x264", "368x208", "512", "29.97", "aac", "64", "48000", {"x264"},
                 {"368x208", "320x240", "160x112", "480x272"}, {"aac"}})},
        {20, C, "Sony PS3", 38, "ps3", Full, kPlainLead, {}},
        {21, P, "Sony PS3 MPEG-4 AVC Movie(480p)(*.mp4)", 0, nullptr, Full, kPlainLead,
         device({"x264", "720x480", "2000", "29.976", "aac", "96", "48000", {"x264"},
                 {"480x272", "640x480", "720x480", "720x576"}, {"aac"}, Append, kPs3Bitrates})},
        {22, P, "Sony PS3 MPEG-4 AVC Movie(720p)(*.mp4)", 0, nullptr, Full, kPlainLead,
         device({"x264", "720x576", "2000", "29.976", "aac", "128", "48000", {"x264"},
                 {"480x272", "640x480", "720x480", "720x576", "1280x720"}, {"aac"}, Append, kPs3Bitrates})},
        {23, P, "Sony PS3 MPEG-4 AVC Movie(1080p)(*.mp4)", 0, nullptr, Full, kPlainLead,
         device({"x264", "1440x1080", "2000", "23.976", "aac", "128", "48000", {"x264"},
                 {"480x272", "640x480", "720x480", "720x576", "1280x720", "1440x1080", "1920x1080"}, {"aac"},
                 Append, kPs3Bitrates})},
        {24, C, "Sony Walkman", 17, "walkman", Full, kPlainLead, {}},
        {25, P, "Sony Walkman MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kPlainLead,
         device({"xvid", "320x240", "768", "25", "aac", "128", "44100", {"xvid", "mpeg4"}, kZenSizes, {"aac"}})},
        {26, P, "Sony Walkman MPEG-4 AVC Movie(*.mp4)", 0, nullptr, Full, kPlainLead,
         device({"x264", "320x240", "512", "25", "aac", "128", "44100", {"x264"}, kZenSizes, {"aac"}})},
        {27, P, "Sony Walkman WMV9 Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "320x240", "768", nullptr, "WMA9", "128", "44100", {"WMV V9"}, {"320x240"}, {"WMA9"}})},
        {28, C, "Microsoft Zune", 22, "zune", Wmv, "", {}},
        {29, P, "Microsoft Zune WMV Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "320x240", "768", nullptr, "WMA9", nullptr, nullptr, kWmv, {"320x240"}, {"WMA9"}})},
        {30, P, "Microsoft Zune MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kMp4Lead,
         device({"mpeg4", "320x240", "512", "25", "aac", "128", "44100", {"mpeg4", "xvid"}, {"320x240"}, {"aac"}})},
        {31, P, "Microsoft Zune HD WMV Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "480x272", "1500", nullptr, "WMA9", nullptr, nullptr, kWmv, kZuneHdSizes, {"WMA9"}})},
        {32, P, "Microsoft Zune HD MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kMp4Lead,
         device({"mpeg4", "480x272", "1500", "25", "aac", "128", "44100", {"mpeg4", "xvid"}, kZuneHdSizes, {"aac"}})},
        {33, C, "Archos", 3, "archos", Wmv, "", {}},
        {34, P, "Archos 105 Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "160x128", "256", "25", "WMA9", "128", "44100", {"WMV V9"}, {"160x128"}, {"WMA9"}})},
        {35, P, "Archos 404/405 Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "320x240", "256", "25", "WMA9", "128", "44100", {"WMV V9"},
                 {"320x240", "160x128", "640x480", "720x576"}, {"WMA9"}})},
        {36, P, "Archos 504/604 Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "480x272", "512", "25", "WMA9", "128", "44100", {"WMV V9"},
                 {"320x240", "160x128", "480x272", "640x480", "720x576"}, {"WMA9"}})},
        {37, P, "Archos 605/705/TV+ Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "800x480", "512", "25", "WMA9", "128", "44100", {"WMV V9"}, kArchosSizes, {"WMA9"}})},
        {38, P, "Archos AV500 Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "800x480", "512", "25", "WMA9", "128", "44100", {"WMV V9"}, kArchosSizes, {"WMA9"}})},
        {39, P, "Archos AV700 Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "800x480", "512", "25", "WMA9", "128", "44100", {"WMV V9"}, kArchosSizes, {"WMA9"}})},
        {40, C, "Creative Zen", 21, "zen", Full, kAviLead, {}},
        {41, P, "Creative Zen X-Fi Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "320x240", "384", "25", "mp3", "96", "44100", {"mpeg4", "xvid"}, kZenSizes, {"mp3"}})},
        {42, P, "Creative Zen Vison Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "320x240", "384", "25", "mp3", "96", "44100", {"mpeg4", "xvid"},
                 {"320x240", "220x176", "176x144", "160x112", "640x480"}, {"mp3"}})},
        {43, P, "Creative Zen Vison M Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "320x240", "384", "25", "mp3", "96", "44100", {"mpeg4", "xvid"}, kZenSizes, {"mp3"}})},
        {44, P, "Creative Zen Vison W Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "480x272", "384", "25", "mp3", "96", "44100", {"mpeg4", "xvid"},
                 {"320x240", "220x176", "176x144", "160x112", "480x272"}, {"mp3"}})},
        {45, C, "iRiver", 31, "pda", Full, kAviLead, {}},
        {46, P, "iRiver E10 Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "128x128", "256", "15", "mp3", "128", "44100", {"mpeg4", "xvid"}, {"128x128"}, {"mp3"}})},
        {47, P, "iRiver U10/Clix Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "220x176", "256", "15", "mp3", "128", "44100", {"mpeg4", "xvid"}, kZenSizes, {"mp3"}})},
        {48, P, "iRiver B20/X20/Clix 2/E100/Lplayer Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "320x240", "384", "15", "mp3", "96", "44100", {"mpeg4", "xvid"}, kZenSizes, {"mp3"}})},
        {49, P, "iRiver Spinn/D28/DICPLE D30 Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "480x270", "384", "15", "mp3", "96", "44100", {"mpeg4", "xvid"},
                 {"480x270", "320x240", "220x176", "176x144", "160x112"}, {"mp3"}})},
        {50, P, "iRiver P10/P20 Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "640x272", "512", "25", "mp3", "128", "44100", {"mpeg4", "xvid"},
                 {"640x480", "640x368", "640x272", "480x360", "320x240", "220x176", "176x144", "160x112"}, {"mp3"}})},
        {51, P, "iRiver PMP-120/140/IMP-1000/1100 Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "640x480", "512", "25", "mp3", "128", "44100", {"mpeg4", "xvid"},
                 {"720x480", "640x480", "640x368", "640x272", "480x360", "320x240"}, {"mp3"}})},
        {52, C, "Sandisk Sansa", 16, "sansa", Full, kAviLead, {}},
        {53, P, "Sandisk Sansa AVI Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "320x240", "512", "20", "aac", "64", "24000", {"mpeg4"}, kSansaSizes, {"aac"}})},
        {54, P, "Sandisk Sansa WMV Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "320x240", "768", nullptr, "WMA9", "64", "24000", kWmv, kSansaSizes, {"WMA9"}})},
        {55, P, "Sandisk Sansa MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kMp4Lead,
         device({"mpeg4", "368x208", "512", "24", "aac", "64", "24000", {"mpeg4"}, {"368x208", "320x240", "160x112"}, {"aac"}})},
        {56, C, "Microsoft Xbox 360", 20, "xbox", Wmv, "", {}},
        {57, P, "Xbox WMV Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V8", "1280x720", "768", "30", "WMA9", "128", nullptr, kWmv, kXboxWideSizes, {"WMA9"}})},
        {58, P, "Xbox AVI Movie(*.avi)", 0, nullptr, Full, kAviLead,
         device({"mpeg4", "720x576", "1024", "30", "mp3", "128", "44100", {"mpeg4"},
                 {"320x240", "512x384", "640x480", "720x480", "720x576", "1024x768", "1280x720"}, {"mp3"}})},
        {59, P, "Xbox MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kMp4Lead,
         device({"mpeg4", "1280x720", "1500", "30", "aac", "128", "48000", kMp4Codecs, kXboxWideSizes, {"aac"}})},
        {60, C, "Nintendo Wii", 18, "wii", Full, kWideLead, {}},
        {61, P, "Nintendo Wii AVI Movie(*.avi)", 0, nullptr, Full, kWideLead,
         device({"mjpeg", "720x480", "768", "25", "pcm", "128", nullptr, {"mjpeg"},
                 {"848x480", "720x576", "720x480", "640x480", "512x384", "480x576", "480x480", "480x320",
                  "480x272", "368x208", "320x240", "352x288", "352x240"}, {"pcm"}})},
        {62, C, "Mobile Phone", 12, "mobile", Phone3gp, "", {}},
        {63, P, "Mobile Phone 3GP Movie(*.3gp)", 0, nullptr, Phone3gp, "",
         device({"h263", "176x144", "64", "15", "amr_nb", "12.2", "8000", {"h263", "mpeg4"}, kPhoneSizes, {"amr_nb", "faac"}})},
        {64, P, "Mobile Phone 3GP2 Movie(*.3g2)", 0, nullptr, Phone3g2, "",
         device({"h263", "176x144", "64", "15", "amr_nb", "12.2", "8000", {"h263", "mpeg4"}, kPhone2Sizes, {"amr_nb", "faac"}})},
        {65, P, "Mobile Phone MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kMp4Lead,
         device({"mpeg4", "176x144", "128", "15", "aac", "64", "11025", {"mpeg4", "xvid"}, kPhoneSizes, {"aac"}})},
        {66, P, "Nokia N-series MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kMp4Lead,
         device({"mpeg4", "176x144", "128", "15", "aac", "64", "24000", {"mpeg4", "xvid"}, kPhone2Sizes, {"aac"}})},
        {67, C, "BlackBerry", 11, "blackberry", Full, kMp4Lead, {}},
        {68, P, "BlackBerry MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kMp4Lead,
         device({"mpeg4", "320x240", "512", "24", "aac", "64", "44100", {"mpeg4"},
                 {"480x360", "480x320", "160x112", "320x240"}, {"aac"}})},
        {69, C, "Nokia", 30, "nokia", Full, kMp4Lead, {}},
        {70, P, "Nokia N-Series MPEG-4 Movie(*.mp4)", 0, nullptr, Full, kMp4Lead,
         device({"mpeg4", "320x176", "128", nullptr, "aac", "64", nullptr, {"mpeg4", "xvid"},
                 {"128x96", "176x144", "220x176", "320x176", "320x240", "352x288", "640x480"}, {"aac"}})},
        {71, C, "Windows Mobile", 31, "pda", Wmv, "", {}},
        {72, P, "Palm Treo Series Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "320x240", "384", nullptr, "WMA9", "64", nullptr, kWmv,
                 {"320x240", "720x576", "640x480"}, {"WMA9"}, Append, {"384"}})},
        {73, P, "General Pocket PC Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "320x240", "768", nullptr, "WMA9", "64", nullptr, kWmv,
                 {"320x240", "720x576", "720x480", "640x480", "512x384", "480x576", "480x480", "480x320",
                  "480x272", "368x208", "352x288", "352x240"}, {"WMA9"}, Append, {"384"}})},
        {74, C, "Flash Video", 5, "flash", Flash, "", {}},
        {75, P, "Flash Video Movie(*.flv)", 0, nullptr, Flash, "",
         device({"FLV", "320x240", "512", "25", "mp3", "64", "44100", {"FLV"}, kFlashSizes, {"mp3"}})},
        {76, P, "Flash SWF(*.swf)", 0, nullptr, Flash, "",
         device({"SWF", "320x240", "512", "25", "mp3", "64", "44100", {"SWF"}, kFlashSizes, {"mp3"}})},
        {77, C, "Toshiba Gigabeat", 8, "gigabeat", Wmv, "", {}},
        {78, P, "Toshiba Gigabeat WMV Movie(*.wmv)", 0, nullptr, Wmv, "",
         device({"WMV V9", "320x240", "512", nullptr, "WMA9", "64", nullptr, {"WMV V9"}, {"320x240"}, {"WMA9"},
                 Replace, {"768", "512", "384", "256"}})},
        {79, C, "Common Used Video Formats", 41, "video", Dvd, " -target ntsc-dvd ", {}},
        {80, P, "DVD Video NTSC Movie(*.mpg)", 0, nullptr, Dvd, " -target ntsc-dvd ",
         {{kVideoOptions, kVideoCodec, true, "mpeg2video", {"mpeg2video"}},
          {kVideoOptions, kVideoBitrate, true, "8000", {"8000", "5000", "2000"}},
          {kVideoOptions, kVideoSize, true, "720x480", {"720x480", "704x480", "352x480", "352x240"}},
          {kVideoOptions, kVideoFramerate, true, "25", {"25"}},
          {kAudioOptions, kAudioCodec, true, "ac3", {"ac3"}},
          {kAudioOptions, kAudioBitrate, true, "128", {"128", "192"}},
          {kAudioOptions, kSampleRate, false, "48000", {}}}},
        {81, P, "DVD Video PAL Movie(*.mpg)", 0, nullptr, Dvd, " -target pal-dvd ",
         {{kVideoOptions, kVideoCodec, true, "mpeg2video", {"mpeg2video"}},
          {kVideoOptions, kVideoBitrate, true, "8000", {"8000", "5000", "2000"}},
          {kVideoOptions, kVideoFramerate, false, "25", {}},
          {kVideoOptions, kVideoSize, true, "720x576", {"720x576", "704x576", "352x576", "352x288"}},
          {kAudioOptions, kAudioCodec, true, "ac3", {"ac3"}},
          {kAudioOptions, kSampleRate, false, "48000", {}},
          {kAudioOptions, kAudioBitrate, true, "128", {"128", "192"}}}},
        {82, P, "MPEG-I Movie(*.mpg)", 0, nullptr, Full, kWideLead,
         {{kVideoOptions, kVideoCodec, true, "mpeg1video", {"mpeg1video"}},
          {kVideoOptions, kVideoBitrate, false, "1152", {}},
          {kVideoOptions, kVideoFramerate, false, "29.970", {}},
          {kVideoOptions, kVideoSize, true, "352x240", kWideSizes},
          {kAudioOptions, kAudioCodec, true, "mp2", {"mp2"}},
          {kAudioOptions, kSampleRate, false, "44100", {}},
          {kAudioOptions, kAudioBitrate, false, "224", {}}}},
        {83, P, "MPEG-II Movie(*.mpg)", 0, nullptr, Full, kWideLead,
         {{kVideoOptions, kVideoCodec, true, "mpeg2video", {"mpeg2video"}},
          {kVideoOptions, kVideoBitrate, false, "1800", {"1800"}},
          {kVideoOptions, kVideoFramerate, false, "29.970", {}},
          {kVideoOptions, kVideoSize, true, "720x480", kExtendedSizes},
          {kAudioOptions, kAudioCodec, true, "mp2", {"ac3", "mp2"}},
          {kAudioOptions, kSampleRate, false, "44100", {}},
          {kAudioOptions, kAudioBitrate, false, "128", {}}}},
        {84, P, "Customized AVI Movie(*.avi)", 0, nullptr, Full, kAviLead,
         {{kVideoOptions, kVideoCodec, true, "xvid",
           {"xvid", "mpeg4", "msmpeg4", "msmpeg4v2", "mjpeg", "wmv1", "wmv2", "mpeg2", "mpeg1", "h263p",
            "x264", "huffyuv", "ffv1"}},
          {kVideoOptions, kVideoBitrate, true, "768", kHighBitrates},
          {kVideoOptions, kVideoFramerate, false, "25", {}},
          {kVideoOptions, kVideoSize, true, "720x480", kExtendedSizes},
          {kAudioOptions, kAudioCodec, true, "mp3", {"ac3", "mp3", "mp2", "aac"}},
          {kAudioOptions, kSampleRate, false, "44100", {}},
          {kAudioOptions, kAudioBitrate, false, "128", {}}}},
        {85, P, "Customized WMV Movie(*.wmv)", 0, nullptr, Wmv, "",
         {{kVideoOptions, kVideoCodec, true, "WMV V9", kWmv},
          {kVideoOptions, kVideoBitrate, true, "768", kHighBitrates},
          {kVideoOptions, kVideoSize, true, "720x480", kExtendedSizes},
          {kAudioOptions, kAudioCodec, true, "WMA", {"WMA"}},
          {kAudioOptions, kAudioBitrate, false, "128", {}}}},
        {86, P, "Customized MP4 Movie(*.mp4)", 0, nullptr, Full, kMp4Lead,
         {{kVideoOptions, kVideoCodec, true, "x264", {"x264", "mpeg4", "xvid"}},
          {kVideoOptions, kVideoBitrate, false, "768", {}},
          {kVideoOptions, kVideoFramerate, false, "25", {}},
          {kVideoOptions, kVideoSize, true, "320x240", kExtendedSizes},
          {kAudioOptions, kAudioCodec, true, "aac", {"aac"}},
          {kAudioOptions, kSampleRate, false, "44100", {}},
          {kAudioOptions, kAudioBitrate, false, "128", {}}}},
        {87, C, "Common Used Audio Formats", 6, "audio", Audio, "  -vn -f  mp3 -vn ", {}},
        {88, P, "MP3 Audio(*.mp3)", 0, nullptr, Audio, "  -vn -f  mp3 -vn ", audio("mp3", false)},
        {89, P, "OGG Vorbis Audio(*.ogg)", 0, nullptr, Audio, "  -vn -f  ogg ", audio("ogg", true)},
        {90, P, "WAVE Audio(*.wav)", 0, nullptr, Audio, "  -vn -f  wav ", audio("wav", true)},
        {91, P, "AAC Audio(*.aac)", 0, nullptr, Audio, "  -vn -f  aac ", audio("aac", true)},
        // The WMA profile loads the codec alone.
        {92, P, "WMA Audio(*.wma)", 0, nullptr, Wma, "", {{kAudioOptions, kAudioCodec, true, "WMA9", {"WMA9"}}}},
        {93, C, "Modern Video", 42, "modern", ModernVideo, kHevcMp4, {}},
        {94, P, "HEVC/H.265 MP4 Movie(*.mp4)", 0, nullptr, ModernVideo, kHevcMp4,
         modern({"x265", "26", {"18", "22", "24", "26", "28", "30", "34"}, "aac", "128"}), ".mp4", kCrf},
        {95, P, "AV1 WebM Movie(*.webm)", 0, nullptr, ModernVideo, kAv1,
         modern({"av1", "32", {"24", "28", "32", "35", "40", "45"}, "opus", "128"}), ".webm", kCrf},
        // Constant quality in VP9 needs the bitrate ceiling off.
        {96, P, "VP9 WebM Movie(*.webm)", 0, nullptr, ModernVideo, kVp9,
         modern({"vp9", "33", {"24", "28", "31", "33", "36", "40"}, "opus", "128"}), ".webm", " -crf %1 -b:v 0"},
        {97, P, "H.264 High Quality MP4 Movie(*.mp4)", 0, nullptr, ModernVideo, kFastStart,
         modern({"x264", "20", {"16", "18", "20", "22", "23", "26", "28"}, "aac", "160"}), ".mp4", kCrf},
        {98, P, "Matroska HEVC Movie(*.mkv)", 0, nullptr, ModernVideo, kMkv,
         modern({"x265", "26", {"18", "22", "24", "26", "28", "30", "34"}, "aac", "128"}), ".mkv", kCrf},
        {99, C, "Keep Quality", 43, "keep", CopyStreams, kMkv, {}},
        {100, P, "Copy Streams to MKV(*.mkv)", 0, nullptr, CopyStreams, kMkv, copied(true), ".mkv", nullptr,
         kKeyFrameNote},
        {101, P, "Copy Streams to MP4(*.mp4)", 0, nullptr, CopyStreams, kMp4, copied(true), ".mp4", nullptr,
         kKeyFrameNote},
        {102, P, "Extract Audio Without Re-encoding", 0, nullptr, ExtractAudio, "", copied(false), ".mka", nullptr,
         "The audio stream as it is, in a file of its own kind: .m4a for AAC, .mka otherwise."},
        {103, C, "Modern Audio", 44, "lossless", ModernAudio, " -f opus", {}},
        {104, P, "Opus Audio(*.opus)", 0, nullptr, ModernAudio, " -f opus", modernAudio("opus", "128"), ".opus"},
        {105, P, "FLAC Lossless Audio(*.flac)", 0, nullptr, ModernAudio, " -f flac", modernAudio("flac", nullptr),
         ".flac"},
        {106, P, "Apple Lossless Audio(*.m4a)", 0, nullptr, ModernAudio, " -f ipod", modernAudio("alac", nullptr),
         ".m4a"},
        {107, C, "Hardware Accelerated", 45, "hardware", ModernVideo, kMp4, {}},
        {108, P, "H.264 VAAPI MP4 Movie(*.mp4)", 0, nullptr, ModernVideo, kMp4,
         modern({"h264_vaapi", "23", {"18", "20", "23", "26", "28"}, "aac", "128"}), ".mp4", " -qp %1"},
        {109, P, "HEVC VAAPI MP4 Movie(*.mp4)", 0, nullptr, ModernVideo, kHevcMp4,
         modern({"hevc_vaapi", "26", {"20", "23", "26", "28", "30"}, "aac", "128"}), ".mp4", " -qp %1"},
        {110, P, "H.264 NVENC MP4 Movie(*.mp4)", 0, nullptr, ModernVideo, kMp4,
         modern({"h264_nvenc", "23", {"18", "20", "23", "26", "28"}, "aac", "128"}), ".mp4", " -rc vbr -cq %1 -b:v 0"},
        {111, P, "HEVC NVENC MP4 Movie(*.mp4)", 0, nullptr, ModernVideo, kHevcMp4,
         modern({"hevc_nvenc", "26", {"20", "23", "26", "28", "30"}, "aac", "128"}), ".mp4", " -rc vbr -cq %1 -b:v 0"},
        {112, P, "H.264 QSV MP4 Movie(*.mp4)", 0, nullptr, ModernVideo, kMp4,
         modern({"h264_qsv", "23", {"18", "20", "23", "26", "28"}, "aac", "128"}), ".mp4", " -global_quality %1"},
        {113, P, "HEVC QSV MP4 Movie(*.mp4)", 0, nullptr, ModernVideo, kHevcMp4,
         modern({"hevc_qsv", "26", {"20", "23", "26", "28", "30"}, "aac", "128"}), ".mp4", " -global_quality %1"},
    };
    // clang-format on
}

} // namespace

std::span<const CatalogRow> catalogRows() {
    static const std::vector<CatalogRow> rows = buildRows();
    return rows;
}

} // namespace mirelo
