// The encoder component driven through real tasks on small clips that the
// tests make with the ffmpeg command line.

#include "FFEncode.h"
#include "MainThreadQueue.h"
#include "MediaFixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace quillor;
using namespace std::chrono_literals;

namespace {

fs::path g_dir; // outputs of the running test process

// A clip with a test picture and a tone, made once and shared.
fs::path makeClip(const std::string &name, double seconds, const char *size = "160x120", int rate = 25)
{
    char args[512];
    std::snprintf(args, sizeof args,
                  "-f lavfi -i testsrc=size=%s:rate=%d:duration=%g "
                  "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=%g "
                  "-c:v mpeg4 -q:v 5 -c:a pcm_s16le -ac 1",
                  size, rate, seconds, seconds);
    return test::MediaFixture("encoder-" + name, args);
}

double probeDuration(const fs::path &path)
{
    const auto values = test::ProbeWithFFprobe(path.string());
    const auto it = values.find("format.duration");
    return it == values.end() ? -1.0 : std::stod(it->second);
}

// "mpeg4,mjpeg": the codecs of the video streams in stream order.
std::string probeVideoCodecs(const fs::path &path)
{
    const auto values = test::ProbeWithFFprobe(path.string());
    std::string codecs;
    for (int i = 0;; ++i) {
        const std::string prefix = "streams.stream." + std::to_string(i) + ".";
        const auto type = values.find(prefix + "codec_type");
        if (type == values.end())
            break;
        if (type->second == "video")
            codecs += (codecs.empty() ? "" : ",") + values.at(prefix + "codec_name");
    }
    return codecs;
}

int probeVideoHeight(const fs::path &path)
{
    const auto values = test::ProbeWithFFprobe(path.string());
    for (int i = 0;; ++i) {
        const std::string prefix = "streams.stream." + std::to_string(i) + ".";
        const auto type = values.find(prefix + "codec_type");
        if (type == values.end())
            return -1;
        if (type->second == "video")
            return std::stoi(values.at(prefix + "height"));
    }
}

TOutputOptions smallOutput(const fs::path &file)
{
    TOutputOptions o;
    InitOutputOptions(o);
    o.FileName = file.string();
    o.VideoCodec = "mpeg4";
    o.AudioCodec = "pcm_s16le";
    return o;
}

// What the events of one run delivered, and on which threads.
struct Recorder {
    std::mutex mutex;
    std::vector<TTerminateInfo> ends;
    std::vector<std::thread::id> endThreads;
    std::vector<TProgressInfo> progress;
    std::vector<std::thread::id> progressThreads;
    bool runEnded = false;
    bool clearOnRunEnd = false; // as the window does, from the reporting thread

    void attach(TFFEncoder &encoder)
    {
        encoder.OnTerminate = [this](TFFEncoder *sender, const TTerminateInfo &info) {
            if (info.TaskIndex < 0 && clearOnRunEnd)
                sender->ClearTasks();
            std::lock_guard lock(mutex);
            ends.push_back(info);
            endThreads.push_back(std::this_thread::get_id());
            if (info.TaskIndex < 0)
                runEnded = true;
        };
        encoder.OnProgress = [this](TFFEncoder *, TProgressInfo *info) {
            std::lock_guard lock(mutex);
            progress.push_back(*info);
            progressThreads.push_back(std::this_thread::get_id());
        };
    }
    bool ended()
    {
        std::lock_guard lock(mutex);
        return runEnded;
    }
    bool waitForRunEnd(std::chrono::milliseconds timeout = 60s)
    {
        return MainThreadQueue::instance().serveUntil([this] { return ended(); }, timeout);
    }
    std::vector<int> endOrder()
    {
        std::lock_guard lock(mutex);
        std::vector<int> order;
        for (const auto &e : ends)
            order.push_back(e.TaskIndex);
        return order;
    }
};

class EncoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        MainThreadQueue::instance().bindToCurrentThread();
        g_dir = fs::temp_directory_path() / ("quillor-encoder-test-" + std::to_string(::getpid()));
        fs::create_directories(g_dir);
        std::string error;
        ASSERT_TRUE(test::LoadEngineLibraries(&error)) << error;
    }
    static void TearDownTestSuite()
    {
        std::error_code ec;
        fs::remove_all(g_dir, ec);
    }

    // One task from `input` to `output` with small test settings.
    int addTask(TFFEncoder &encoder, const fs::path &input, const fs::path &output)
    {
        TInputOptions in;
        InitInputOptions(in);
        const int index = encoder.AddTask(input.string(), in);
        EXPECT_GE(index, 0) << encoder.LastError();
        TOutputOptions out = smallOutput(output);
        EXPECT_TRUE(encoder.SetOutputFile(index, output.string(), out)) << encoder.LastError();
        return index;
    }
};

