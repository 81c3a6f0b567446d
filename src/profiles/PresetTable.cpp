// The presets every profile row loads into the option sheet. Device rows are written one line a
// profile (values, then value lists) and expanded into steps in the order the sheet is visited;
// the common video and audio formats are written as their steps directly.

#include "profiles/Catalog.h"
#include "profiles/Presets.h"
#include "profiles/SheetNames.h"

#include <vector>

namespace mirelo {

namespace {

using namespace sheet;
using List = std::vector<const char*>;

enum class BitrateList { Untouched, Append, Replace };

struct DeviceRow {
    int position;
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
const List kPhone2Sizes{"128x96", "160x120", "176x144", "220x176",
                        "320x240", "352x288", "640x480"};
const List kPs3Bitrates{"2000", "2500", "3000"};
const List kWmv{"WMV V9", "WMV V8"};

const auto Append = BitrateList::Append;
const auto Replace = BitrateList::Replace;

const std::vector<DeviceRow> kDeviceRows{
    // Apple iPod
    {2, "xvid", "320x240", "512", "25", "aac", "64", "44100", {"xvid", "mpeg4", "x264"}, kIpodSizes, {"aac"}},
    {3, "xvid", "320x240", "512", "25", "aac", "160", "44100", {"xvid", "mpeg4", "x264"}, kIpodSizes, {"aac"}},
    {4, "xvid", "640x480", "512", "25", "aac", "128", "44100", {"xvid", "mpeg4", "x264"}, {"640x480"}, {"aac"}},
    {5, "xvid", "768x576", "512", "25", "aac", "128", "44100", {"xvid", "mpeg4", "x264"}, {"768x576"}, {"aac"}},
    {6, "xvid", "320x240", "768", "25", "aac", "128", "44100", {"xvid", "mpeg4", "x264"}, kIpodSizes, {"aac"}},
    // Apple iPhone
    {8, "x264", "480x320", "768", "25", "aac", "128", "44100", {"xvid", "mpeg4", "x264"}, kIphoneSizes, {"aac"}},
    {9, "x264", "640x480", "768", "25", "aac", "128", "44100", {"xvid", "mpeg4", "x264"}, kIphoneSizes, {"aac"}},
    {10, "x264", "768x576", "768", "25", "aac", "128", "44100", {"xvid", "mpeg4", "x264"},
     {"480x320", "480x270", "720x405", "640x480", "768x576"}, {"aac"}},
    // Apple TV
    {12, "xvid", "720x432", "512", "25", "aac", "128", "44100", {"xvid", "mpeg4"}, kAppleTvSizes, {"aac"}},
    {13, "x264", "768x576", "1500", "24", "aac", "64", "44100", {"x264"},
     {"320x240", "480x320", "480x270", "720x432", "640x480", "768x576", "960x540", "1280x720"}, {"aac"}},
    // Gphone; the Nexus One gets the codec and list of the other Gphone profile.
    {15, "x264", "480x320", "768", "25", "aac", "128", "44100", {"xvid", "x264", "mpeg4"}, kIphoneSizes, {"aac"}},
    {16, "x264", "800x480", "1200", "25", "aac", "128", "44100", {"xvid", "x264", "mpeg4"},
     {"480x320", "480x270", "720x405", "640x480", "800x480"}, {"aac"}},
    // Sony PSP
    {18, "mpeg4", "368x208", "512", "29.97", "aac", "64", "24000", {"mpeg4"}, {"368x208", "320x240", "160x112"}, {"aac"}},
    {19, "x264", "368x208", "512", "29.97", "aac", "64", "48000", {"x264"},
     {"368x208", "320x240", "160x112", "480x272"}, {"aac"}},
    // Sony PS3
    {21, "x264", "720x480", "2000", "29.976", "aac", "96", "48000", {"x264"},
     {"480x272", "640x480", "720x480", "720x576"}, {"aac"}, Append, kPs3Bitrates},
    {22, "x264", "720x576", "2000", "29.976", "aac", "128", "48000", {"x264"},
     {"480x272", "640x480", "720x480", "720x576", "1280x720"}, {"aac"}, Append, kPs3Bitrates},
    {23, "x264", "1440x1080", "2000", "23.976", "aac", "128", "48000", {"x264"},
     {"480x272", "640x480", "720x480", "720x576", "1280x720", "1440x1080", "1920x1080"}, {"aac"},
     Append, kPs3Bitrates},
    // Sony Walkman
    {25, "xvid", "320x240", "768", "25", "aac", "128", "44100", {"xvid", "mpeg4"}, kZenSizes, {"aac"}},
    {26, "x264", "320x240", "512", "25", "aac", "128", "44100", {"x264"}, kZenSizes, {"aac"}},
    {27, "WMV V9", "320x240", "768", nullptr, "WMA9", "128", "44100", {"WMV V9"}, {"320x240"}, {"WMA9"}},
    // Microsoft Zune
    {29, "WMV V9", "320x240", "768", nullptr, "WMA9", nullptr, nullptr, kWmv, {"320x240"}, {"WMA9"}},
    {30, "mpeg4", "320x240", "512", "25", "aac", "128", "44100", {"mpeg4", "xvid"}, {"320x240"}, {"aac"}},
    {31, "WMV V9", "480x272", "1500", nullptr, "WMA9", nullptr, nullptr, kWmv, kZuneHdSizes, {"WMA9"}},
    {32, "mpeg4", "480x272", "1500", "25", "aac", "128", "44100", {"mpeg4", "xvid"}, kZuneHdSizes, {"aac"}},
    // Archos
    {34, "WMV V9", "160x128", "256", "25", "WMA9", "128", "44100", {"WMV V9"}, {"160x128"}, {"WMA9"}},
    {35, "WMV V9", "320x240", "256", "25", "WMA9", "128", "44100", {"WMV V9"},
     {"320x240", "160x128", "640x480", "720x576"}, {"WMA9"}},
    {36, "WMV V9", "480x272", "512", "25", "WMA9", "128", "44100", {"WMV V9"},
     {"320x240", "160x128", "480x272", "640x480", "720x576"}, {"WMA9"}},
    {37, "WMV V9", "800x480", "512", "25", "WMA9", "128", "44100", {"WMV V9"}, kArchosSizes, {"WMA9"}},
    {38, "WMV V9", "800x480", "512", "25", "WMA9", "128", "44100", {"WMV V9"}, kArchosSizes, {"WMA9"}},
    {39, "WMV V9", "800x480", "512", "25", "WMA9", "128", "44100", {"WMV V9"}, kArchosSizes, {"WMA9"}},
    // Creative Zen
    {41, "mpeg4", "320x240", "384", "25", "mp3", "96", "44100", {"mpeg4", "xvid"}, kZenSizes, {"mp3"}},
    {42, "mpeg4", "320x240", "384", "25", "mp3", "96", "44100", {"mpeg4", "xvid"},
     {"320x240", "220x176", "176x144", "160x112", "640x480"}, {"mp3"}},
    {43, "mpeg4", "320x240", "384", "25", "mp3", "96", "44100", {"mpeg4", "xvid"}, kZenSizes, {"mp3"}},
    {44, "mpeg4", "480x272", "384", "25", "mp3", "96", "44100", {"mpeg4", "xvid"},
     {"320x240", "220x176", "176x144", "160x112", "480x272"}, {"mp3"}},
    // iRiver
    {46, "mpeg4", "128x128", "256", "15", "mp3", "128", "44100", {"mpeg4", "xvid"}, {"128x128"}, {"mp3"}},
    {47, "mpeg4", "220x176", "256", "15", "mp3", "128", "44100", {"mpeg4", "xvid"}, kZenSizes, {"mp3"}},
    {48, "mpeg4", "320x240", "384", "15", "mp3", "96", "44100", {"mpeg4", "xvid"}, kZenSizes, {"mp3"}},
    {49, "mpeg4", "480x270", "384", "15", "mp3", "96", "44100", {"mpeg4", "xvid"},
     {"480x270", "320x240", "220x176", "176x144", "160x112"}, {"mp3"}},
    {50, "mpeg4", "640x272", "512", "25", "mp3", "128", "44100", {"mpeg4", "xvid"},
     {"640x480", "640x368", "640x272", "480x360", "320x240", "220x176", "176x144", "160x112"}, {"mp3"}},
    {51, "mpeg4", "640x480", "512", "25", "mp3", "128", "44100", {"mpeg4", "xvid"},
     {"720x480", "640x480", "640x368", "640x272", "480x360", "320x240"}, {"mp3"}},
    // Sandisk Sansa
    {53, "mpeg4", "320x240", "512", "20", "aac", "64", "24000", {"mpeg4"}, kSansaSizes, {"aac"}},
    {54, "WMV V9", "320x240", "768", nullptr, "WMA9", "64", "24000", kWmv, kSansaSizes, {"WMA9"}},
    {55, "mpeg4", "368x208", "512", "24", "aac", "64", "24000", {"mpeg4"}, {"368x208", "320x240", "160x112"}, {"aac"}},
    // Microsoft Xbox 360
    {57, "WMV V8", "1280x720", "768", "30", "WMA9", "128", nullptr, kWmv, kXboxWideSizes, {"WMA9"}},
    {58, "mpeg4", "720x576", "1024", "30", "mp3", "128", "44100", {"mpeg4"},
     {"320x240", "512x384", "640x480", "720x480", "720x576", "1024x768", "1280x720"}, {"mp3"}},
    {59, "mpeg4", "1280x720", "1500", "30", "aac", "128", "48000", {"xvid", "mpeg4", "x264"}, kXboxWideSizes, {"aac"}},
    // Nintendo Wii
    {61, "mjpeg", "720x480", "768", "25", "pcm", "128", nullptr, {"mjpeg"},
     {"848x480", "720x576", "720x480", "640x480", "512x384", "480x576", "480x480", "480x320",
      "480x272", "368x208", "320x240", "352x288", "352x240"}, {"pcm"}},
    // Mobile Phone
    {63, "h263", "176x144", "64", "15", "amr_nb", "12.2", "8000", {"h263", "mpeg4"}, kPhoneSizes, {"amr_nb", "faac"}},
    {64, "h263", "176x144", "64", "15", "amr_nb", "12.2", "8000", {"h263", "mpeg4"}, kPhone2Sizes, {"amr_nb", "faac"}},
    {65, "mpeg4", "176x144", "128", "15", "aac", "64", "11025", {"mpeg4", "xvid"}, kPhoneSizes, {"aac"}},
    {66, "mpeg4", "176x144", "128", "15", "aac", "64", "24000", {"mpeg4", "xvid"}, kPhone2Sizes, {"aac"}},
    // BlackBerry
    {68, "mpeg4", "320x240", "512", "24", "aac", "64", "44100", {"mpeg4"},
     {"480x360", "480x320", "160x112", "320x240"}, {"aac"}},
    // Nokia
    {70, "mpeg4", "320x176", "128", nullptr, "aac", "64", nullptr, {"mpeg4", "xvid"},
     {"128x96", "176x144", "220x176", "320x176", "320x240", "352x288", "640x480"}, {"aac"}},
    // Windows Mobile
    {72, "WMV V9", "320x240", "384", nullptr, "WMA9", "64", nullptr, kWmv,
     {"320x240", "720x576", "640x480"}, {"WMA9"}, Append, {"384"}},
    {73, "WMV V9", "320x240", "768", nullptr, "WMA9", "64", nullptr, kWmv,
     {"320x240", "720x576", "720x480", "640x480", "512x384", "480x576", "480x480", "480x320",
      "480x272", "368x208", "352x288", "352x240"}, {"WMA9"}, Append, {"384"}},
    // Flash Video
    {75, "FLV", "320x240", "512", "25", "mp3", "64", "44100", {"FLV"}, kFlashSizes, {"mp3"}},
    {76, "SWF", "320x240", "512", "25", "mp3", "64", "44100", {"SWF"}, kFlashSizes, {"mp3"}},
    // Toshiba Gigabeat
    {78, "WMV V9", "320x240", "512", nullptr, "WMA9", "64", nullptr, {"WMV V9"}, {"320x240"}, {"WMA9"},
     Replace, {"768", "512", "384", "256"}},
};

std::vector<ItemSetting> expandDeviceRow(const DeviceRow& r) {
    return {
        {kVideoOptions, kVideoCodec, true, r.videoCodec, r.codecList},
        {kVideoOptions, kVideoBitrate, r.bitrateMode == BitrateList::Replace, r.videoBitrate,
         r.bitrateList},
        {kVideoOptions, kVideoFramerate, false, r.videoFramerate, {}},
        {kVideoOptions, kVideoSize, true, r.videoSize, r.sizeList},
        {kAudioOptions, kAudioCodec, true, r.audioCodec, r.audioCodecList},
        {kAudioOptions, kAudioBitrate, false, r.audioBitrate, {}},
        {kAudioOptions, kSampleRate, false, r.sampleRate, {}},
    };
}

const List kWideSizes{"128x96",  "176x144", "352x240", "352x288", "480x272", "480x480",
                      "480x576", "640x480", "720x480", "720x576", "704x576", "320x240"};
const List kExtendedSizes = [] {
    List l = kWideSizes;
    l.insert(l.end(), {"720x480", "720x576", "1080x720", "1280x720", "1440x1080", "1920x1080"});
    return l;
}();
const List kHighBitrates{"768", "2000", "4000", "5000", "6000", "8000", "10000", "12000"};

struct CommonRow {
    int position;
    std::vector<ItemSetting> steps;
};

const std::vector<CommonRow> kCommonRows{
    {80, // DVD NTSC
     {{kVideoOptions, kVideoCodec, true, "mpeg2video", {"mpeg2video"}},
      {kVideoOptions, kVideoBitrate, true, "8000", {"8000", "5000", "2000"}},
      {kVideoOptions, kVideoSize, true, "720x480", {"720x480", "704x480", "352x480", "352x240"}},
      {kVideoOptions, kVideoFramerate, true, "25", {"25"}},
      {kAudioOptions, kAudioCodec, true, "ac3", {"ac3"}},
      {kAudioOptions, kAudioBitrate, true, "128", {"128", "192"}},
      {kAudioOptions, kSampleRate, false, "48000", {}}}},
    {81, // DVD PAL
     {{kVideoOptions, kVideoCodec, true, "mpeg2video", {"mpeg2video"}},
      {kVideoOptions, kVideoBitrate, true, "8000", {"8000", "5000", "2000"}},
      {kVideoOptions, kVideoFramerate, false, "25", {}},
      {kVideoOptions, kVideoSize, true, "720x576", {"720x576", "704x576", "352x576", "352x288"}},
      {kAudioOptions, kAudioCodec, true, "ac3", {"ac3"}},
      {kAudioOptions, kSampleRate, false, "48000", {}},
      {kAudioOptions, kAudioBitrate, true, "128", {"128", "192"}}}},
    {82, // MPEG-1
     {{kVideoOptions, kVideoCodec, true, "mpeg1video", {"mpeg1video"}},
      {kVideoOptions, kVideoBitrate, false, "1152", {}},
      {kVideoOptions, kVideoFramerate, false, "29.970", {}},
      {kVideoOptions, kVideoSize, true, "352x240", kWideSizes},
      {kAudioOptions, kAudioCodec, true, "mp2", {"mp2"}},
      {kAudioOptions, kSampleRate, false, "44100", {}},
      {kAudioOptions, kAudioBitrate, false, "224", {}}}},
    {83, // MPEG-2
     {{kVideoOptions, kVideoCodec, true, "mpeg2video", {"mpeg2video"}},
      {kVideoOptions, kVideoBitrate, false, "1800", {"1800"}},
      {kVideoOptions, kVideoFramerate, false, "29.970", {}},
      {kVideoOptions, kVideoSize, true, "720x480", kExtendedSizes},
      {kAudioOptions, kAudioCodec, true, "mp2", {"ac3", "mp2"}},
      {kAudioOptions, kSampleRate, false, "44100", {}},
      {kAudioOptions, kAudioBitrate, false, "128", {}}}},
    {84, // Customized AVI
     {{kVideoOptions, kVideoCodec, true, "xvid",
       {"xvid", "mpeg4", "msmpeg4", "msmpeg4v2", "mjpeg", "wmv1", "wmv2", "mpeg2", "mpeg1", "h263p",
        "x264", "huffyuv", "ffv1"}},
      {kVideoOptions, kVideoBitrate, true, "768", kHighBitrates},
      {kVideoOptions, kVideoFramerate, false, "25", {}},
      {kVideoOptions, kVideoSize, true, "720x480", kExtendedSizes},
      {kAudioOptions, kAudioCodec, true, "mp3", {"ac3", "mp3", "mp2", "aac"}},
      {kAudioOptions, kSampleRate, false, "44100", {}},
      {kAudioOptions, kAudioBitrate, false, "128", {}}}},
    {85, // Customized WMV
     {{kVideoOptions, kVideoCodec, true, "WMV V9", kWmv},
      {kVideoOptions, kVideoBitrate, true, "768", kHighBitrates},
      {kVideoOptions, kVideoSize, true, "720x480", kExtendedSizes},
      {kAudioOptions, kAudioCodec, true, "WMA", {"WMA"}},
      {kAudioOptions, kAudioBitrate, false, "128", {}}}},
    {86, // Customized MP4
     {{kVideoOptions, kVideoCodec, true, "x264", {"x264", "mpeg4", "xvid"}},
      {kVideoOptions, kVideoBitrate, false, "768", {}},
      {kVideoOptions, kVideoFramerate, false, "25", {}},
      {kVideoOptions, kVideoSize, true, "320x240", kExtendedSizes},
      {kAudioOptions, kAudioCodec, true, "aac", {"aac"}},
      {kAudioOptions, kSampleRate, false, "44100", {}},
      {kAudioOptions, kAudioBitrate, false, "128", {}}}},
    {88, // MP3
     {{kAudioOptions, kAudioCodec, true, "mp3", {"mp3"}},
      {kAudioOptions, kSampleRate, false, "44100", {}},
      {kAudioOptions, kAudioBitrate, false, "128", {}}}},
    {89, // OGG Vorbis
     {{kAudioOptions, kAudioCodec, true, "ogg", {"ogg"}},
      {kAudioOptions, kAudioBitrate, false, "128", {}},
      {kAudioOptions, kSampleRate, false, "44100", {}}}},
    {90, // WAVE
     {{kAudioOptions, kAudioCodec, true, "wav", {"wav"}},
      {kAudioOptions, kAudioBitrate, false, "128", {}},
      {kAudioOptions, kSampleRate, false, "44100", {}}}},
    {91, // AAC
     {{kAudioOptions, kAudioCodec, true, "aac", {"aac"}},
      {kAudioOptions, kAudioBitrate, false, "128", {}},
      {kAudioOptions, kSampleRate, false, "44100", {}}}},
    {92, // WMA: the codec alone
     {{kAudioOptions, kAudioCodec, true, "WMA9", {"WMA9"}}}},
};

} // namespace

const std::vector<std::vector<ItemSetting>>& presetTable() {
    static const std::vector<std::vector<ItemSetting>> table = [] {
        std::vector<std::vector<ItemSetting>> t(kCatalogSize + 1);
        for (const DeviceRow& r : kDeviceRows)
            t[static_cast<size_t>(r.position)] = expandDeviceRow(r);
        for (const CommonRow& r : kCommonRows)
            t[static_cast<size_t>(r.position)] = r.steps;
        return t;
    }();
    return table;
}

} // namespace mirelo
