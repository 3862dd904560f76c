// The input list without the window: what a row says about a file, which
// files are refused, and the list operations.
#include <gtest/gtest.h>

#include "FFDecode.h"
#include "InputList.h"
#include "MediaFixtures.h"

using namespace quillor;

namespace {

class InputListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        if (!test::LoadEngineLibraries(&error))
            FAIL() << "cannot load the FFmpeg libraries: " << error;
    }
    TFFDecoder probe;
};

QString q(const std::string &s) { return QString::fromStdString(s); }

} // namespace

// An audio file, a video file and a file no library can read, in one
// batch: two rows in order, each with its own kind of lines, and the
// unreadable file reported once.
TEST_F(InputListTest, MixedBatchListsReadableFilesAndReportsTheRest)
{
    const std::string mp3 = test::AudioOnlyMp3();
    const std::string mp4 = test::H264AacMp4();
    const std::string junk = test::BytesFixture("junk.avi", std::string(4096, '\x5a'));
    InputList list;
    std::vector<int> shown;
    const AddFilesResult r =
        list.AddMediaFiles(probe, {q(mp3), q(junk), q(mp4)}, [&](int row) { shown.push_back(row); });

    EXPECT_EQ(r.Added, 2);
    EXPECT_EQ(shown, (std::vector<int>{0, 1})); // each row announced as it came
    ASSERT_EQ(r.Failed.size(), 1);
    EXPECT_TRUE(r.Failed[0].contains(QStringLiteral("junk.avi"))) << r.Failed[0].toStdString();
    ASSERT_EQ(r.LogLines.size(), 1);
    EXPECT_EQ(r.LogLines[0], QStringLiteral("File load error: ") + r.Failed[0]);

    ASSERT_EQ(list.Count(), 2);
    const MediaFileInfo &audio = list.Row(0);
    EXPECT_TRUE(audio.AudioOnly);
    EXPECT_TRUE(audio.BitrateText.startsWith(QStringLiteral("Audio Bit rate: ")));
    EXPECT_TRUE(audio.BitrateText.endsWith(QStringLiteral(" Kbps"))) << audio.BitrateText.toStdString();
    EXPECT_TRUE(audio.DimensionText.startsWith(QStringLiteral("Audio Encoder: mp3"))) << audio.DimensionText.toStdString();
    EXPECT_EQ(audio.Width, -1);
    EXPECT_EQ(audio.FullName, q(mp3));

    const MediaFileInfo &video = list.Row(1);
    EXPECT_FALSE(video.AudioOnly);
    EXPECT_EQ(video.DurationText, QStringLiteral("Duration: 00:00:06.000"));
    EXPECT_NEAR(double(video.RealDuration), 6e6, 1e5);
    EXPECT_TRUE(video.BitrateText.startsWith(QStringLiteral("Bit rate: ")));
    EXPECT_EQ(video.DimensionText, QStringLiteral("Dimension: 160 x 120"));
    EXPECT_EQ(video.Width, 160);
    EXPECT_EQ(video.Height, 120);
    // The thumbnail is the middle of the clip: its green part.
    ASSERT_FALSE(video.Thumbnail.empty());
    const std::uint8_t *px = video.Thumbnail.row(video.Thumbnail.height / 2) + 3 * (video.Thumbnail.width / 2);
    EXPECT_GT(px[1], 100); // green
    EXPECT_LT(px[2], 60);  // no red
    EXPECT_LT(px[0], 60);  // no blue
}

// A stream without a container duration or bit rate says so, and keeps 0
// as its length; the same file added twice is listed twice.
TEST_F(InputListTest, UnknownValuesAndRepeatedFiles)
{
    const std::string raw = test::RawH264();
    InputList list;
    list.AddMediaFiles(probe, {q(raw), q(raw)});
    ASSERT_EQ(list.Count(), 2);
    const MediaFileInfo &row = list.Row(0);
    EXPECT_EQ(row.DurationText, QStringLiteral("Duration: Duration is not preseted"));
    EXPECT_EQ(row.RealDuration, 0);
    EXPECT_EQ(row.BitrateText, QStringLiteral("Bit rate: Bit rate is not preseted"));
}

TEST(InputListTexts, BitRateAndDuration)
{
    EXPECT_EQ(BitRateTextOf(0), QStringLiteral("Bit rate is not preseted"));
    EXPECT_EQ(BitRateTextOf(1999), QStringLiteral("1 Kbps"));
    EXPECT_EQ(BitRateTextOf(3000000000LL), QStringLiteral("3000000 Kbps"));
    EXPECT_EQ(DurationTextOf(-1), QStringLiteral("Duration is not preseted"));
    // Longer than 2^31 microseconds.
    EXPECT_EQ(DurationTextOf(2400000000LL), QStringLiteral("00:40:00.000"));
}

// Delete selects the row now at the same place, or the new last row;
// moving keeps the order of the others; the actions follow the selection.
TEST(InputListOperations, DeleteMoveAndActionStates)
{
    InputList list;
    EXPECT_EQ(list.Delete(0), -1);
    EXPECT_FALSE(list.Move(0, 1));

    struct Case {
        int count, selected;
        InputActionStates expected;
    } cases[] = {
        {0, -1, {false, false, false, false, false}},
        {3, -1, {false, true, false, false, false}},
        {3, 0, {true, true, false, true, true}},
        {3, 1, {true, true, true, true, true}},
        {3, 2, {true, true, true, false, true}},
        {1, 0, {true, true, false, false, true}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " rows, selected " << c.selected);
        const InputActionStates s = InputList::ActionStates(c.count, c.selected);
        EXPECT_EQ(s.Delete, c.expected.Delete);
        EXPECT_EQ(s.Clear, c.expected.Clear);
        EXPECT_EQ(s.MoveUp, c.expected.MoveUp);
        EXPECT_EQ(s.MoveDown, c.expected.MoveDown);
        EXPECT_EQ(s.Play, c.expected.Play);
    }
}

TEST_F(InputListTest, DeleteAndMoveKeepTheOrder)
{
    const std::string a = test::AudioOnlyMp3(), b = test::Mpeg4Mp3Avi(), c = test::H264AacMp4();
    InputList list;
    list.AddMediaFiles(probe, {q(a), q(b), q(c)});
    ASSERT_EQ(list.Count(), 3);
    auto names = [&list] {
        QStringList n;
        for (int i = 0; i < list.Count(); ++i)
            n << list.Row(i).FullName;
        return n;
    };
    EXPECT_TRUE(list.Move(2, 0));
    EXPECT_EQ(names(), (QStringList{q(c), q(a), q(b)}));
    EXPECT_EQ(list.Delete(2), 1); // the last row: the new last row
    EXPECT_EQ(list.Delete(0), 0); // the row that took its place
    EXPECT_EQ(names(), (QStringList{q(a)}));
    EXPECT_EQ(list.JoinInputs().front().Path, a);
}