// Records the options the encoder hands its tasks instead of applying them.
class RecordingEncoder : public TFFEncoder {
public:
    std::vector<TExtOption> options;

protected:
    class RecordingTask : public TFFmpeg {
    public:
        RecordingTask(TFFEncoder *owner, std::vector<TExtOption> *log) : TFFmpeg(owner, kMaxFilesPerTask), log_(log) {}
        void SetOption(const std::string &name, const std::string &value) override
        {
            log_->emplace_back(name, value);
        }

    private:
        std::vector<TExtOption> *log_;
    };
    std::unique_ptr<TFFmpeg> CreateTask() override { return std::make_unique<RecordingTask>(this, &options); }
};

TEST_F(EncoderTest, InputRecordBecomesOptionsWithCodecLinesButNoStreamLines)
{
    RecordingEncoder encoder;
    TInputOptions in;
    InitInputOptions(in);
    in.FileFormat = "avi";
    in.TimeStart = 2000000;
    in.ProgramID = 1;
    in.ExtOptions = "Threads=2\r\nvf=scale=1:1\r\nacodec=mp3\r\nnewaudio=\r\nvpre=default";
    ASSERT_EQ(encoder.AddTask(makeClip("a1.avi", 1).string(), in), 0) << encoder.LastError();
    const std::vector<TExtOption> expected = {
        {"threads", "2"}, {"acodec", "mp3"}, {"f", "avi"}, {"ss", "2.000000"}, {"programid", "1"}};
    EXPECT_EQ(encoder.options, expected);
}

TEST_F(EncoderTest, OutputRecordBecomesOptionsInItsFixedOrder)
{
    RecordingEncoder encoder;
    ASSERT_EQ(encoder.AddTask(makeClip("a1.avi", 1).string()), 0) << encoder.LastError();
    TOutputOptions o;
    InitOutputOptions(o);
    o.FileFormat = "avi";
    o.MuxDelay = 0.7f;
    o.AudioCodec = "libmp3lame";
    o.AudioVolume = 256;
    o.AudioChannels = 2;
    o.AudioSampleRate = 44100;
    o.AudioBitrate = 128000;
    o.AudioLanguage = "eng";
    o.VideoCodec = "mpeg4";
    o.FrameRate = "25";
    o.FrameSize = "320x240";
    o.AspectRatio = "4:3";
    o.GopSize = 12;
    o.VideoBitrate = 800000;
    o.VideoTag = "XVID";
    o.TimeStart = 1500000;
    o.TimeLength = 5000000;
    o.StreamInfo.Year = 0; // not a year: nothing written
    o.StreamInfo.Track = 3;
    o.StreamInfo.Title = "T";
    o.ExtOptions = "flags=+loop\r\nvcodec=libxvid\r\nnewvideo=\r\nqmin=10\r\n";
    const fs::path output = g_dir / "mapped.avi";
    ASSERT_TRUE(encoder.SetOutputFile(0, output.string(), o)) << encoder.LastError();

    const std::vector<TExtOption> expected = {
        {"acodec", "libmp3lame"}, {"vcodec", "mpeg4"},
        {"flags", "+loop"},       {"qmin", "10"},
        {"f", "avi"},             {"muxdelay", "0.7"},
        {"vol", "256"},           {"ac", "2"},
        {"ar", "44100"},          {"ab", "128000"},
        {"alang", "eng"},         {"async", "0"},
        {"r", "25"},              {"aspect", "4:3"},
        {"g", "12"},              {"vb", "800000"},
        {"vsync", "-1"},          {"vtag", "XVID"},
        {"isync", "0"},           {"ss", "1.500000"},
        {"t", "5.000000"},        {"metadata", "track=3"},
        {"metadata", "title=T"},  {"s", "320x240"},
        // After the output is open: the extra video stream takes the
        // pending codec and the default size.
        {"vcodec", "libxvid"},    {"s", "320x240"},
        {"vf", ""},               {"newvideo", ""},
    };
    EXPECT_EQ(encoder.options, expected);
    EXPECT_EQ(encoder.Task(0)->OutputOptions(0).FileName, output.string());
}

