#pragma once

// Captions of the option sheet's categories and items: the names every user of the sheet
// addresses them by.
namespace mirelo::sheet {

inline constexpr char kGeneral[] = "General";
inline constexpr char kItemName[] = "Item Name";
inline constexpr char kOutputDuration[] = "Output Duration";
inline constexpr char kAllClipDuration[] = "All Clip Duration";
inline constexpr char kStartTime[] = "Start Time";
inline constexpr char kStopTime[] = "Stop Time";
inline constexpr char kVideoOptions[] = "Video Options";
inline constexpr char kVideoCodec[] = "Video Codec";
inline constexpr char kVideoSize[] = "Video Size";
inline constexpr char kVideoBitrate[] = "Video Bitrate";
inline constexpr char kVideoFramerate[] = "Video Framerate";
inline constexpr char kVideoQuality[] = "Video Quality";
inline constexpr char kAudioOptions[] = "Audio Options";
inline constexpr char kAudioCodec[] = "Audio Codec";
inline constexpr char kAudioBitrate[] = "Audio Bitrate";
inline constexpr char kSampleRate[] = "Sample Rate";
inline constexpr char kAudioChannel[] = "Audio Channel";
inline constexpr char kDisableAudio[] = "Disable Audio";
inline constexpr char kAvSync[] = "A/V Sync";

} // namespace mirelo::sheet
