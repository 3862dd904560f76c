#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Presets.h"
#include "TaskBuilder.h"

using namespace quillor;

namespace {

FormatSelection choose(const char *formatName, int preset)
{
    const OutputFormat *f = FindFormatByName(formatName);
    EXPECT_NE(f, nullptr) << formatName;
    FormatSelection sel;
    sel.Class = static_cast<std::uint8_t>(f->Class);
    sel.FormatIndex[sel.Class] = static_cast<std::uint8_t>(f->Index);
    sel.SetPresetOf(*f, preset);
    return sel;
}

// The fields a preset may set; "" and -1 mean "left at the default".
struct Expected {
    const char *format;
    int preset;
    bool disableVideo;
    std::string fileFormat, videoCodec, videoTag, videoPreset, frameSize, frameRate, aspect;
    int videoBitrate;
    std::string audioCodec;
    int channels, sampleRate, audioBitrate;
    std::string ext; // ExtOptions
    int target = 0, norm = 0, minRate = -1, maxRate = -1, bufferSize = -1;
};

const std::string A(kOptionBlockA);
const std::string B(kOptionBlockB);

const Expected kCases[] = {
    {"AVI", 0, false, "", "mpeg4", "XVID", "", "1280x720", "", "16:9", 4500000, "libmp3lame", 2, 44100, 192000, ""},
    {"AVI", 3, false, "", "mpeg4", "XVID", "", "", "", "", 1500000, "libmp3lame", 2, 44100, 192000, ""},
    {"AVI", 28, false, "", "rawvideo", "", "", "", "", "", -1, "pcm_s16le", 2, 44100, 1411000, ""},
    {"MP4", 5, false, "psp", "libx264", "", "", "848x480", "30000/1001", "16:9", 2600000, "libfaac", 2, 48000, 256000, B},
    {"FLV", 4, false, "", "", "", "", "276x144", "15", "", 480000, "", 1, 11025, 24000, ""},
    {"MPEG", 0, false, "", "mpeg2video", "", "", "1920x1080", "30000/1001", "4:3", 15000000, "mp2", 2, 48000, 224000, "",
     0, 0, 15000000, 15000000, 6881000},
    // Target presets leave codec and size to the target; their own audio
    // bit rate comes after the target's (which layer-2 audio cannot code).
    {"MPEG", 2, false, "", "", "", "", "", "30000/1001", "4:3", 4000000, "mp2", 2, 48000, 224000, "ab=224000", 3, 2},
    {"MPEG", 13, false, "", "", "", "", "", "25", "4:3", 1150000, "mp2", 2, 44100, 224000, "ab=224000", 1, 1},
    {"iPod", 8, false, "", "libx264", "", "", "320x240", "24", "", 1000000, "libfaac", 2, 44100, 128000, A},
    {"iPod", 9, false, "", "libx264", "", "", "320x240", "15", "", 500000, "libfaac", 2, 44100, 128000, A},
    {"BlackBerry", 0, false, "", "libx264", "", "libx264-default", "640x480", "30", "", 2500000, "libfaac", 2, 48000, 160000, ""},
    {"PSP", 2, false, "psp", "libx264", "", "", "368x208", "15", "", 500000, "libfaac", 2, 44100, 128000, B},
    // Audio files never carry a picture, even where the table names a video codec.
    {"OGG", 0, true, "", "libtheora", "", "", "", "", "", -1, "libvorbis", -1, 11025, -1, "aq=4.97"},
    {"WAV", 4, true, "", "", "", "", "", "", "", -1, "pcm_s16le", 2, 44000, -1, ""},
    {"M4A", 1, true, "", "", "", "", "", "", "", -1, "", 2, 44800, 256000, ""},
    {"FLAC", 8, true, "", "", "", "", "", "", "", -1, "flac", -1, -1, -1, "compression_level=8"},
    // No preset selected: only what the format sets for every preset.
    {"MP3", -1, true, "", "", "", "", "", "", "", -1, "libmp3lame", -1, -1, -1, ""},
    {"AVI", -1, false, "", "", "", "", "", "", "", -1, "", -1, -1, -1, ""},
    {"PSP", -1, false, "psp", "libx264", "", "", "", "", "", -1, "libfaac", -1, -1, -1, B},
    {"Android", 3, false, "", "libx264", "", "", "", "", "", -1, "libfaac", -1, -1, -1, A},
    {"OGG", 40, true, "", "libtheora", "", "", "", "", "", -1, "libvorbis", -1, -1, -1, ""},
    {"MobilePhone", -1, false, "", "", "", "", "", "", "", -1, "", -1, -1, -1, ""},
};

} // namespace