TEST_F(EncoderTest, FirstCodecLineBecomesTheDefaultAndIsConsumedByTheExtraStream)
{
    RecordingEncoder encoder;
    ASSERT_EQ(encoder.AddTask(makeClip("a1.avi", 1).string()), 0) << encoder.LastError();
    TOutputOptions o;
    InitOutputOptions(o);
    o.ExtOptions = "vcodec=mpeg4\r\nvcodec=libxvid\r\nnewvideo=";
    ASSERT_TRUE(encoder.SetOutputFile(0, (g_dir / "pending.avi").string(), o)) << encoder.LastError();
    std::vector<TExtOption> codecs;
    for (const auto &option : encoder.options)
        if (option.first == "vcodec" || option.first == "newvideo")
            codecs.push_back(option);
    const std::vector<TExtOption> expected = {{"vcodec", "mpeg4"}, {"vcodec", "mpeg4"}, {"newvideo", ""}};
    EXPECT_EQ(codecs, expected);
}

TEST_F(EncoderTest, RecordingTimeStampIsLocalStandardTimeTurnedIntoUtc)
{
    // Two hours east of UTC, no daylight saving.
    const char *oldTz = std::getenv("TZ");
    const std::string savedTz = oldTz ? oldTz : "";
    setenv("TZ", "UTC-2", 1);
    tzset();
    auto timestampOf = [](double days) {
        RecordingEncoder encoder;
        EXPECT_EQ(encoder.AddTask(makeClip("a1.avi", 1).string()), 0) << encoder.LastError();
        TOutputOptions o;
        InitOutputOptions(o);
        o.StreamInfo.Timestamp = days;
        EXPECT_TRUE(encoder.SetOutputFile(0, (g_dir / "stamped.avi").string(), o)) << encoder.LastError();
        for (const auto &[name, value] : encoder.options)
            if (name == "timestamp")
                return value;
        return std::string("none");
    };
    EXPECT_EQ(timestampOf(25569.5), "1970-01-01 10:00:00Z"); // noon there
    EXPECT_EQ(timestampOf(-1.0), "none");
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char today[16];
    std::strftime(today, sizeof today, "%Y-%m-%d", &tm);
    EXPECT_EQ(timestampOf(0.0).substr(0, 10), today); // 0 is now
    if (oldTz)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();

    // The task takes the text as a date.
    TFFEncoder encoder;
    ASSERT_EQ(encoder.AddTask(makeClip("a1.avi", 1).string()), 0) << encoder.LastError();
    TOutputOptions o = smallOutput(g_dir / "stamped-real.mkv");
    o.StreamInfo.Timestamp = 40000.25;
    EXPECT_TRUE(encoder.SetOutputFile(0, o.FileName, o)) << encoder.LastError();
}

