#include <gtest/gtest.h>

#include <initializer_list>

#include "CatalogueLayout.h"

using namespace quillor;

namespace {

std::array<bool, kOutputFormatCount> offer(std::initializer_list<const char *> names)
{
    std::array<bool, kOutputFormatCount> offered{};
    for (const char *n : names)
        offered[FindFormatByName(n)->Ordinal()] = true;
    return offered;
}

int slotOf(const FormatButtonLayout &l, const char *name)
{
    return l.FormatSlot[FindFormatByName(name)->Ordinal()];
}

} // namespace

TEST(CatalogueLayout, OfferedButtonsArePackedWithoutGaps)
{
    const FormatButtonLayout l = LayoutFormatButtons(offer({"MP4", "FLV", "MOV", "WAV", "FLAC"}));
    EXPECT_EQ(slotOf(l, "MP4"), 0);
    EXPECT_EQ(slotOf(l, "FLV"), 1);
    EXPECT_EQ(slotOf(l, "MOV"), 2);
    for (const char *hidden : {"AVI", "SWF", "MPEG", "RM", "WMV", "3GP", "iPod", "MP3"})
        EXPECT_EQ(slotOf(l, hidden), -1) << hidden;
    EXPECT_EQ(slotOf(l, "WAV"), 0);
    EXPECT_EQ(slotOf(l, "FLAC"), 1);
    // Device offers nothing: its class button goes, the audio button moves up.
    EXPECT_EQ(l.ClassSlot, (std::array<int, 3>{0, -1, 1}));
    EXPECT_EQ(l.FormatPagesTop, 172);
}

TEST(CatalogueLayout, ClassButtonsOnlyWhenThereIsAChoiceOfClass)
{
    struct Case {
        std::array<bool, kOutputFormatCount> offered;
        std::array<int, 3> classSlots;
        int top;
    };
    std::array<bool, kOutputFormatCount> all;
    all.fill(true);
    const Case cases[] = {
        {offer({"AVI", "3GP"}), {-1, -1, -1}, 120}, // one class left: no class buttons at all
        {offer({}), {-1, -1, -1}, 172},             // nothing offered: the pages stay
        {offer({"iPad", "MP2"}), {-1, 0, 1}, 172},
        {all, {0, 1, 2}, 172},
    };
    for (const Case &c : cases) {
        const FormatButtonLayout l = LayoutFormatButtons(c.offered);
        EXPECT_EQ(l.ClassSlot, c.classSlots);
        EXPECT_EQ(l.FormatPagesTop, c.top);
    }
    const FormatButtonLayout l = LayoutFormatButtons(all);
    EXPECT_EQ(slotOf(l, "3GP"), 8);
    EXPECT_EQ(slotOf(l, "Android"), 7);
}

TEST(CatalogueLayout, ARememberedPresetOutsideTheListSelectsNothing)
{
    const OutputFormat &avi = *FindFormatByName("AVI");
    EXPECT_EQ(SelectablePreset(avi, 28), 28);
    EXPECT_EQ(SelectablePreset(avi, 29), -1);
    EXPECT_EQ(SelectablePreset(avi, 40), -1);
    EXPECT_EQ(SelectablePreset(avi, -1), -1);
    EXPECT_EQ(SelectablePreset(*FindFormatByName("M4A"), 1), 1);
}
