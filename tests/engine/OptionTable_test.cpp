// The task's option handler: the table's rows, its error texts, the
// library fallback and the presets. No media is converted here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>

#include "FFLoad.h"
#include "FFLog.h"
#include "FFPresets.h"
#include "FFmpeg.h"
#include "MediaFixtures.h"

namespace fs = std::filesystem;
using namespace quillor;
using namespace quillor::test;

namespace {

class OptionTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(LoadEngineLibraries(&error)) << error;
        GetLogger().TriggerEventInMainThread = false;
        GetLogger().SetLogLevel(llDebug);
        GetLogger().OnLog = [this](const void *, std::uint32_t, TLogLevel level, const std::string &text) {
            std::lock_guard<std::mutex> l(logMutex_);
            log_.emplace_back(level, text);
        };
        task_ = std::make_unique<TCustomFFmpeg>(20);
        task_->SetStrictOptions(true);
    }
    void TearDown() override { GetLogger().OnLog = nullptr; }

    bool Logged(TLogLevel level, const std::string &text)
    {
        std::lock_guard<std::mutex> l(logMutex_);
        for (auto &[lv, t] : log_)
            if (lv == level && t.find(text) != std::string::npos)
                return true;
        return false;
    }

    // The message the handler raises, or "" when it accepts the pair.
    std::string Raised(const std::string &name, const std::string &value)
    {
        try {
            task_->HandleOption(name, value);
        } catch (const std::exception &e) {
            return e.what();
        }
        return "";
    }

    std::unique_ptr<TCustomFFmpeg> task_;
    std::mutex logMutex_;
    std::vector<std::pair<TLogLevel, std::string>> log_;
};

struct Row {
    const char *name;
    const char *value;
    const char *raised; // "" = accepted
};

} // namespace

TEST_F(OptionTableTest, RowsAcceptGoodValuesAndRaiseTheirTexts)
{
    const Row rows[] = {
        // flags: "0" is false, any other text (the empty one too) is true
        {"vn", "", ""},
        {"shortest", "0", ""},
        {"copyts", "yes", ""},
        // integers
        {"threads", "4", ""},
        {"vsync", "x1", "'x1' is not a valid integer value"},
        {"fs", "12345678901", ""},
        // times
        {"t", "00:01:02.5", ""},
        {"ss", "90", ""},
        {"t", "ab:cd", "Invalid duration specification for t: ab:cd"},
        {"itsoffset", "1:x", "Invalid duration specification for itsoffset: 1:x"},
        {"timestamp", "not a date", "Invalid date specification for timestamp: not a date"},
        {"itsscale", "20:1.5", "stream index over MAX_STREAMS(20)"},
        {"itsscale", "19:1.5", ""},
        // video
        {"r", "30000/1001", ""},
        {"r", "fast", "Incorrect frame rate"},
        {"s", "320x240", ""},
        {"s", "big", "Incorrect frame size"},
        {"aspect", "16:9", ""},
        {"aspect", "1.7777", ""},
        {"aspect", "4:0", "Incorrect aspect ratio specification."},
        {"pix_fmt", "nosuch", "Unknown pixel format requested: nosuch"},
        {"sample_fmt", "nosuch", "Invalid sample format \"nosuch\""},
        {"cropleft", "10", "Removed, use the crop filter instead"},
        {"padcolor", "000000", "Removed, use the pad filter instead"},
        {"qscale", "0", "qscale must be > 0.0 and <= 255"},
        {"qscale", "255", ""},
        {"qscale", "255.5", "qscale must be > 0.0 and <= 255"},
        {"pass", "3", "pass number can be only 1 or 2"},
        {"vtag", "XVID", ""},
        {"vtag", "123", ""},
        {"vtag", "DIVX5", "tag parameter must be 4 chars or int value"},
        {"intra_matrix", "1,2,3", "Syntax error in matrix \"1,2,3\" at coeff 2"},
        {"streamid", "0:33", ""},
        {"streamid", "a=b", "Invalid value \"a=b\" for option \"streamid\", required syntax is \"index:value\""},
        {"metadata", "title", "Missing ="},
        {"metadata", "=x", "wrong parameter of metadata"},
        {"metadata", "title=A=B", ""},
        {"vbsf", "h264_mp4toannexb", ""},
        {"absf", "nosuch_bsf=1", "Unknown bitstream filter nosuch_bsf"},
        {"newvideo", "", "At least one output file must be specified"},
        {"target", "pal-laserdisc", "Unknown target type"},
        // the library fallback
        {"g", "250", ""},
        {"maxrate", "4M", ""},
        {"bufsize", "nonsense", "Invalid value \"nonsense\" for option \"bufsize\""},
        {"compression_level", "5", ""},
        {"packetsize", "2324", ""},
        {"muxrate", "1411200", ""},
        {"crf", "24", ""},
        {"no_such_option", "1", "Unrecognized option \"no_such_option\""},
    };
    for (const Row &r : rows)
        EXPECT_EQ(Raised(r.name, r.value), r.raised) << r.name << "=" << r.value;
}