TEST(EncoderProperties, DefaultsAndProgressIntervalFloor)
{
    TFFEncoder encoder;
    EXPECT_EQ(encoder.Version(), "3.9");
    EXPECT_FALSE(encoder.Preview());
    EXPECT_FALSE(encoder.PreviewBitmap());
    EXPECT_TRUE(encoder.TriggerEventInMainThread);
    EXPECT_EQ(encoder.ProgressInterval(), 500);
    const std::pair<int, int> cases[] = {{50, 100}, {100, 100}, {101, 101}, {0, 100}, {-7, 100}, {2000, 2000}};
    for (const auto &[set, read] : cases) {
        encoder.SetProgressInterval(set);
        EXPECT_EQ(encoder.ProgressInterval(), read) << "set " << set;
    }
}

TEST_F(EncoderTest, AddTaskFailuresLeaveNoTaskAndExplainThemselves)
{
    TFFEncoder encoder;
    Recorder events;
    events.attach(encoder);

    const fs::path missing = g_dir / "no-such-file.avi";
    EXPECT_EQ(encoder.AddTask(missing.string()), -1);
    EXPECT_NE(encoder.LastError().find("no-such-file.avi"), std::string::npos) << encoder.LastError();

    TInputOptions bad;
    InitInputOptions(bad);
    bad.ExtOptions = "no_such_option_anywhere=1";
    EXPECT_EQ(encoder.AddTask(makeClip("a1.avi", 1).string(), bad), -1);
    EXPECT_NE(encoder.LastError().find("no_such_option_anywhere"), std::string::npos) << encoder.LastError();
    EXPECT_EQ(encoder.TaskCount(), 0);

    // An output nobody can write: the task stays for the caller to remove,
    // and removing a task that never ran reports nothing.
    const int index = encoder.AddTask(makeClip("a1.avi", 1).string());
    ASSERT_EQ(index, 0) << encoder.LastError();
    TOutputOptions out = smallOutput(g_dir / "out.qqq");
    EXPECT_FALSE(encoder.SetOutputFile(index, (g_dir / "out.qqq").string(), out));
    EXPECT_NE(encoder.LastError().find("Unable to find a suitable output format for"), std::string::npos)
        << encoder.LastError();
    EXPECT_EQ(encoder.TaskCount(), 1);
    encoder.RemoveTask(index);
    EXPECT_EQ(encoder.TaskCount(), 0);
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(events.endOrder().empty());
}

TEST_F(EncoderTest, InputRecordGetsTheFileNameAndTwentyInputsAreTheLimit)
{
    TFFEncoder encoder;
    const fs::path clip = makeClip("a1.avi", 1);
    TInputOptions in;
    InitInputOptions(in);
    ASSERT_EQ(encoder.AddTask(clip.string(), in), 0) << encoder.LastError();
    EXPECT_EQ(in.FileName, clip.string());
    EXPECT_EQ(encoder.Task(0)->InputOptions(0).FileName, clip.string());
    for (int i = 1; i < TFFEncoder::kMaxFilesPerTask; ++i)
        ASSERT_TRUE(encoder.AddInputFile(0, clip.string())) << i << ": " << encoder.LastError();
    EXPECT_FALSE(encoder.AddInputFile(0, clip.string()));
    EXPECT_EQ(encoder.LastError(), "max input files 20 reached");
}

TEST_F(EncoderTest, ListOperationsRefuseWhileWorkingUntilClearTasks)
{
    TFFEncoder encoder;
    Recorder events;
    events.attach(encoder);
    const fs::path clip = makeClip("a1.avi", 1);
    addTask(encoder, clip, g_dir / "working.avi");
    encoder.StartTask(0); // the run has ended when this returns
    ASSERT_TRUE(encoder.AllEnded());

    TOutputOptions out = smallOutput(g_dir / "x.avi");
    const std::pair<const char *, std::function<void()>> operations[] = {
        {"AddTask", [&] { encoder.AddTask(clip.string()); }},
        {"AddInputFile", [&] { encoder.AddInputFile(0, clip.string()); }},
        {"SetOutputFile", [&] { encoder.SetOutputFile(0, (g_dir / "x.avi").string(), out); }},
        {"RemoveTask", [&] { encoder.RemoveTask(0); }},
        {"StartTask", [&] { encoder.StartTask(1); }},
    };
    for (const auto &[name, call] : operations) {
        try {
            call();
            ADD_FAILURE() << name << " did not refuse";
        } catch (const TFFEncoderBusy &e) {
            EXPECT_EQ(std::string(e.what()), std::string("Cannot ") + name + " while working.");
        }
    }
    EXPECT_EQ(encoder.TaskCount(), 1);
    encoder.ClearTasks();
    EXPECT_EQ(encoder.TaskCount(), 0);
    EXPECT_FALSE(encoder.Working());
    EXPECT_EQ(encoder.AddTask(clip.string()), 0) << encoder.LastError();
}

