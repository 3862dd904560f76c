// The output page: which format and class buttons the configuration
// offers and where they go, and how the stored choice is shown and kept.
#include <QStackedWidget>

#include "ConvertWindow.h"

using namespace quillor;
using namespace quillor::testing;

namespace {

ConfigKeys keysWithFlags(std::initializer_list<const char *> on)
{
    ConfigKeys keys = defaultConfigKeys();
    keys["Download"] = "False";
    for (const char *flag : on)
        keys[flag] = "True";
    return keys;
}

} // namespace

TEST_F(ConvertWindow, FormatButtonsFollowTheConfigurationFlags)
{
    struct Case {
        const char *name;
        std::initializer_list<const char *> flags;
        std::vector<std::pair<const char *, QPoint>> shown; // format button and its place
        std::vector<bool> classShown;                       // video, device, audio
        QPoint classPlaces[3];
        int pagesTop;
    } cases[] = {
        {"only MP4, FLV and MOV", {"MP4", "FLV", "MOV"},
         {{"MP4", {10, 5}}, {"FLV", {74, 5}}, {"MOV", {138, 5}}}, {false, false, false}, {}, 120},
        {"one class only", {"AVI", "MP4", "FLV", "SWF", "MPEG", "RM", "WMV", "MOV", "3GP"},
         {{"AVI", {10, 5}}, {"MOV", {10 + 7 * 64, 5}}, {"3GP", {10, 65}}}, {false, false, false}, {}, 120},
        {"none on", {}, {}, {false, false, false}, {}, 172},
        {"video and audio", {"AVI", "MP3", "FLAC"},
         {{"AVI", {10, 5}}, {"MP3", {10, 5}}, {"FLAC", {74, 5}}}, {true, false, true},
         {{18, 135}, {}, {189, 135}}, 172},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        flow.reset();
        window.reset();
        start(keysWithFlags(c.flags));
        OutputPage &page = flow->outputPage();
        int shownCount = 0;
        for (const OutputFormat &f : AllFormats())
            shownCount += page.formatButton(f)->isHidden() ? 0 : 1;
        EXPECT_EQ(shownCount, int(c.flags.size()));
        for (const auto &[name, place] : c.shown) {
            QPushButton *b = page.formatButton(*FindFormatByName(name));
            EXPECT_FALSE(b->isHidden()) << name;
            EXPECT_EQ(b->geometry(), QRect(place, QSize(62, 57))) << name;
        }
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(!page.classButton(k)->isHidden(), c.classShown[k]) << "class " << k;
            if (c.classShown[k])
                EXPECT_EQ(page.classButton(k)->geometry(), QRect(c.classPlaces[k], QSize(171, 32)));
        }
        EXPECT_EQ(page.formatPages()->y(), c.pagesTop);
    }
}

// The stored choice: an out-of-range default class leaves Video, a stored
// class wins; a stored preset the format does not have selects nothing
// and is kept as -1; picking a format on another class's page does not
// change the class a conversion uses.
TEST_F(ConvertWindow, StoredSelectionIsShownAndKept)
{
    ConfigKeys keys = convertConfigKeys();
    keys["DefaultClass"] = "5";
    start(keys);
    UserSettings &s = window->settings();
    EXPECT_EQ(s.OutputFormatClass, 0);

    OutputPage &page = flow->outputPage();
    const OutputFormat &avi = *FindFormatByName("AVI");
    const OutputFormat &mp3 = *FindFormatByName("MP3");
    EXPECT_EQ(page.presetBox(avi)->count(), 29);
    EXPECT_EQ(page.presetBox(avi)->itemText(3),
              QStringLiteral("Video: MPEG4 (DivX, XviD), 1500 kbps, Original; Audio: MP3, 192 kbps"));

    s.OutputFormatClass = 2;
    s.OutputAudioFormat = std::uint8_t(mp3.Index);
    s.OutputAVIPreset = 40;
    s.OutputMP3Preset = -1;
    page.ShowOutputPage();
    EXPECT_FALSE(page.classButton(2)->isEnabled());
    EXPECT_TRUE(page.classButton(0)->isEnabled());
    EXPECT_EQ(page.formatPages()->currentIndex(), 2);
    EXPECT_FALSE(page.formatButton(mp3)->isEnabled());
    EXPECT_EQ(page.presetBox(avi)->currentIndex(), -1);
    EXPECT_EQ(page.presetBox(mp3)->currentIndex(), -1);
    page.CommitOutputPage();
    EXPECT_EQ(s.OutputAVIPreset, -1);
    EXPECT_EQ(s.OutputMP3Preset, -1);

    // Back to Video; choosing a format on the audio page keeps Video.
    page.classButton(0)->click();
    page.formatButton(avi)->click();
    page.formatPages()->setCurrentIndex(2);
    page.formatButton(*FindFormatByName("WAV"))->click();
    EXPECT_EQ(s.OutputFormatClass, 0);
    EXPECT_EQ(s.OutputAudioFormat, FindFormatByName("WAV")->Index);
    EXPECT_EQ(SelectionFromSettings(s).ChosenFormat(), &avi);

    // The folder box gets a trailing separator when stored.
    child<QLineEdit>("EditOutputDir")->setText(QStringLiteral("/tmp/somewhere"));
    page.CommitOutputPage();
    EXPECT_EQ(s.OutputFileDir, QStringLiteral("/tmp/somewhere/"));
}