TEST_F(OptionTableTest, IgnoredNamesAreLoggedAndUnknownNamesPassWithoutStrictHandling)
{
    EXPECT_EQ(Raised("y", ""), "");
    EXPECT_TRUE(Logged(llInfo, "Do nothing: option - y"));
    task_->SetStrictOptions(false);
    EXPECT_EQ(Raised("no_such_option", "1"), "");
}

TEST_F(OptionTableTest, BitRateBelowOneThousandWarnsAboutUnits)
{
    EXPECT_EQ(Raised("b", "128"), "");
    EXPECT_TRUE(Logged(llWarning, "It takes bits/s as argument, not kbits/s"));
    EXPECT_EQ(Raised("ab", "64k"), "");
    EXPECT_EQ(Raised("vb", "x"), "Invalid value \"x\" for option \"vb\"");
}

TEST_F(OptionTableTest, PresetsComeFromTheTableByNameOrEncoderAndFromFiles)
{
    EXPECT_EQ(BuiltinPresets().size(), 36u);
    ASSERT_NE(FindBuiltinPreset("LIBX264-DEFAULT"), nullptr);
    EXPECT_NE(std::string(FindBuiltinPreset("libx264-main")->Text).find("flags2=-dct8x8"), std::string::npos);

    EXPECT_EQ(Raised("vcodec", "libx264"), "");
    EXPECT_EQ(Raised("vpre", "default"), "");
    EXPECT_EQ(Raised("vpre", "DEFAULT"), "");
    EXPECT_EQ(Raised("vpre", "libx264-baseline"), "");
    EXPECT_EQ(Raised("vpre", "nosuch"), "Preset \"nosuch\" not found");

    const fs::path file = fs::temp_directory_path() / ("quillor-preset-" + std::to_string(::getpid()) + ".txt");
    {
        std::ofstream(file) << "# comment\r\n\r\ng=12\r\nbf=2\r\n";
    }
    EXPECT_EQ(Raised("fpre", file.string()), "");
    {
        std::ofstream(file) << "g=\n";
    }
    EXPECT_EQ(Raised("fpre", file.string()), file.string() + ": Invalid syntax: \"g=\"");
    {
        std::ofstream(file) << "nosuch=1\n";
    }
    EXPECT_EQ(Raised("fpre", file.string()),
              "Unrecognized option \"nosuch\"\r\n" + file.string() +
                  ": Invalid option or argument: \"nosuch=1\", parsed as \"nosuch\" = \"1\"");
    fs::remove(file);
}

TEST_F(OptionTableTest, OutputFileErrors)
{
    EXPECT_FALSE(task_->OpenInputFile("/nonexistent/quillor.mp4"));
    EXPECT_NE(task_->LastError().find("/nonexistent/quillor.mp4: "), std::string::npos);
    EXPECT_EQ(task_->OpenOutputFile("/tmp/quillor-no-format.xyzzy", false), -1);
    EXPECT_EQ(task_->LastError(), "Unable to find a suitable output format for '/tmp/quillor-no-format.xyzzy'");
    task_->HandleOption("f", "nosuchformat");
    EXPECT_EQ(task_->OpenOutputFile("/tmp/x.mp4", false), -1);
    EXPECT_EQ(task_->LastError(), "Requested output format 'nosuchformat' is not a suitable output format");
}

TEST_F(OptionTableTest, ConstructionLimitsAndStartWithoutFiles)
{
    EXPECT_THROW(TCustomFFmpeg(0), std::invalid_argument);
    EXPECT_THROW(TCustomFFmpeg(513), std::invalid_argument);
    int ends = 0;
    task_->OnTerminate = [&](TCustomFFmpeg *t) {
        ++ends;
        EXPECT_TRUE(t->Exception());
        EXPECT_FALSE(t->Finished());
        EXPECT_EQ(t->ExceptionMsg(), "At least one output file must be specified");
    };
    EXPECT_EQ(task_->Start(true), nullptr);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(task_->Ended());
    EXPECT_EQ(task_->Start(false), nullptr); // an ended task never runs again
    EXPECT_EQ(ends, 1);
}

TEST_F(OptionTableTest, StoppingATaskThatNeverStartedReportsItsEndOnce)
{
    int ends = 0;
    bool finished = true;
    task_->OnTerminate = [&](TCustomFFmpeg *t) {
        ++ends;
        finished = t->Finished();
    };
    task_->Stop(true);
    task_->Stop(true);
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(finished);
}
