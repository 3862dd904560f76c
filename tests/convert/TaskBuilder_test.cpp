#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TaskBuilder.h"

using namespace quillor;
namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "quillor-builder-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path_); }
    const std::string &path() const { return path_; }
    std::string touch(const std::string &name) const
    {
        const std::string p = path_ + "/" + name;
        std::ofstream(p) << "x";
        return p;
    }

private:
    std::string path_;
};

FormatSelection choose(const char *formatName, int preset, const std::string &folder)
{
    const OutputFormat *f = FindFormatByName(formatName);
    FormatSelection sel;
    sel.Class = static_cast<std::uint8_t>(f->Class);
    sel.FormatIndex[sel.Class] = static_cast<std::uint8_t>(f->Index);
    sel.SetPresetOf(*f, preset);
    sel.OutputFolder = folder;
    return sel;
}

ProbedInput probed(const std::string &path, int audioBitRate = -1)
{
    ProbedInput p;
    p.OpenedFileName = path;
    p.FirstAudioBitRate = audioBitRate;
    return p;
}

} // namespace

TEST(TaskOptions, OutputIsNamedAfterTheInputInTheOutputFolder)
{
    TempFolder out;
    OutputNames names;
    const TaskOptions t = BuildTaskOptions(choose("MP3", 2, out.path()), probed("/in/clip.avi"), names);
    EXPECT_EQ(t.Output.FileName, out.path() + "/clip.mp3");
    EXPECT_EQ(t.Output.AudioCodec, "libmp3lame");
    EXPECT_EQ(t.Output.AudioBitrate, 256000);
    EXPECT_EQ(t.Input.FileName, "/in/clip.avi");
    EXPECT_TRUE(t.Input.FileFormat.empty());
    EXPECT_EQ(t.Input.TimeStart, kNoPts);
}

TEST(TaskOptions, OutputNamesNeverReplaceAFile)
{
    struct Case {
        const char *input;       // file name of the input
        std::vector<const char *> present; // files already in the output folder
        const char *format;
        const char *output;
    };
    const Case cases[] = {
        {"clip.avi", {}, "MP3", "clip.mp3"},
        {"clip.avi", {"clip.mp3"}, "MP3", "clip(1).mp3"},
        {"clip.avi", {"clip.mp3", "clip(1).mp3"}, "MP3", "clip(2).mp3"},
        {"my.holiday.v2.mkv", {}, "iPod", "my.holiday.v2.mp4"},
        {"clip", {}, "FLAC", "clip.flac"},
        {"100% done.avi", {"100% done.wav"}, "WAV", "100% done(1).wav"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input);
        TempFolder out;
        for (const char *p : c.present)
            out.touch(p);
        OutputNames names;
        const TaskOptions t =
            BuildTaskOptions(choose(c.format, 0, out.path() + "/"), probed(std::string("/in/") + c.input), names);
        EXPECT_EQ(t.Output.FileName, out.path() + "/" + c.output);
    }
}

TEST(TaskOptions, ConvertingIntoTheInputsOwnFolderKeepsTheInput)
{
    TempFolder folder;
    const std::string input = folder.touch("clip.mp4");
    OutputNames names;
    const TaskOptions t = BuildTaskOptions(choose("MP4", 3, folder.path()), probed(input), names);
    EXPECT_EQ(t.Output.FileName, folder.path() + "/clip(1).mp4");
}

// Two inputs of one run that map to one output name must not write the
// same file: the later task would replace the earlier one's output.
TEST(TaskOptions, InputsOfOneRunGetDistinctOutputs)
{
    TempFolder out;
    OutputNames names;
    const FormatSelection sel = choose("MP4", 3, out.path());
    const std::string a = BuildTaskOptions(sel, probed("/in/a.avi"), names).Output.FileName;
    const std::string b = BuildTaskOptions(sel, probed("/other/a.mkv"), names).Output.FileName;
    const std::string c = BuildTaskOptions(sel, probed("/in/b.avi"), names).Output.FileName;
    EXPECT_EQ(a, out.path() + "/a.mp4");
    EXPECT_EQ(b, out.path() + "/a(1).mp4");
    EXPECT_EQ(c, out.path() + "/b.mp4");

    // A new run starts over.
    OutputNames next;
    EXPECT_EQ(BuildTaskOptions(sel, probed("/in/a.avi"), next).Output.FileName, out.path() + "/a.mp4");
}

TEST(TaskOptions, LosslessWmaUsesTheProbedAudioBitRate)
{
    TempFolder out;
    OutputNames names;
    const FormatSelection sel = choose("WMA", 4, out.path());
    EXPECT_EQ(BuildTaskOptions(sel, probed("/in/a.flac", 705600), names).Output.AudioBitrate, 705600);
    EXPECT_EQ(BuildTaskOptions(sel, probed("/in/silent.avi", -1), names).Output.AudioBitrate, -1);
}

TEST(TaskOptions, DurationTexts)
{
    const std::pair<int64_t, const char *> cases[] = {
        {0, "00:00:00.000"},
        {59999999, "00:00:59.999"},
        {3723500000LL, "01:02:03.500"},
        {2400000000LL, "00:40:00.000"},
        {360000000000LL, "100:00:00.000"},
    };
    for (const auto &[us, text] : cases)
        EXPECT_EQ(FormatDurationText(us), text);
}

namespace {

// Records what the join builder asks of the encoder; failures on demand.
struct FakeEncoder {
    std::vector<std::string> inputs;
    std::string output;
    TOutputOptions outputOptions;
    bool haveTask = false;
    std::string failInput;   // AddTask / AddInputFile of this path fails
    bool failOutput = false;
    int removed = 0;
    std::string lastError;