TEST(OutputOptions, PresetRowsBecomeOutputFields)
{
    for (const Expected &e : kCases) {
        SCOPED_TRACE(std::string(e.format) + " " + std::to_string(e.preset));
        const TOutputOptions o = BuildOutputOptions(choose(e.format, e.preset), "/out/x");
        EXPECT_EQ(o.FileName, "/out/x");
        EXPECT_EQ(o.FileExt, FindFormatByName(e.format)->Extension);
        EXPECT_EQ(o.DisableVideo, e.disableVideo);
        EXPECT_EQ(o.FileFormat, e.fileFormat);
        EXPECT_EQ(o.VideoCodec, e.videoCodec);
        EXPECT_EQ(o.VideoTag, e.videoTag);
        EXPECT_EQ(o.VideoPreset, e.videoPreset);
        EXPECT_EQ(o.FrameSize, e.frameSize);
        EXPECT_EQ(o.FrameRate, e.frameRate);
        EXPECT_EQ(o.AspectRatio, e.aspect);
        EXPECT_EQ(o.VideoBitrate, e.videoBitrate);
        EXPECT_EQ(o.VideoMinRate, e.minRate);
        EXPECT_EQ(o.VideoMaxRate, e.maxRate);
        EXPECT_EQ(o.VideoBufferSize, e.bufferSize);
        EXPECT_EQ(o.Target, e.target);
        EXPECT_EQ(o.NormType, e.norm);
        EXPECT_EQ(o.AudioCodec, e.audioCodec);
        EXPECT_EQ(o.AudioChannels, e.channels);
        EXPECT_EQ(o.AudioSampleRate, e.sampleRate);
        EXPECT_EQ(o.AudioBitrate, e.audioBitrate);
        EXPECT_EQ(o.ExtOptions, e.ext);
        EXPECT_FALSE(o.Join);
    }
}

TEST(OutputOptions, ClassOrFormatOutOfRangeSetsOnlyTheClassWideField)
{
    FormatSelection sel = choose("MP3", 2);
    sel.FormatIndex[2] = 8;
    TOutputOptions o = BuildOutputOptions(sel, "f");
    EXPECT_TRUE(o.DisableVideo);
    EXPECT_TRUE(o.AudioCodec.empty());
    EXPECT_TRUE(o.FileExt.empty());
    EXPECT_EQ(o.AudioBitrate, -1);

    sel.Class = 3;
    o = BuildOutputOptions(sel, "f");
    EXPECT_FALSE(o.DisableVideo);
    EXPECT_TRUE(o.AudioCodec.empty());
}

TEST(OutputOptions, LosslessWmaTakesTheInputsAudioBitRate)
{
    EXPECT_EQ(BuildOutputOptions(choose("WMA", 4), "f", 192000).AudioBitrate, 192000);
    // Unknown, or no audio stream at all: the library decides.
    EXPECT_EQ(BuildOutputOptions(choose("WMA", 4), "f", -1).AudioBitrate, -1);
    EXPECT_EQ(BuildOutputOptions(choose("WMA", 4), "f", 0).AudioBitrate, -1);
    // Other presets keep their own rate.
    EXPECT_EQ(BuildOutputOptions(choose("WMA", 3), "f", 192000).AudioBitrate, 128000);
}

TEST(OutputOptions, OptionBlocksParseIntoTheirLines)
{
    EXPECT_TRUE(kOptionBlockA.ends_with("i_qfactor=0.71\r\n"));
    EXPECT_TRUE(kOptionBlockB.ends_with("level=21"));
    const auto a = ParseExtOptions(A);
    ASSERT_EQ(a.size(), 18u);
    EXPECT_EQ(a[0], TExtOption("flags", "+loop"));
    EXPECT_EQ(a[9], TExtOption("partitions", "+parti4x4+parti8x8+partp8x8"));
    EXPECT_EQ(a[17], TExtOption("i_qfactor", "0.71"));
    const auto b = ParseExtOptions(B);
    ASSERT_EQ(b.size(), 23u);
    EXPECT_EQ(b[17], TExtOption("rc_eq", "'blurCplx^(1-qComp)'"));
    EXPECT_EQ(b[22], TExtOption("level", "21"));
}

// Catches malformed table values before they reach the engine as option
// errors: sizes "WxH" with even sides, rates a whole number or a fraction.
TEST(OutputOptions, EveryPresetHasWellFormedSizesAndRates)
{
    for (const OutputFormat &f : AllFormats()) {
        for (int i = 0; i < f.PresetCount(); ++i) {
            SCOPED_TRACE(std::string(f.Name) + " " + std::to_string(i));
            const TOutputOptions o = BuildOutputOptions(choose(std::string(f.Name).c_str(), i), "f");
            if (!o.FrameSize.empty()) {
                int w = 0, h = 0;
                char rest = 0;
                ASSERT_EQ(std::sscanf(o.FrameSize.c_str(), "%dx%d%c", &w, &h, &rest), 2) << o.FrameSize;
                EXPECT_TRUE(w > 0 && h > 0 && w % 2 == 0 && h % 2 == 0) << o.FrameSize;
            }
            if (!o.FrameRate.empty()) {
                int num = 0, den = 1;
                char rest = 0;
                const int n = std::sscanf(o.FrameRate.c_str(), "%d/%d%c", &num, &den, &rest);
                EXPECT_TRUE((n == 1 || n == 2) && num > 0 && den > 0) << o.FrameRate;
            }
            if (o.AudioSampleRate != -1)
                EXPECT_GE(o.AudioSampleRate, 8000);
            if (f.Class != FormatClass::Audio)
                EXPECT_FALSE(o.DisableVideo);
        }
    }
}
