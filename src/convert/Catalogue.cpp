#include "Catalogue.h"

#include <algorithm>
#include <cctype>

namespace quillor {
namespace {

// Display texts of every preset box, in box order. They are shown as
// written, double blanks and trailing blanks included.
constexpr std::string_view kAVIPresets[] = {
    "HD Video 720p: MPEG4 (DivX, XviD), 4500 kbps; Audio: MP3, 192 kbps",
    "HD Video 1080p: H.264/AVC, 4200 kbps; Audio: MP3, 256 kbps",
    "Video: MPEG4 (DivX, XviD), 2500 kbps, Original; Audio: MP3, 256 kbps",
    "Video: MPEG4 (DivX, XviD), 1500 kbps, Original; Audio: MP3, 192 kbps",
    "Video: MPEG4 (DivX, XviD), 768 kbps, Original; Audio: MP3, 96 kbps",
    "Video: MPEG4 (DivX, XviD), 2500 kbps, 720x540; Audio: MP3, 256 kbps",
    "Video: MPEG4 (DivX, XviD), 1500 kbps, 512x384; Audio: MP3, 192 kbps",
    "Video: MPEG4 (DivX, XviD), 768 kbps, 320x240; Audio: MP3, 96 kbps",
    "Video: H.264/AVC, 1200 kbps; Audio: MP3, 192 kbps",
    "Video: H.264/AVC, 768 kbps; Audio: MP3, 96 kbps",
    "BlackBerry 81xx - (MPEG4, 560 kbps, 320x240)",
    "BlackBerry 8xxx - (MPEG4, 420 kbps, 240x180)",
    "Archos AV500/700; 4-series (704,604,504,404) - (MPEG4, 1800 kbps, Original)",
    "Archos AV500/700; 4-series (704,604,504,404) - (MPEG4, 900 kbps, 480x272)",
    "Creative Zen Vision W - (MPEG4, 1800 kbps, 720x480)",
    "Creative Zen Vision - (MPEG4, 1200 kbps, 640x480)",
    "Creative Zen Vision M - (MPEG4, 720 kbps, 320x240)",
    "Epson P3000/P4500/P5000 - (MPEG4, 2 mbps, 720x480, 30 fps)",
    "iRiver U20(Clix) - (MPEG4, 320 kbps, 320x240, 15 fps)",
    "iRiver U10 Clix - (MPEG4, 560 kbps, 320x240, 15 fps)",
    "iAudio X5 - Optimized for hardware - (MPEG4, 600 kbps, 160x120, 15 fps)",
    "Nindendo Wii Clip",
    "SanDisk Sansa View - Hight Quality - (MPEG4, 640x480; MP3, 128kbps)",
    "SanDisk Sansa View - Normal Quality - (MPEG4, 320x240; MP3, 96kbps)",
    "Video for Google Video",
    "Video for YouTube",
    "Video for Myspace",
    "Video: DivX; Audio: MP3, 192 kbps",
    "Video: Uncompressed, Original; Audio: PCM",
};
constexpr std::string_view kMP4Presets[] = {
    "Apple iPod - (H.264, 320x240)",
    "Apple iPod - (H.264, 640x480)",
    "Apple iPod - (MPEG4, 320x240)",
    "Apple iPhone/iTouch - (H.264,640x420)",
    "Microsoft XBox360 - Normal HD Quality 480p - (H.264, 29.97 fps, 848x480)",
    "Sony PS3 - Normal HD Quality 480p - (H.264, 29.97 fps, 848x480)",
    "Sony PS3 - Normal HD Quality 480p, Surround - (H.264, 29.97 fps, 848x480)",
    "Sony PSP - Normal - (H.264, 29.97 fps, 368x208)",
    "Sony PSP - High Resolution - (H264, 29.97 fps, 480x272)",
    "Epson P2000/P4000 - High Quality - (MPEG4, 640x480)",
    "Epson P2000/P4000 - Economy Quality - (MPEG4, 320x240)",
    "Epson P3000/P4500/P5000 - Best Quality - (MPEG4, 720x480)",
    "Mobile - Standard Quality - (MPEG4, 176x144, 15 fps)",
    "Mobile - Economy Quality - (MPEG4, 128x96, 12 fps)",
    "PC - High Quality - (MPEG4, 2500 kbps, Original Size, 25 fps)",
    "PC - Standard Quality - (MPEG4, 1200 kbps, Original Size, 25 fps)",
    "PC - Economy Quality - (MPEG4, 700 kbps, Original Size, 25 fps)",
    "SanDisk Sansa View - Hight Quality - (MPEG4, 640x480; MPEG2/4 Audio, 128kbps)",
    "SanDisk Sansa View - Normal Quality - (MPEG4, 320x240; MPEG2/4 Audio, 96kbps)",
};
constexpr std::string_view kFLVPresets[] = {
    "FLV - Best Quality - (H.264, 1200 kbps, Original; MP3, 160 kbps)",
    "FLV - Normal Quality - (H.264, 920 kbps, Original size, 20 fps; MP3, 112 kbps)",
    "FLV - Optimal Quality - (H.263, 780 kbps, 352x288, 15 fps; MP3, 64 kbps)",
    "FLV - Low Quality - (H.263, 640 kbps, 320x240, 15 fps; MP3, 48 kbps)",
    "FLV - Least Quality - (H.263, 480 kbps, 176x144, 15 fps; MP3, 24 kbps)",
};
constexpr std::string_view kSWFPresets[] = {
    "SWF - Best Quality - (H.263, Original; MP3, 160 kbps)",
    "SWF - Normal Quality - (H.263, 920 kbps, Original size, 20 fps; MP3, 112 kbps)",
    "SWF - Optimal Quality - (H.263, 780 kbps, 352x288, 15 fps; MP3, 64 kbps)",
    "SWF - Low Quality - (H.263, 640 kbps, 320x240, 15 fps; MP3, 48 kbps)",
    "SWF - Least Quality - (H.263, 480 kbps, 176x144, 15 fps; MP3, 24 kbps)",
};
constexpr std::string_view kMPEGPresets[] = {
    "HD Video 1080p - (MPEG2, 15000 kbps, 1920x1080, 29.97 fps)",
    "HD Video 720p - (MPEG2, 9000 kbps, 1280x720, 29.97 fps)",
    "DVD NTSC compatible - (MPEG2, 4000 kbps, 720x480, 29.97 fps)",
    "DVD PAL compatible - (MPEG2, 4000 kbps, 720x576, 25 fps)",
    "Video: MPEG1, 4000 kbps, Original size, 29.97 fps; Audio: 224 kbps",
    "Video: MPEG2, 4000 kbps, Original size, 29.97 fps; Audio: 224 kbps",
    "Creative ZEN Vision W - Best Quality - (MPEG1, 1150 kbps, 720x480, 29.97 fps)",
    "Creative ZEN Vision - Standard Quality - (MPEG1, 860 kbps, 480x360, 29.97 fps)",
    "Creative ZEN Vision M - Normal Quality - (MPEG1, 780 kbps, 320x240, 29.97 fps)",
    "Epson P3000/P4500/P5000 - (MPEG2, 2000 kbps, 720x480, 30 fps)",
    "SVCD NTSC compatible - (MPEG2, 2376 kbps, 480x480, 29.97 fps)",
    "SVCD PAL compatible - (MPEG2, 2376 kbps, 480x576, 25 fps)",
    "VCD NTSC compatible - (MPEG1, 1150 kbps, 352x240, 29.97 fps)",
    "VCD PAL compatible - (MPEG1, 1150 kbps, 352x288, 25 fps)",
};
constexpr std::string_view kRMPresets[] = {
    "RM - Best Quality - (1024 kbps, Original)",
    "RM - Normal Quality - (750 kbps, Original)",
    "RM - Optimal Quality - (512 kbps, Original)",
    "RM - Low Quality  - (256 kbps, Original)",
    "RM - Least Quality  - (128 kbps, Original)",
};
constexpr std::string_view kWMVPresets[] = {
    "HD Video 1080p: WMV 9, 9000 kbps; Audio: WMA Pro, 384kbps",
    "HD Video 720p: WMV 9, 7000 kbps; Audio: WMA Pro, 384kbps",
    "Microsoft Zune - Best Quality - (1112 kbps, 320x240, 25 fps)",
    "Microsoft Zune - Normal Quality - (568 kbps, 320x240, 25 fps)",
    "Video for Pocket PCs/PDAs",
    "Archos AV500/700; 4-series (704,604,504,404) - Highest Available Quality",
    "Archos AV500/700; 4-series (704,604,504,404) - Good Quality",
    "Archos AV500/700; 4-series (704,604,504,404) - Low Quality",
    "Creative ZEN Vision W - Highest Available Quality",
    "Creative ZEN Vision - Good Quality",
    "Creative ZEN Vision M - Normal Quality",
    "Epson Multimedia Storage Viewer P3000/P5000",
    "SanDisk Sansa View",
    "Palm Treo series",
    "HP iPaq series",
    "Windows Media Video 9 High Quality",
    "Windows Media Video 9 Standard Quality",
    "Windows Media Video 9 Low Quality",
};
constexpr std::string_view kMOVPresets[] = {
    "Apple TV - Best Quality - (H.264, Original; MP2/4 (AAC), 320 kbps)",
    "Quick Time - HD Quality 480p - (H.264, 848x480; MP2/4 (AAC), 320 kbps)",
    "Quick Time - DVD Quality - (H.264, 720x576; MP2/4 (AAC), 320 kbps)",
    "Quick Time - Photo Quality - (Photo Jpeg, Original; MP3, 256 kbps)",
    "Quick Time - Optimal Quality - (H.263, 352x288; MP3, 128 kbps)",
    "Quick Time - Highest Available Quality - (MPEG4, Original; MP3, 192 kbps)",
    "Quick Time - Standard Quality - (H.263, 176x144; MP3, 128 kbps)",
    "Quick Time - Balanced Quality - (MPEG4, Original; MP3, 96 kbps)",
    "Quick Time - Economy Quality - (Sorenson Video; MP3, 96 kbps)",
    "Quick Time - Economy Quality - (Sorenson Video; IMA ADPCM)",
};
constexpr std::string_view k3GPPresets[] = {
    "3GPP - Extended Mobile Support - (H.263, 240 kbps, 176x144, 12 fps; AMR)",
    "3GPP - Mobile Highest Available Quality - (MPEG4, 104 kbps, 176x144, 15 fps; AAC)",
    "3GPP - Mobile Standard Quality - (MPEG4, 64 kbps, 176x144, 12 fps; AMR)",
    "3GPP - Mobile Balanced Quality - (H.263, 140 kbps, 128x96, 10 fps; AMR)",
    "3GPP - Mobile Smallest Size with Audio - (MPEG4, 44 kbps, 128x96, 10 fps; AMR)",
};
constexpr std::string_view kiPodPresets[] = {
    "iPod Highest Quality (H264, 30 fps, 640x480, 2500 kbps; AAC - 160 kbps)",
    "iPod Touch High Quality (H264, 30 fps, 480x320, 2500 kbps; AAC - 160 kbps) ",
    "iPod Touch Standard Quality (H264, 24 fps, 480x320, 1300 kbps; AAC - 128 kbps)",
    "iPod Touch Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps) ",
    "iPod Classic High Quality (H264, 30 fps, 320x240, 2500 kbps; AAC - 160 kbps)",
    "iPod Classic Standard Quality (H264, 24 fps, 320x240, 1000 kbps; AAC - 128 kbps)",
    "iPod Classic Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
    "iPod Nano High Quality (H264, 30 fps, 320x240, 2500 kbps; AAC - 160 kbps)",
    "iPod Nano Standard Quality (H264, 24 fps, 320x240, 1000 kbps; AAC - 128 kbps)",
    "iPod Nano Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
};
constexpr std::string_view kiPhonePresets[] = {
    "iPhone High Quality (H264, 30 fps, 640x480, 2500 kbps; AAC - 160 kbps)",
    "iPhone Standard Quality (H264, 24 fps, 480x320, 1300 kbps; AAC - 128 kbps)",
    "iPhone Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
};
constexpr std::string_view kAppleTVPresets[] = {
    "AppleTV High Quality (H264, 24 fps, 1280x720, 5000 kbps; AAC - 160 kbps)",
    "AppleTV Standard Quality (H264, 24 fps, 720x540, 2000 kbps; AAC - 128 kbps)",
    "AppleTV Economy Quality (H264, 24 fps, 480x360, 1000 kbps; AAC - 128 kbps)",
};
constexpr std::string_view kPSPPresets[] = {
    "PSP Highest Quality (H264, 30 fps, 480x272, 1500 kbps; AAC - 160 kbps)",
    "PSP Optimal Quality (H264, 24 fps, 368x208, 1000 kbps; AAC - 128 kbps)",
    "PSP Economy Quality (H264, 15 fps, 368x208, 500 kbps; AAC - 128 kbps)",
};
constexpr std::string_view kBlackBerryPresets[] = {
    "BlackBerry High Quality (H264, 30 fps, 640x480, 2500 kbps; AAC - 160 kbps)",
    "BlackBerry Standard Quality (H264, 24 fps, 480x320, 1300 kbps; AAC - 128 kbps)",
    "BlackBerry Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
};
constexpr std::string_view kMobilePhonePresets[] = {
    "Mobile MP4 High Quality (MPEG4, 15 fps, 320x240, 600 kbps; AAC - 192 kbps)",
    "Mobile MP4 Standard Quality (MPEG4, 15 fps, 176x144, 256 kbps; AAC - 128 kbps)",
    "Mobile MP4 Balanced Quality (MPEG4, 12 fps, 176x144, 146 kbps; AAC - 96 kbps)",
    "Mobile MP4 Economy Quality (MPEG4, 10 fps, 128x96, 119 kbps; AAC - 64 kbps)",
};
constexpr std::string_view kiPadPresets[] = {
    "iPad High Quality (H264, 30 fps, 640x480, 2500 kbps; AAC - 160 kbps)",
    "iPad Standard Quality (H264, 24 fps, 480x320, 1300 kbps; AAC - 128 kbps)",
    "iPad Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
};
constexpr std::string_view kAndroidPresets[] = {
    "Android High Quality (H264, 30 fps, 640x480, 2500 kbps; AAC - 160 kbps)",
    "Android Standard Quality (H264, 24 fps, 480x320, 1300 kbps; AAC - 128 kbps)",
    "Android Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps)",
};
constexpr std::string_view kWAVPresets[] = {
    "For Mobiles - PCM: 11025 Hz, Mono, 16 bits",
    "AM Radio Quality - PCM: 22050 Hz, Mono, 16 bits",
    "FM Radio Quality - PCM: 22050 Hz, Sterro, 24 bits",
    "HiFi Quality - PCM: 48000Hz, Stereo, 32 bits",
    "Uncompressed (CD Audio Quality)",
};
constexpr std::string_view kMP3Presets[] = {
    "For Mobile - MP3: 44100 Hz, Stereo, 112 kbps",
    "For Media Player - MP3: 48000 Hz, Stereo, 128 kbps",
    "Normal Quality - MP3: 48000 Hz, Stereo, 256 kbps",
    "Best Quality - MP3: 48000 Hz, Stereo, 320 kbps",
};
constexpr std::string_view kWMAPresets[] = {
    "For Media Player Best Quality",
    "For Media Player Economy Quality",
    "For Pocket PCs/PDAs Normal Quality",
    "For PC Normal Quality",
    "WMA Losslesss Audio",
};
constexpr std::string_view kOGGPresets[] = {
    "Telephone Quality - Ogg Vorbis: Quality - 4.97; 11025 Hz, Mono",
    "AM Radio Quality - Ogg Vorbis: Quality - 4.97; 22050 Hz, Mono",
    "FM Radio Quality - Ogg Vorbis: Quality - 4.97; 22050 Hz, Stereo",
    "CD Quality - Ogg Vorbis: Quality - 4.97; 44100 Hz, Stereo",
    "HiFi Quality - Ogg Vorbis: Quality - 8.05; 48000 Hz, Stereo",
};
constexpr std::string_view kAACPresets[] = {
    "For Mobiles - MPEG2/4 LC: 16000 Hz, Mono, 96 kbps",
    "AM Quality - MPEG2/4 LC: 22500 Hz, Mono, 112 kbps",
    "FM Quality - MPEG2/4 LC: 22500 Hz, Stereo, 224 kbps",
    "CD Quality - MPEG2/4 LC: 44100 Hz, Stereo, 256 kbps",
    "HiFi Quality - MPEG2/4 LC: 48000 Hz, Stereo, 256 kbps",
};
constexpr std::string_view kM4APresets[] = {
    "Normal Quality - MPEG2/4 LC: 44100 Hz, Stereo, 96 kbps",
    "Best Quality - MPEG2/4 LC: 48000 Hz, Stereo, 256 kbps",
};
constexpr std::string_view kFLACPresets[] = {
    "Compression Level 0",
    "Compression Level 1",
    "Compression Level 2",
    "Compression Level 3",
    "Compression Level 4",
    "Compression Level 5 (Default)",
    "Compression Level 6",
    "Compression Level 7",
    "Compression Level 8",
};
constexpr std::string_view kMP2Presets[] = {
    "For Mobiles - MPEG layer-2: 22050 Hz, Mono, 96 kbps",
    "AM Quality - MPEG layer-2: 22050 Hz, Mono, 112 kbps",
    "FM Quality - MPEG layer-2: 22050 Hz, Stereo, 128 kbps",
};

constexpr FormatClass V = FormatClass::Video;
constexpr FormatClass D = FormatClass::Device;
constexpr FormatClass A = FormatClass::Audio;

// Table order within a class is also the order of the format buttons.
const OutputFormat kFormats[kOutputFormatCount] = {
    {V, 0, "AVI", "AVI", "OutputAVIPreset", ".avi", 3, kAVIPresets},
    {V, 1, "MP4", "MP4", "OutputMP4Preset", ".mp4", 3, kMP4Presets},
    {V, 2, "FLV", "FLV", "OutputFLVPreset", ".flv", 1, kFLVPresets},
    {V, 3, "SWF", "SWF", "OutputSWFPreset", ".swf", 1, kSWFPresets},
    {V, 4, "MPEG", "MPEG", "OutputMPEGPreset", ".mpg", 5, kMPEGPresets},
    {V, 5, "RM", "RM", "OutputRMPreset", ".rm", 1, kRMPresets},
    {V, 6, "WMV", "WMV", "OutputWMVPreset", ".wmv", 16, kWMVPresets},
    {V, 7, "MOV", "MOV", "OutputMOVPreset", ".mov", 7, kMOVPresets},
    {V, 8, "3GP", "3GP", "Output3GPPreset", ".3gp", 2, k3GPPresets},
    {D, 0, "iPod", "IPOD", "OutputiPodPreset", ".mp4", 5, kiPodPresets},
    {D, 1, "iPhone", "IPHONE", "OutputiPhonePreset", ".mp4", 1, kiPhonePresets},
    {D, 2, "AppleTV", "APPLETV", "OutputAppleTVPreset", ".mp4", 1, kAppleTVPresets},
    {D, 3, "PSP", "PSP", "OutputPSPPreset", ".mp4", 1, kPSPPresets},
    {D, 4, "BlackBerry", "BLACKBERRY", "OutputBlackBerryPreset", ".mp4", 1, kBlackBerryPresets},
    {D, 5, "MobilePhone", "MOBILEPHONE", "OutputMobilePhonePreset", ".mp4", 1, kMobilePhonePresets},
    {D, 6, "iPad", "IPAD", "OutputiPadPreset", ".mp4", 0, kiPadPresets},
    {D, 7, "Android", "ANDROID", "OutputAndroidPreset", ".mp4", 0, kAndroidPresets},
    {A, 0, "WAV", "WAV", "OutputWAVPreset", ".wav", 3, kWAVPresets},
    {A, 1, "MP3", "MP3", "OutputMP3Preset", ".mp3", 2, kMP3Presets},
    {A, 2, "WMA", "WMA", "OutputWMAPreset", ".wma", 1, kWMAPresets},
    {A, 3, "OGG", "OGG", "OutputOGGPreset", ".ogg", 3, kOGGPresets},
    {A, 4, "AAC", "AAC", "OutputAACPreset", ".aac", 3, kAACPresets},
    {A, 5, "M4A", "M4A", "OutputM4APreset", ".m4a", 0, kM4APresets},
    {A, 6, "FLAC", "FLAC", "OutputFLACPreset", ".flac", 5, kFLACPresets},
    {A, 7, "MP2", "MP2", "OutputMP2Preset", ".mp2", 0, kMP2Presets},
};

// First ordinal and count of each class in kFormats.
constexpr int kClassStart[kFormatClassCount] = {0, 9, 17};
constexpr int kClassSize[kFormatClassCount] = {9, 8, 8};

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

} // namespace

int OutputFormat::Ordinal() const
{
    return kClassStart[static_cast<int>(Class)] + Index;
}

std::span<const OutputFormat> AllFormats()
{
    return kFormats;
}

std::span<const OutputFormat> FormatsOfClass(FormatClass formatClass)
{
    const int c = static_cast<int>(formatClass);
    if (c < 0 || c >= kFormatClassCount)
        return {};
    return std::span<const OutputFormat>(kFormats).subspan(kClassStart[c], kClassSize[c]);
}

const OutputFormat *FindFormat(int formatClass, int index)
{
    if (formatClass < 0 || formatClass >= kFormatClassCount)
        return nullptr;
    if (index < 0 || index >= kClassSize[formatClass])
        return nullptr;
    return &kFormats[kClassStart[formatClass] + index];
}

const OutputFormat *FindFormatByName(std::string_view name)
{
    for (const OutputFormat &f : kFormats)
        if (equalsNoCase(f.Name, name))
            return &f;
    return nullptr;
}

std::string OutputExtension(int formatClass, int index)
{
    const OutputFormat *f = FindFormat(formatClass, index);
    return f ? std::string(f->Extension) : std::string();
}

std::string_view FormatClassName(int formatClass)
{
    static constexpr std::string_view kNames[kFormatClassCount] = {"Video", "Device", "Audio"};
    if (formatClass < 0 || formatClass >= kFormatClassCount)
        return {};
    return kNames[formatClass];
}

std::optional<FormatClass> ParseFormatClass(std::string_view name)
{
    for (int c = 0; c < kFormatClassCount; ++c)
        if (equalsNoCase(FormatClassName(c), name))
            return static_cast<FormatClass>(c);
    return std::nullopt;
}

std::string_view FormatSettingsKey(int formatClass)
{
    static constexpr std::string_view kKeys[kFormatClassCount] = {"OutputVideoFormat", "OutputDeviceFormat",
                                                                  "OutputAudioFormat"};
    if (formatClass < 0 || formatClass >= kFormatClassCount)
        return {};
    return kKeys[formatClass];
}

FormatSelection::FormatSelection()
{
    for (const OutputFormat &f : kFormats)
        PresetIndex[f.Ordinal()] = f.DefaultPreset;
}

const OutputFormat *FormatSelection::ChosenFormat() const
{
    if (Class >= kFormatClassCount)
        return nullptr;
    return FindFormat(Class, FormatIndex[Class]);
}

} // namespace quillor