    int TaskCount() const { return haveTask ? 1 : 0; }
    int AddTask(const std::string &file, TInputOptions &options)
    {
        EXPECT_TRUE(options.FileName.empty());
        if (file == failInput) {
            lastError = file + ": could not find codec parameters";
            return -1;
        }
        haveTask = true;
        inputs.push_back(file);
        return 0;
    }
    bool AddInputFile(int task, const std::string &file, TInputOptions &options)
    {
        EXPECT_EQ(task, 0);
        return AddTask(file, options) >= 0;
    }
    bool SetOutputFile(int task, const std::string &file, TOutputOptions &options)
    {
        EXPECT_EQ(task, 0);
        if (failOutput) {
            lastError = "Could not open output";
            return false;
        }
        output = file;
        outputOptions = options;
        return true;
    }
    void RemoveTask(int task)
    {
        EXPECT_EQ(task, 0);
        EXPECT_TRUE(haveTask);
        haveTask = false;
        ++removed;
    }
    std::string LastError() const { return lastError; }
};

const std::vector<JoinInput> kThreeInputs = {
    {"/in/a.avi", 3000000, 640, 360, 16.0 / 9.0},
    {"/in/b.mp3", 0, -1, -1, 0},
    {"/in/long.mkv", 2400000000LL, 720, 576, 1.25},
};

} // namespace

TEST(JoinTask, AllInputsGoIntoOneTaskWithOneOutput)
{
    TempFolder out;
    out.touch("Output_Merge.mp4");
    FakeEncoder enc;
    OutputNames names;
    const JoinResult r = BuildJoinTask(enc, choose("MP4", 3, out.path()), kThreeInputs, names);

    EXPECT_EQ(enc.inputs, (std::vector<std::string>{"/in/a.avi", "/in/b.mp3", "/in/long.mkv"}));
    EXPECT_EQ(enc.TaskCount(), 1);
    EXPECT_TRUE(r.OutputSet);
    EXPECT_EQ(enc.output, out.path() + "/Output_Merge(1).mp4");
    EXPECT_TRUE(enc.outputOptions.Join);
    EXPECT_EQ(enc.outputOptions.VideoCodec, "libx264");
    // Durations above the 32-bit range count in full; unknown ones not at all.
    EXPECT_EQ(r.TotalDurationUs, 2403000000LL);

    ASSERT_EQ(r.Rows.size(), 3u);
    EXPECT_EQ(r.Rows[0].Caption, "a.avi");
    EXPECT_EQ(r.Rows[0].DurationText, "00:00:03.000");
    EXPECT_EQ(r.Rows[0].SizeText, "640x360");
    EXPECT_EQ(r.Rows[1].DurationText, "Duration is not preseted");
    EXPECT_EQ(r.Rows[1].SizeText, "-1x-1");
    EXPECT_EQ(r.Rows[2].DurationText, "00:40:00.000");
    EXPECT_EQ(r.Rows[2].AspectText, "1.25");
    EXPECT_EQ(r.Rows[2].OutputPath, enc.output);
    EXPECT_EQ(r.LogLines, std::vector<std::string>(3, "File has been added to convert list."));
}

TEST(JoinTask, AFailingInputIsLoggedAndLeftOut)
{
    TempFolder out;
    FakeEncoder enc;
    enc.failInput = "/in/a.avi"; // the first: the task is made by the second
    OutputNames names;
    const JoinResult r = BuildJoinTask(enc, choose("MP3", 2, out.path()), kThreeInputs, names);
    EXPECT_EQ(enc.inputs, (std::vector<std::string>{"/in/b.mp3", "/in/long.mkv"}));
    ASSERT_EQ(r.Rows.size(), 2u);
    EXPECT_EQ(r.Rows[0].Caption, "b.mp3");
    ASSERT_EQ(r.LogLines.size(), 3u);
    EXPECT_EQ(r.LogLines[0], "Adding file error: /in/a.avi: could not find codec parameters");
    EXPECT_EQ(r.TotalDurationUs, 2400000000LL);
    EXPECT_TRUE(r.OutputSet);
}

TEST(JoinTask, AnOutputThatCannotBeSetRemovesTheTask)
{
    TempFolder out;
    FakeEncoder enc;
    enc.failOutput = true;
    OutputNames names;
    const JoinResult r = BuildJoinTask(enc, choose("AVI", 3, out.path()), kThreeInputs, names);
    EXPECT_FALSE(r.OutputSet);
    EXPECT_EQ(enc.removed, 1);
    EXPECT_EQ(enc.TaskCount(), 0);
    EXPECT_EQ(r.LogLines.back(), "Cannot do convert, error: Could not open output");
}

TEST(JoinTask, NoTaskWhenEveryInputFails)
{
    TempFolder out;
    FakeEncoder enc;
    OutputNames names;
    enc.failInput = "/in/only.avi";
    const JoinResult r = BuildJoinTask(enc, choose("AVI", 3, out.path()), {{"/in/only.avi"}}, names);
    EXPECT_FALSE(r.OutputSet);
    EXPECT_EQ(enc.removed, 0); // there is no task 0 to remove
    EXPECT_TRUE(r.Rows.empty());
    EXPECT_EQ(r.LogLines.size(), 1u);
}

TEST(JoinTask, LosslessWmaLeavesTheBitRateToTheLibrary)
{
    TempFolder out;
    FakeEncoder enc;
    OutputNames names;
    BuildJoinTask(enc, choose("WMA", 4, out.path()), kThreeInputs, names);
    EXPECT_EQ(enc.outputOptions.AudioBitrate, -1);
    EXPECT_TRUE(enc.outputOptions.DisableVideo);
    EXPECT_EQ(enc.output, out.path() + "/Output_Merge.wma");
}
