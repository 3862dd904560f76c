// quillor-cli convert end to end: arguments, separate and joined tasks,
// failures and the exit code.

#include "RunCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using quillor::test_support::CommandResult;
using quillor::test_support::runCommand;

namespace {

class CliConvert : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("quillor-cli-convert-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "in");
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string clip(const std::string &name, int seconds)
    {
        const std::string path = (dir_ / "in" / name).string();
        const std::string d = std::to_string(seconds);
        const CommandResult made = runCommand({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                               "testsrc=size=160x120:rate=25:duration=" + d, "-f", "lavfi", "-i",
                                               "sine=frequency=440:sample_rate=44100:duration=" + d, "-c:v",
                                               "mpeg4", "-c:a", "pcm_s16le", path});
        EXPECT_EQ(made.exitCode, 0) << made.output;
        return path;
    }

    CommandResult convert(std::vector<std::string> args)
    {
        args.insert(args.begin(), {QUILLOR_CLI, "convert"});
        return runCommand(args);
    }

    double duration(const fs::path &path)
    {
        const CommandResult probe = runCommand({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                                                "csv=p=0", path.string()},
                                               false);
        return probe.exitCode == 0 && !probe.output.empty() ? std::stod(probe.output) : -1.0;
    }

    fs::path dir_;
};

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

TEST_F(CliConvert, ConvertsEveryInputAndNamesTheOutputs)
{
    const std::string a = clip("a.avi", 1);
    const std::string b = clip("b.avi", 1);
    const fs::path out = dir_ / "out";
    const CommandResult r = convert({"--class", "video", "--format", "avi", "--preset", "7", "--out", out.string(), a, b});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(contains(r.output, "output: " + (out / "a.avi").string())) << r.output;
    EXPECT_TRUE(contains(r.output, "output: " + (out / "b.avi").string())) << r.output;
    EXPECT_TRUE(contains(r.output, "progress: task 1 file -1 ")) << r.output;
    EXPECT_NEAR(duration(out / "a.avi"), 1.0, 0.2);
    EXPECT_NEAR(duration(out / "b.avi"), 1.0, 0.2);
}

TEST_F(CliConvert, JoinMakesOneOutputAsLongAsAllInputs)
{
    const std::vector<std::string> inputs = {clip("a.avi", 1), clip("b.avi", 2), clip("c.avi", 1)};
    const fs::path out = dir_ / "out";
    std::vector<std::string> args = {"--class", "video", "--format", "MP4", "--preset", "2", "--join", "--out",
                                     out.string()};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const CommandResult r = convert(args);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const fs::path joined = out / "Output_Merge.mp4";
    EXPECT_TRUE(contains(r.output, "output: " + joined.string())) << r.output;
    EXPECT_NEAR(duration(joined), 4.0, 0.3);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

TEST_F(CliConvert, AnUnreadableInputFailsTheRunButNotTheOthers)
{
    const std::string good = clip("good.avi", 1);
    const fs::path bad = dir_ / "in" / "bad.avi";
    std::ofstream(bad) << "not a media file";
    const fs::path out = dir_ / "out";
    const CommandResult r =
        convert({"--class", "audio", "--format", "mp3", "--preset", "2", "--out", out.string(), bad.string(), good});
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_TRUE(contains(r.output, "File load error: ")) << r.output;
    EXPECT_TRUE(contains(r.output, "bad.avi")) << r.output;
    EXPECT_TRUE(contains(r.output, "output: " + (out / "good.mp3").string())) << r.output;
    EXPECT_TRUE(fs::exists(out / "good.mp3"));
}

TEST_F(CliConvert, BadArgumentsAreRefusedBeforeAnyWork)
{
    const std::string in = (dir_ / "in" / "x.avi").string();
    const std::string out = (dir_ / "out").string();
    const std::vector<std::vector<std::string>> cases = {
        {"--class", "video", "--format", "NoSuchFormat", "--preset", "0", "--out", out, in},
        {"--class", "audio", "--format", "MP4", "--preset", "0", "--out", out, in},
        {"--class", "video", "--format", "MP4", "--preset", "999", "--out", out, in},
        {"--class", "video", "--format", "MP4", "--preset", "x", "--out", out, in},
        {"--class", "cinema", "--format", "MP4", "--preset", "0", "--out", out, in},
        {"--class", "video", "--format", "MP4", "--preset", "0", in},
        {"--class", "video", "--format", "MP4", "--preset", "0", "--out", out},
        {"--class", "video", "--format", "MP4", "--preset", "0", "--out", out, "--bogus", in},
    };
    for (const auto &args : cases) {
        const CommandResult r = convert(args);
        std::string line;
        for (const auto &a : args)
            line += a + " ";
        EXPECT_EQ(r.exitCode, 2) << line << "\n" << r.output;
    }
    EXPECT_FALSE(fs::exists(out));
}

} // namespace
