#include <gtest/gtest.h>

#include <string>

#include "Catalogue.h"
#include "Presets.h"

using namespace quillor;

namespace {

struct FormatRow {
    int cls;
    int index;
    const char *name;
    const char *configKey;
    const char *settingsKey;
    const char *extension;
    int presets;
    int startupDefault;
};

// The formats as the output page offers them, in button order.
const FormatRow kFormatRows[] = {
    {0, 0, "AVI", "AVI", "OutputAVIPreset", ".avi", 29, 3},
    {0, 1, "MP4", "MP4", "OutputMP4Preset", ".mp4", 19, 3},
    {0, 2, "FLV", "FLV", "OutputFLVPreset", ".flv", 5, 1},
    {0, 3, "SWF", "SWF", "OutputSWFPreset", ".swf", 5, 1},
    {0, 4, "MPEG", "MPEG", "OutputMPEGPreset", ".mpg", 14, 5},
    {0, 5, "RM", "RM", "OutputRMPreset", ".rm", 5, 1},
    {0, 6, "WMV", "WMV", "OutputWMVPreset", ".wmv", 18, 16},
    {0, 7, "MOV", "MOV", "OutputMOVPreset", ".mov", 10, 7},
    {0, 8, "3GP", "3GP", "Output3GPPreset", ".3gp", 5, 2},
    {1, 0, "iPod", "IPOD", "OutputiPodPreset", ".mp4", 10, 5},
    {1, 1, "iPhone", "IPHONE", "OutputiPhonePreset", ".mp4", 3, 1},
    {1, 2, "AppleTV", "APPLETV", "OutputAppleTVPreset", ".mp4", 3, 1},
    {1, 3, "PSP", "PSP", "OutputPSPPreset", ".mp4", 3, 1},
    {1, 4, "BlackBerry", "BLACKBERRY", "OutputBlackBerryPreset", ".mp4", 3, 1},
    {1, 5, "MobilePhone", "MOBILEPHONE", "OutputMobilePhonePreset", ".mp4", 4, 1},
    {1, 6, "iPad", "IPAD", "OutputiPadPreset", ".mp4", 3, 0},
    {1, 7, "Android", "ANDROID", "OutputAndroidPreset", ".mp4", 3, 0},
    {2, 0, "WAV", "WAV", "OutputWAVPreset", ".wav", 5, 3},
    {2, 1, "MP3", "MP3", "OutputMP3Preset", ".mp3", 4, 2},
    {2, 2, "WMA", "WMA", "OutputWMAPreset", ".wma", 5, 1},
    {2, 3, "OGG", "OGG", "OutputOGGPreset", ".ogg", 5, 3},
    {2, 4, "AAC", "AAC", "OutputAACPreset", ".aac", 5, 3},
    {2, 5, "M4A", "M4A", "OutputM4APreset", ".m4a", 2, 0},
    {2, 6, "FLAC", "FLAC", "OutputFLACPreset", ".flac", 9, 5},
    {2, 7, "MP2", "MP2", "OutputMP2Preset", ".mp2", 3, 0},
};

} // namespace

TEST(Catalogue, FormatsInButtonOrderWithTheirKeysExtensionsAndDefaults)
{
    ASSERT_EQ(AllFormats().size(), std::size(kFormatRows));
    int ordinal = 0, presets = 0;
    for (const FormatRow &row : kFormatRows) {
        SCOPED_TRACE(row.name);
        const OutputFormat *f = FindFormat(row.cls, row.index);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f, &AllFormats()[ordinal]);
        EXPECT_EQ(f->Ordinal(), ordinal++);
        EXPECT_EQ(static_cast<int>(f->Class), row.cls);
        EXPECT_EQ(f->Name, row.name);
        EXPECT_EQ(f->ConfigKey, row.configKey);
        EXPECT_EQ(f->PresetSettingsKey, row.settingsKey);
        EXPECT_EQ(f->Extension, row.extension);
        EXPECT_EQ(f->PresetCount(), row.presets);
        EXPECT_EQ(f->DefaultPreset, row.startupDefault);
        // Every preset text has its row of encoding parameters.
        EXPECT_EQ(PresetsOf(*f).Rows.size(), f->Presets.size());
        presets += f->PresetCount();
    }
    EXPECT_EQ(presets, kPresetCount);
    EXPECT_EQ(FormatsOfClass(FormatClass::Video).size(), 9u);
    EXPECT_EQ(FormatsOfClass(FormatClass::Device).size(), 8u);
    EXPECT_EQ(FormatsOfClass(FormatClass::Audio).size(), 8u);
    EXPECT_EQ(FormatsOfClass(FormatClass::Audio)[7].Name, "MP2");
}