TEST_F(EncoderTest, UnthreadedRunEndsEveryTaskOnTheCallingThread)
{
    TFFEncoder encoder;
    Recorder events;
    events.attach(encoder);
    for (int i = 0; i < 3; ++i)
        addTask(encoder, makeClip("a1.avi", 1), g_dir / ("calling" + std::to_string(i) + ".avi"));
    encoder.StartTask(0);

    EXPECT_EQ(events.endOrder(), (std::vector<int>{0, 1, 2, -1}));
    for (std::size_t i = 0; i < events.ends.size(); ++i) {
        EXPECT_TRUE(events.ends[i].Finished) << i;
        EXPECT_FALSE(events.ends[i].Exception) << events.ends[i].ExceptionMsg;
        EXPECT_EQ(events.endThreads[i], std::this_thread::get_id());
    }
    for (auto id : events.progressThreads)
        EXPECT_EQ(id, std::this_thread::get_id());
    for (int i = 0; i < 3; ++i)
        EXPECT_GT(fs::file_size(g_dir / ("calling" + std::to_string(i) + ".avi")), 0u);
}

TEST_F(EncoderTest, ThreadedRunReportsInTaskOrderOffTheMainThread)
{
    TFFEncoder encoder;
    Recorder events;
    events.attach(encoder);
    for (int i = 0; i < 3; ++i)
        addTask(encoder, makeClip("a1.avi", 1), g_dir / ("threaded" + std::to_string(i) + ".avi"));
    encoder.StartTask(1);
    ASSERT_TRUE(events.waitForRunEnd());

    EXPECT_EQ(events.endOrder(), (std::vector<int>{0, 1, 2, -1}));
    for (std::size_t i = 0; i < events.ends.size(); ++i) {
        EXPECT_TRUE(events.ends[i].Finished) << i;
        EXPECT_NE(events.endThreads[i], std::this_thread::get_id());
    }
    // Progress is carried to the main thread.
    ASSERT_FALSE(events.progress.empty());
    for (auto id : events.progressThreads)
        EXPECT_EQ(id, std::this_thread::get_id());
    encoder.ClearTasks();
}

