#include <gtest/gtest.h>

#include <cstdlib>

#include "FFDecode.h"
#include "MediaFixtures.h"
#include "TaskBuilder.h"

using namespace quillor;

namespace {

class ProbedInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        if (!test::LoadEngineLibraries(&error))
            FAIL() << "cannot load the FFmpeg libraries: " << error;
    }
};

} // namespace

// The lossless WMA preset takes the bit rate of the input's sound as the
// probe reports it; a file without sound leaves it to the library.
TEST_F(ProbedInputTest, FirstAudioBitRateReachesTheLosslessWmaPreset)
{
    const std::string withSound = test::Mpeg4Mp3Avi();
    const std::string silent =
        test::MediaFixture("silent.avi", "-f lavfi -i testsrc=size=64x48:rate=5:duration=1 -c:v mpeg4");
    ASSERT_FALSE(withSound.empty());
    ASSERT_FALSE(silent.empty());
    const int expected = std::atoi(test::ProbeWithFFprobe(withSound)["streams.stream.1.bit_rate"].c_str());
    ASSERT_GT(expected, 0);

    FormatSelection sel;
    sel.Class = 2;
    sel.FormatIndex[2] = FindFormatByName("WMA")->Index;
    sel.SetPresetOf(*FindFormatByName("WMA"), 4);
    sel.OutputFolder = "/nonexistent-output-folder";
    OutputNames names;

    TFFDecoder probe;
    ASSERT_TRUE(probe.OpenMediaFile(withSound)) << probe.LastError();
    ProbedInput p = ProbedInputOf(probe);
    EXPECT_EQ(p.OpenedFileName, withSound);
    EXPECT_TRUE(p.ForcedFormatName.empty());
    EXPECT_EQ(p.FirstAudioBitRate, expected);
    EXPECT_EQ(BuildTaskOptions(sel, p, names).Output.AudioBitrate, expected);

    ASSERT_TRUE(probe.OpenMediaFile(silent)) << probe.LastError();
    p = ProbedInputOf(probe);
    EXPECT_EQ(p.FirstAudioBitRate, -1);
    EXPECT_EQ(BuildTaskOptions(sel, p, names).Output.AudioBitrate, -1);
}
