// The transcoding task end to end: real conversions of small fixtures,
// checked with ffprobe.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "FFLoad.h"
#include "FFmpeg.h"
#include "MediaFixtures.h"

namespace fs = std::filesystem;
using namespace quillor;
using namespace quillor::test;

namespace {

using Options = std::vector<std::pair<std::string, std::string>>;

// The option lines the window's MP4 presets send (one of its blocks).
const Options kX264Block = {
    {"flags", "+loop"},   {"cmp", "+chroma"},         {"deblockalpha", "0"},
    {"deblockbeta", "0"}, {"crf", "24"},              {"refs", "1"},
    {"coder", "0"},       {"me_range", "16"},         {"subq", "5"},
    {"partitions", "+parti4x4+parti8x8+partp8x8"},    {"g", "250"},
    {"keyint_min", "25"}, {"level", "30"},            {"qmin", "10"},
    {"qmax", "51"},       {"trellis", "2"},           {"sc_threshold", "40"},
    {"i_qfactor", "0.71"}};

class TranscodeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(LoadEngineLibraries(&error)) << error;
        dir_ = fs::temp_directory_path() /
               ("quillor-transcode-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string out(const std::string &name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

struct Result {
    bool finished = false;
    bool exception = false;
    std::string message;
    int terminates = 0;
    int64_t total = -1;
};

// Opens the inputs, sets the output options, runs on the calling thread.
Result Convert(const std::vector<std::string> &inputs, const std::string &output, const Options &outputOptions,
               bool join = false)
{
    Result r;
    TCustomFFmpeg task(20);
    task.SetStrictOptions(true);
    task.SetVerbosity(0);
    task.OnTerminate = [&](TCustomFFmpeg *t) {
        ++r.terminates;
        r.finished = t->Finished();
        r.exception = t->Exception();
        r.message = t->ExceptionMsg();
    };
    for (auto &in : inputs)
        EXPECT_TRUE(task.OpenInputFile(in)) << task.LastError();
    for (auto &[n, v] : outputOptions)
        task.HandleOption(n, v);
    EXPECT_GE(task.OpenOutputFile(output, join), 1) << task.LastError();
    if (join)
        task.SetupJoin();
    r.total = task.TotalDuration();
    EXPECT_EQ(task.Start(false), nullptr);
    return r;
}

double Seconds(const std::map<std::string, std::string> &p, const std::string &key)
{
    auto it = p.find(key);
    return it == p.end() || it->second == "N/A" ? -1 : std::stod(it->second);
}

std::string Value(const std::map<std::string, std::string> &p, const std::string &key)
{
    auto it = p.find(key);
    return it == p.end() ? "" : it->second;
}

} // namespace

TEST_F(TranscodeTest, ConvertsToMp4WithTheWindowsX264Options)
{
    Options o = {{"vcodec", "libx264"}, {"acodec", "libfaac"}, {"s", "320x240"}, {"r", "30"},
                 {"b", "640000"},       {"ab", "128000"},      {"ar", "44100"},  {"ac", "2"}};
    o.insert(o.end(), kX264Block.begin(), kX264Block.end());
    const std::string file = out("a.mp4");
    Result r = Convert({H264AacMp4()}, file, o);
    ASSERT_TRUE(r.finished) << r.message;
    EXPECT_FALSE(r.exception);
    EXPECT_EQ(r.terminates, 1);
    auto p = ProbeWithFFprobe(file);
    EXPECT_EQ(Value(p, "streams.stream.0.codec_name"), "h264");
    EXPECT_EQ(Value(p, "streams.stream.0.width"), "320");
    EXPECT_EQ(Value(p, "streams.stream.0.height"), "240");
    EXPECT_EQ(Value(p, "streams.stream.0.r_frame_rate"), "30/1");
    EXPECT_EQ(Value(p, "streams.stream.1.codec_name"), "aac");
    EXPECT_EQ(Value(p, "streams.stream.1.sample_rate"), "44100");
    EXPECT_NEAR(Seconds(p, "format.duration"), 6.0, 0.3);
}