TEST_F(EncoderTest, ProgressReportsCarryTheTaskFigures)
{
    TFFEncoder encoder;
    Recorder events;
    events.attach(encoder);
    // An interval longer than the run: only the final report comes.
    encoder.SetProgressInterval(600000);
    const fs::path clip = makeClip("a2.avi", 2);
    addTask(encoder, clip, g_dir / "figures.avi");
    TInputOptions in;
    InitInputOptions(in);
    ASSERT_EQ(encoder.AddTask(clip.string(), in), 1);
    TOutputOptions audioOnly = smallOutput(g_dir / "figures.wav");
    audioOnly.DisableVideo = true;
    ASSERT_TRUE(encoder.SetOutputFile(1, (g_dir / "figures.wav").string(), audioOnly)) << encoder.LastError();
    encoder.StartTask(0);

    ASSERT_EQ(events.progress.size(), 2u);
    const TProgressInfo &video = events.progress[0];
    EXPECT_EQ(video.TaskIndex, 0);
    EXPECT_EQ(video.FileIndex, -1);
    EXPECT_NEAR(video.TotalDuration, 2000000, 100000);
    EXPECT_NEAR(double(video.CurrentDuration), double(video.TotalDuration), 150000.0);
    EXPECT_NEAR(video.FrameNumber, 50, 2);
    EXPECT_GE(video.FPS, 0);
    EXPECT_GT(video.Quality, 0.0f);
    EXPECT_GT(video.CurrentSize, 0);
    EXPECT_LE(video.CurrentSize, int64_t(fs::file_size(g_dir / "figures.avi")));
    EXPECT_NEAR(video.BitRate, video.CurrentSize * 8.0 / (video.CurrentDuration / 1e6) / 1000.0, 1.0);

    const TProgressInfo &audio = events.progress[1];
    EXPECT_EQ(audio.TaskIndex, 1);
    EXPECT_EQ(audio.FrameNumber, -1);
    EXPECT_EQ(audio.FPS, -1);
    EXPECT_EQ(audio.Quality, -1.0f);
    EXPECT_GT(audio.CurrentSize, 0);
}

TEST_F(EncoderTest, StopDuringTheSecondOfThreeTasks)
{
    TFFEncoder encoder;
    Recorder events;
    events.clearOnRunEnd = true;
    events.attach(encoder);
    encoder.SetProgressInterval(100);
    addTask(encoder, makeClip("a1.avi", 1), g_dir / "stop0.avi");
    addTask(encoder, makeClip("long.avi", 30, "320x240"), g_dir / "stop1.avi");
    addTask(encoder, makeClip("a1.avi", 1), g_dir / "stop2.avi");

    bool secondRunning = false;
    encoder.OnProgress = [&](TFFEncoder *, TProgressInfo *info) {
        if (info->TaskIndex == 1 && info->FileIndex >= 0)
            secondRunning = true;
    };
    encoder.StartTask(1);
    ASSERT_TRUE(MainThreadQueue::instance().serveUntil([&] { return secondRunning; }, 60s));
    EXPECT_THROW(encoder.ClearTasks(), TFFEncoderBusy);
    encoder.Stop(true);
    ASSERT_TRUE(events.waitForRunEnd(10s));

    EXPECT_EQ(events.endOrder(), (std::vector<int>{0, 1, 2, -1}));
    std::lock_guard lock(events.mutex);
    EXPECT_TRUE(events.ends[0].Finished);
    EXPECT_FALSE(events.ends[1].Finished);
    EXPECT_FALSE(events.ends[2].Finished);
    EXPECT_TRUE(events.ends[3].Finished);
    for (const auto &e : events.ends)
        EXPECT_FALSE(e.Exception) << e.TaskIndex << ": " << e.ExceptionMsg;
    EXPECT_FALSE(fs::exists(g_dir / "stop2.avi") && fs::file_size(g_dir / "stop2.avi") > 0)
        << "the third task never started";
    EXPECT_EQ(encoder.TaskCount(), 0);
    EXPECT_FALSE(encoder.Working());
}

TEST_F(EncoderTest, StopFromAProgressHandlerOfAnUnthreadedRunReturns)
{
    TFFEncoder encoder;
    Recorder events;
    events.attach(encoder);
    encoder.SetProgressInterval(100);
    encoder.TriggerEventInMainThread = false;
    addTask(encoder, makeClip("long.avi", 30, "320x240"), g_dir / "inner0.avi");
    addTask(encoder, makeClip("a1.avi", 1), g_dir / "inner1.avi");
    addTask(encoder, makeClip("a1.avi", 1), g_dir / "inner2.avi");
    bool stopped = false;
    encoder.OnProgress = [&](TFFEncoder *sender, TProgressInfo *) {
        if (!stopped) {
            stopped = true;
            sender->Stop(true);
        }
    };
    // Runs on a helper thread so that a hang fails the test instead of
    // holding up the suite.
    std::promise<void> done;
    std::thread runner([&] {
        encoder.StartTask(0);
        done.set_value();
    });
    const bool returned = done.get_future().wait_for(30s) == std::future_status::ready;
    if (!returned) {
        ADD_FAILURE() << "StartTask(0) did not return after Stop";
        std::_Exit(1);
    }
    runner.join();
    ASSERT_TRUE(events.ended());
    std::lock_guard lock(events.mutex);
    ASSERT_EQ(events.ends.size(), 4u);
    EXPECT_EQ(events.ends.back().TaskIndex, -1);
    for (std::size_t i = 0; i + 1 < events.ends.size(); ++i)
        EXPECT_FALSE(events.ends[i].Finished) << events.ends[i].TaskIndex;
}

