#include "QualityPreference.h"
#include "StreamMap.h"

#include <gtest/gtest.h>

using namespace quillor;

TEST(Quality, CaptionAndLabelsOfTheDefaultOrder)
{
    QualityPreference p;
    EXPECT_EQ(p.QualityCaption(),
              "Prefer: [HQ18] > [HQ35] > [HQ22] > [HQ6] > [HQ13] > [HQ17] > [HQ34] > [HQ37]");
    EXPECT_EQ(p.QualityCaptionFor(false), kDefaultQualityLabel);
    EXPECT_EQ(p.AttemptLabel(0), kDefaultQualityLabel);
    EXPECT_EQ(p.AttemptLabel(1), "[HQ18]");
    EXPECT_EQ(p.AttemptLabel(8), "[HQ37]");
    EXPECT_EQ(p.AttemptLabel(9), "");
    EXPECT_EQ(LongLabel("[HQ22]"), "[HQ22] - (MP4(H.264), 1280 x 720, Stereo 44KHz AAC)");
    EXPECT_EQ(LongLabel("[hq22]"), kDefaultQualityLabel);
    EXPECT_EQ(QualityValueOfLabel("[HQ37]"), 7);
    EXPECT_EQ(QualityValueOfLabel("anything"), 0);
}

TEST(Quality, AttemptsMapToExtensionsAndAddresses)
{
    QualityPreference p;
    p.Places = QualityPreference::kBestAvailableOrder; // 37 22 35 18 6 34 13 17
    StreamTable t;
    t.SetAddress(5, "A5");
    t.SetAddress(22, "A22");
    t.SetAddress(13, "A13");
    const struct {
        int attempt;
        const char *extension;
        const char *address;
    } cases[] = {{0, ".flv", "A5"}, {1, ".mp4", ""},    {2, ".mp4", "A22"}, {3, ".flv", ""},
                 {7, ".3gp", "A13"}, {8, ".3gp", ""},   {9, ".flv", ""},    {-1, ".flv", ""}};
    for (const auto &c : cases) {
        EXPECT_EQ(p.AttemptExtension(c.attempt), c.extension) << c.attempt;
        EXPECT_EQ(p.AttemptAddress(c.attempt, t), c.address) << c.attempt;
    }
}

TEST(Quality, StoredValuesOutOfRangeTakeTheirPlacesDefault)
{
    QualityPreference p;
    p.Places = {7, 200, 3, 8, 4, 5, 6, 1};
    p.Repair();
    EXPECT_EQ(p.Places, (std::array<std::uint8_t, 8>{7, 2, 3, 0, 4, 5, 6, 1}));
}