TEST(Catalogue, DisplayTextsAreKeptExactly)
{
    struct Case {
        const char *format;
        int preset;
        std::string text;
    };
    const Case cases[] = {
        {"AVI", 0, "HD Video 720p: MPEG4 (DivX, XviD), 4500 kbps; Audio: MP3, 192 kbps"},
        {"AVI", 21, "Nindendo Wii Clip"},
        {"AVI", 28, "Video: Uncompressed, Original; Audio: PCM"},
        {"MP4", 3, "Apple iPhone/iTouch - (H.264,640x420)"},
        {"RM", 3, "RM - Low Quality  - (256 kbps, Original)"},
        {"RM", 4, "RM - Least Quality  - (128 kbps, Original)"},
        {"iPod", 1, "iPod Touch High Quality (H264, 30 fps, 480x320, 2500 kbps; AAC - 160 kbps) "},
        {"iPod", 3, "iPod Touch Economy Quality (H264, 15 fps, 320x240, 500 kbps; AAC - 128 kbps) "},
        {"WAV", 2, "FM Radio Quality - PCM: 22050 Hz, Sterro, 24 bits"},
        {"WMA", 4, "WMA Losslesss Audio"},
        {"FLAC", 5, "Compression Level 5 (Default)"},
        {"MP2", 2, "FM Quality - MPEG layer-2: 22050 Hz, Stereo, 128 kbps"},
    };
    for (const Case &c : cases) {
        const OutputFormat *f = FindFormatByName(c.format);
        ASSERT_NE(f, nullptr) << c.format;
        EXPECT_EQ(f->Presets[c.preset], c.text) << c.format << " " << c.preset;
    }
}

TEST(Catalogue, OutputExtensionYieldsNothingOutOfRange)
{
    struct Case {
        int cls, index;
        std::string extension;
    };
    const Case cases[] = {
        {0, 0, ".avi"}, {0, 4, ".mpg"}, {0, 8, ".3gp"},  {1, 3, ".mp4"}, {1, 7, ".mp4"},
        {2, 6, ".flac"}, {2, 7, ".mp2"}, {0, 9, ""},     {1, 8, ""},     {2, 8, ""},
        {2, -1, ""},    {3, 0, ""},      {-1, 0, ""},    {255, 0, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(OutputExtension(c.cls, c.index), c.extension) << c.cls << "/" << c.index;
}

TEST(Catalogue, NamesAndClassesAreFoundWithoutRegardToCase)
{
    ASSERT_NE(FindFormatByName("mobilephone"), nullptr);
    EXPECT_EQ(FindFormatByName("mobilephone")->Name, "MobilePhone");
    EXPECT_EQ(FindFormatByName("IPOD")->Class, FormatClass::Device);
    EXPECT_EQ(FindFormatByName("3gp")->Index, 8);
    EXPECT_EQ(FindFormatByName("MKV"), nullptr);
    EXPECT_EQ(FindFormatByName(""), nullptr);

    EXPECT_EQ(ParseFormatClass("video"), FormatClass::Video);
    EXPECT_EQ(ParseFormatClass("DEVICE"), FormatClass::Device);
    EXPECT_EQ(ParseFormatClass("Audio"), FormatClass::Audio);
    EXPECT_FALSE(ParseFormatClass("audios").has_value());
    EXPECT_EQ(FormatClassName(2), "Audio");
    EXPECT_EQ(FormatClassName(3), "");
    EXPECT_EQ(FormatSettingsKey(1), "OutputDeviceFormat");
}

TEST(Catalogue, SelectionStartsAtTheDefaultsAndChoosesNothingOutOfRange)
{
    FormatSelection sel;
    EXPECT_EQ(sel.Class, 0);
    for (const OutputFormat &f : AllFormats())
        EXPECT_EQ(sel.PresetOf(f), f.DefaultPreset) << f.Name;
    ASSERT_NE(sel.ChosenFormat(), nullptr);
    EXPECT_EQ(sel.ChosenFormat()->Name, "AVI");

    // Each class remembers its own format; only the current class counts.
    sel.FormatIndex[2] = 1;
    EXPECT_EQ(sel.ChosenFormat()->Name, "AVI");
    sel.Class = 2;
    EXPECT_EQ(sel.ChosenFormat()->Name, "MP3");

    sel.FormatIndex[2] = 8;
    EXPECT_EQ(sel.ChosenFormat(), nullptr);
    sel.FormatIndex[2] = 0;
    sel.Class = 5;
    EXPECT_EQ(sel.ChosenFormat(), nullptr);
}