TEST_F(EncoderTest, JoinWritesAllInputsIntoOneFile)
{
    TFFEncoder encoder;
    Recorder events;
    events.attach(encoder);
    encoder.SetProgressInterval(600000);
    const fs::path inputs[] = {makeClip("a1.avi", 1), makeClip("a2.avi", 2), makeClip("a3.avi", 3)};
    ASSERT_EQ(encoder.AddTask(inputs[0].string()), 0) << encoder.LastError();
    ASSERT_TRUE(encoder.AddInputFile(0, inputs[1].string())) << encoder.LastError();
    ASSERT_TRUE(encoder.AddInputFile(0, inputs[2].string())) << encoder.LastError();
    const fs::path output = g_dir / "joined.mkv";
    TOutputOptions out = smallOutput(output);
    out.Join = true;
    ASSERT_TRUE(encoder.SetOutputFile(0, output.string(), out)) << encoder.LastError();
    encoder.StartTask(0);

    ASSERT_EQ(events.endOrder(), (std::vector<int>{0, -1}));
    EXPECT_TRUE(events.ends[0].Finished) << events.ends[0].ExceptionMsg;
    ASSERT_FALSE(events.progress.empty());
    EXPECT_NEAR(events.progress.back().TotalDuration, 6000000, 150000);
    EXPECT_NEAR(probeDuration(output), 6.0, 0.25);
}

TEST_F(EncoderTest, ExtraVideoStreamTakesThePendingCodec)
{
    TFFEncoder encoder;
    Recorder events;
    events.attach(encoder);
    ASSERT_EQ(encoder.AddTask(makeClip("a1.avi", 1).string()), 0) << encoder.LastError();
    const fs::path output = g_dir / "two-video.mkv";
    TOutputOptions out = smallOutput(output);
    out.ExtOptions = "vcodec=mpeg2video\r\nnewvideo=";
    ASSERT_TRUE(encoder.SetOutputFile(0, output.string(), out)) << encoder.LastError();
    encoder.StartTask(0);
    ASSERT_EQ(events.endOrder(), (std::vector<int>{0, -1}));
    EXPECT_TRUE(events.ends[0].Finished) << events.ends[0].ExceptionMsg;
    EXPECT_EQ(probeVideoCodecs(output), "mpeg4,mpeg2video");
}

TEST_F(EncoderTest, HooksRunOnlyForTasksThatAskAndStopWhenTold)
{
    TFFEncoder encoder;
    Recorder events;
    events.attach(encoder);
    const fs::path clip = makeClip("a1.avi", 1);
    int outputCalls = 0;
    int inputCalls = 0;
    int audioCalls = 0;
    std::vector<int> hookTasks;
    encoder.OnVideoOutputHook = [&](TFFEncoder *, THookInfo *info) {
        hookTasks.push_back(info->TaskIndex);
        EXPECT_NE(info->Bitmap, nullptr);
        EXPECT_TRUE(info->Update);
        info->StopHook = ++outputCalls == 3;
    };
    encoder.OnVideoInputHook = [&](TFFEncoder *, THookInfo *) { ++inputCalls; };
    encoder.OnAudioHook = [&](TFFEncoder *, int task, int64_t, uint8_t *samples, int size, int rate, int, int) {
        EXPECT_EQ(task, 1);
        EXPECT_NE(samples, nullptr);
        EXPECT_GT(size, 0);
        EXPECT_EQ(rate, 44100);
        ++audioCalls;
    };
    // Task 0 asks for nothing; task 1 for the output and audio hooks.
    addTask(encoder, clip, g_dir / "hooks0.avi");
    ASSERT_EQ(encoder.AddTask(clip.string()), 1);
    TOutputOptions out = smallOutput(g_dir / "hooks1.avi");
    out.VideoOutputHook = true;
    out.AudioHook = true;
    ASSERT_TRUE(encoder.SetOutputFile(1, out.FileName, out)) << encoder.LastError();
    encoder.StartTask(0);

    ASSERT_EQ(events.endOrder(), (std::vector<int>{0, 1, -1}));
    EXPECT_TRUE(events.ends[1].Finished) << events.ends[1].ExceptionMsg;
    EXPECT_EQ(outputCalls, 3);
    EXPECT_EQ(hookTasks, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(inputCalls, 0);
    EXPECT_GT(audioCalls, 0);
}

TEST_F(EncoderTest, PreviewSwitchesReachEveryTask)
{
    TFFEncoder encoder;
    const fs::path clip = makeClip("a1.avi", 1);
    ASSERT_EQ(encoder.AddTask(clip.string()), 0);
    encoder.SetPreview(true);
    EXPECT_EQ(encoder.Task(0)->PreviewFlags(), kPreviewWindow);
    encoder.SetPreviewBitmap(true);
    ASSERT_EQ(encoder.AddTask(clip.string()), 1);
    EXPECT_EQ(encoder.Task(0)->PreviewFlags(), kPreviewWindow | kPreviewBitmap);
    EXPECT_EQ(encoder.Task(1)->PreviewFlags(), kPreviewWindow | kPreviewBitmap);
    encoder.SetPreview(false);
    EXPECT_EQ(encoder.Task(1)->PreviewFlags(), kPreviewBitmap);
}

TEST_F(EncoderTest, DiscTargetTakesTheChosenNormOrTheFallback)
{
    struct Case {
        int normType;
        int normDefault;
        int inputRate;
        int height;
    };
    // A 15 fps input tells no norm, so detection falls back to NormDefault.
    const Case cases[] = {{1, 2, 15, 576}, {2, 1, 15, 480}, {0, 1, 15, 576}, {0, 2, 15, 480}, {0, 2, 25, 576}};
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "norm " << c.normType << " fallback " << c.normDefault << " rate "
                                          << c.inputRate);
        TFFEncoder encoder;
        Recorder events;
        events.attach(encoder);
        const fs::path input = makeClip("r" + std::to_string(c.inputRate) + ".avi", 1, "160x120", c.inputRate);
        ASSERT_EQ(encoder.AddTask(input.string()), 0) << encoder.LastError();
        const fs::path output = g_dir / ("disc" + std::to_string(&c - cases) + ".mpg");
        TOutputOptions out;
        InitOutputOptions(out);
        out.Target = 3;
        out.NormType = c.normType;
        out.NormDefault = c.normDefault;
        out.AudioBitrate = 64000; // ignored under a target
        ASSERT_TRUE(encoder.SetOutputFile(0, output.string(), out)) << encoder.LastError();
        encoder.StartTask(0);
        ASSERT_EQ(events.endOrder(), (std::vector<int>{0, -1}));
        EXPECT_TRUE(events.ends[0].Finished) << events.ends[0].ExceptionMsg;
        EXPECT_EQ(probeVideoHeight(output), c.height);
    }
}

TEST_F(EncoderTest, RunWithoutTasksEndsAtOnce)
{
    TFFEncoder encoder;
    Recorder events;
    events.attach(encoder);
    encoder.StartTask(1);
    ASSERT_TRUE(events.waitForRunEnd(5s));
    EXPECT_EQ(events.endOrder(), (std::vector<int>{-1}));
    encoder.ClearTasks();
}

} // namespace
