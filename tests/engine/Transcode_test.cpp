// The transcoding task end to end: real conversions of small fixtures,
// checked with ffprobe.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FFLoad.h"
#include "FFLog.h"
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

std::string LongClip()
{
    return MediaFixture("long-30s.mp4", "-f lavfi -i testsrc=size=320x240:rate=25:duration=30 "
                                        "-f lavfi -i sine=frequency=440:duration=30 -c:v libx264 -preset ultrafast "
                                        "-c:a aac -shortest");
}

// 16-bit samples of a canonical PCM WAV file.
std::vector<int16_t> WavSamples(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t pos = bytes.find("data");
    std::vector<int16_t> out;
    if (pos == std::string::npos)
        return out;
    for (size_t i = pos + 8; i + 1 < bytes.size(); i += 2)
        out.push_back(int16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
    return out;
}

} // namespace

// "video.width": the value of the first stream of that type.
std::string StreamValue(const std::map<std::string, std::string> &p, const std::string &key)
{
    const std::string type = key.substr(0, key.find('.'));
    for (int i = 0; i < 8; ++i)
        if (Value(p, "streams.stream." + std::to_string(i) + ".codec_type") == type)
            return Value(p, "streams.stream." + std::to_string(i) + key.substr(type.size()));
    return "";
}

struct ConversionCase {
    const char *name;
    const char *file;
    Options options;
    std::map<std::string, std::string> expected; // ffprobe keys
};

// What the window's presets ask for, in the 2010 vocabulary, and what the
// file must then hold with today's encoders.
TEST_F(TranscodeTest, ConvertsShortClipsAsThePresetsAsk)
{
    Options mp4 = {{"vcodec", "libx264"}, {"acodec", "libfaac"}, {"s", "320x240"}, {"r", "30"},
                   {"b", "640000"},       {"ab", "128000"},      {"ar", "44100"},  {"ac", "2"}};
    mp4.insert(mp4.end(), kX264Block.begin(), kX264Block.end());
    mp4.push_back({"vpre", "default"});
    const ConversionCase cases[] = {
        {"MP4 with x264 options of the older vocabulary", "a.mp4", mp4,
         {{"video.codec_name", "h264"},
          {"video.width", "320"},
          {"video.height", "240"},
          {"video.r_frame_rate", "30/1"},
          {"audio.codec_name", "aac"},
          {"audio.sample_rate", "44100"},
          {"audio.channels", "2"}}},
        {"AVI with an XviD tag", "b.avi",
         {{"vcodec", "mpeg4"}, {"vtag", "XVID"}, {"acodec", "libmp3lame"}, {"s", "320x240"}, {"r", "25"},
          {"b", "1000000"}, {"ab", "128000"}, {"ar", "44100"}, {"ac", "2"}},
         {{"video.codec_name", "mpeg4"},
          {"video.codec_tag_string", "XVID"},
          {"video.width", "320"},
          {"audio.codec_name", "mp3"},
          {"audio.sample_rate", "44100"}}},
        {"MP3 from a video file", "c.mp3",
         {{"acodec", "libmp3lame"}, {"vn", "1"}, {"ab", "128000"}, {"ar", "44100"}, {"ac", "2"}},
         {{"audio.codec_name", "mp3"}, {"audio.channels", "2"}}},
        {"3GP whose default sound codec has no encoder here", "d.3gp",
         {{"vcodec", "h263"}, {"s", "320x240"}, {"r", "12"}, {"b", "240000"}, {"ac", "1"}, {"ar", "8000"}},
         {{"video.codec_name", "h263"},
          {"video.width", "352"}, // the nearest H.263 picture format
          {"video.height", "288"},
          {"audio.codec_name", "aac"},
          {"audio.sample_rate", "8000"}}},
        {"M4A at a sample rate the encoder does not list", "e.m4a",
         {{"acodec", "libfaac"}, {"vn", "1"}, {"ar", "44800"}, {"ab", "128000"}},
         {{"audio.codec_name", "aac"}, {"audio.sample_rate", "44100"}}},
        {"DVD for PAL", "f.mpg", {{"target", "pal-dvd"}},
         {{"video.codec_name", "mpeg2video"},
          {"video.width", "720"},
          {"video.height", "576"},
          {"video.r_frame_rate", "25/1"},
          {"audio.codec_name", "ac3"},
          {"audio.sample_rate", "48000"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = out(c.file);
        Result r = Convert({H264AacMp4()}, file, c.options);
        ASSERT_TRUE(r.finished) << r.message;
        EXPECT_FALSE(r.exception);
        EXPECT_EQ(r.terminates, 1);
        auto p = ProbeWithFFprobe(file);
        for (auto &[k, v] : c.expected)
            EXPECT_EQ(StreamValue(p, k), v) << k;
        EXPECT_NEAR(Seconds(p, "format.duration"), 6.0, 0.3);
    }
}

TEST_F(TranscodeTest, AnInputWithoutSoundGivesAPictureOnlyFile)
{
    const std::string file = out("silent.mp4");
    Result r = Convert({RawH264()}, file, {{"vcodec", "libx264"}, {"acodec", "libfaac"}, {"ab", "128000"}});
    ASSERT_TRUE(r.finished) << r.message;
    auto p = ProbeWithFFprobe(file);
    EXPECT_EQ(Value(p, "streams.stream.0.codec_name"), "h264");
    EXPECT_EQ(Value(p, "streams.stream.1.codec_name"), "");
}

TEST_F(TranscodeTest, JoinsThreeInputsOneAfterAnother)
{
    const std::string file = out("joined.mp4");
    // the middle one has neither sound nor the same picture size or rate
    Result r = Convert({H264AacMp4(), Mpeg4Mp3Avi(), H264AacMp4()}, file,
                       {{"vcodec", "libx264"}, {"acodec", "aac"}, {"s", "320x240"}}, true);
    ASSERT_TRUE(r.finished) << r.message;
    auto probe = [](const std::string &f) { return Seconds(ProbeWithFFprobe(f), "format.duration"); };
    {
        TCustomFFmpeg task(20);
        task.SetVerbosity(0);
        ASSERT_TRUE(task.OpenInputFile(H264AacMp4()));
        ASSERT_TRUE(task.OpenInputFile(H264AacMp4()));
        ASSERT_EQ(task.OpenOutputFile(out("one.mp4"), true), 1);
        EXPECT_EQ(task.OpenOutputFile(out("two.mp4"), false), -1);
        EXPECT_EQ(task.LastError(), "Cannot join more than one output file.");
    }
    const double sum = 2 * probe(H264AacMp4()) + probe(Mpeg4Mp3Avi());
    EXPECT_NEAR(r.total / 1e6, sum, 0.1);
    auto p = ProbeWithFFprobe(file);
    EXPECT_NEAR(Seconds(p, "streams.stream.0.duration"), sum, 0.3);
    EXPECT_NEAR(Seconds(p, "streams.stream.1.duration"), sum, 0.3); // the sound keeps in step
}

TEST_F(TranscodeTest, StopMidTaskLeavesAValidShorterFile)
{
    const std::string input = LongClip();
    const std::string file = out("stopped.mp4");
    TCustomFFmpeg task(20);
    task.SetStrictOptions(true);
    task.SetVerbosity(0);
    task.SetProgressInterval(100000);
    std::atomic<int64_t> reached{0};
    std::atomic<int> ends{0};
    task.OnProgress = [&](TCustomFFmpeg *, const TTaskProgress &p) { reached = p.CurrentDuration; };
    task.OnTerminate = [&](TCustomFFmpeg *) { ++ends; };
    ASSERT_TRUE(task.OpenInputFile(input)) << task.LastError();
    task.HandleOption("vcodec", "libx264");
    task.HandleOption("acodec", "aac");
    ASSERT_EQ(task.OpenOutputFile(file, false), 1) << task.LastError();
    TConvertThread *worker = task.Start(true);
    ASSERT_NE(worker, nullptr);
    EXPECT_TRUE(worker->Suspended());
    worker->Resume();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (reached < 2000000 && task.Running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(task.Running()) << "the conversion ended before it could be stopped";
    task.Stop(true);
    EXPECT_FALSE(task.Running());
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(task.Finished());
    EXPECT_FALSE(task.Exception()) << task.ExceptionMsg();
    auto p = ProbeWithFFprobe(file); // readable: the trailer was written
    const double d = Seconds(p, "format.duration");
    EXPECT_GT(d, 1.0);
    EXPECT_LT(d, 25.0);
    EXPECT_EQ(Value(p, "streams.stream.0.codec_name"), "h264");
}

TEST_F(TranscodeTest, ProgressOfASoundOnlyOutput)
{
    TCustomFFmpeg task(20);
    task.SetVerbosity(0);
    task.SetProgressInterval(0);
    std::vector<TTaskProgress> reports;
    task.OnProgress = [&](TCustomFFmpeg *, const TTaskProgress &p) { reports.push_back(p); };
    ASSERT_TRUE(task.OpenInputFile(H264AacMp4())) << task.LastError();
    task.HandleOption("vn", "1");
    ASSERT_EQ(task.OpenOutputFile(out("p.mp3"), false), 1);
    task.Start(false);
    ASSERT_TRUE(task.Finished()) << task.ExceptionMsg();
    ASSERT_GE(reports.size(), 2u);
    for (auto &p : reports) {
        EXPECT_EQ(p.FrameNumber, -1);
        EXPECT_EQ(p.FPS, -1);
        EXPECT_EQ(p.Quality, -1.0f);
        EXPECT_EQ(p.TotalDuration, 6000000);
    }
    EXPECT_EQ(reports.front().FileIndex, 0);
    EXPECT_EQ(reports.back().FileIndex, -1);
    EXPECT_NEAR(reports.back().CurrentDuration / 1e6, 6.0, 0.2);
    EXPECT_GT(reports.back().CurrentSize, 0);
}

TEST_F(TranscodeTest, VolumeScalesAndClipsSamples)
{
    const std::string quiet = MediaFixture("quiet.wav", "-f lavfi -i 'aevalsrc=0.25*sin(2*PI*440*t):s=44100:d=1' "
                                                        "-c:a pcm_s16le");
    const std::string loud = MediaFixture("loud.wav", "-f lavfi -i 'aevalsrc=0.9*sin(2*PI*440*t):s=44100:d=1' "
                                                      "-c:a pcm_s16le");
    auto peak = [](const std::vector<int16_t> &s) {
        int m = 0;
        for (int16_t v : s)
            m = std::max(m, std::abs(int(v)));
        return m;
    };
    ASSERT_TRUE(Convert({quiet}, out("q.wav"), {{"vol", "512"}}).finished);
    EXPECT_NEAR(peak(WavSamples(out("q.wav"))), 2 * peak(WavSamples(quiet)), 2);
    ASSERT_TRUE(Convert({loud}, out("l.wav"), {{"vol", "512"}}).finished);
    auto samples = WavSamples(out("l.wav"));
    EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 32767);
    EXPECT_EQ(*std::min_element(samples.begin(), samples.end()), -32768);
}

TEST_F(TranscodeTest, AFailedSetUpEndsTheTaskAndDeletesTheEmptyOutput)
{
    const std::string file = out("never.mp4");
    Result r = Convert({H264AacMp4()}, file, {{"acodec", "nosuch_encoder"}});
    EXPECT_FALSE(r.finished);
    EXPECT_TRUE(r.exception);
    EXPECT_EQ(r.message, "Unknown encoder 'nosuch_encoder'");
    EXPECT_EQ(r.terminates, 1);
    EXPECT_FALSE(fs::exists(file));

    Result experimental = Convert({H264AacMp4()}, out("x.ogg"), {{"vn", "1"}, {"acodec", "vorbis"}});
    EXPECT_EQ(experimental.message, "encoder 'vorbis' is experimental and might produce bad results.\r\n"
                                    "Add '-strict experimental' if you want to use it.\r\n"
                                    "Or use the non experimental encoder 'libvorbis'.");
    EXPECT_TRUE(Convert({H264AacMp4()}, out("x.ogg"), {{"vn", "1"}, {"acodec", "vorbis"}, {"strict", "experimental"}})
                    .finished);

    Result copy = Convert({H264AacMp4()}, out("copy.mp4"), {{"acodec", "copy"}, {"vol", "300"}});
    EXPECT_EQ(copy.message, "-acodec copy and -vol are incompatible (frames are not decoded)");
}

TEST_F(TranscodeTest, StreamCopyKeepsThePackets)
{
    const std::string file = out("copy.mkv");
    Result r = Convert({H264AacMp4()}, file, {{"vcodec", "copy"}, {"acodec", "copy"}});
    ASSERT_TRUE(r.finished) << r.message;
    auto p = ProbeWithFFprobe(file);
    EXPECT_EQ(Value(p, "streams.stream.0.codec_name"), "h264");
    EXPECT_EQ(Value(p, "streams.stream.1.codec_name"), "aac");
    EXPECT_NEAR(Seconds(p, "format.duration"), 6.0, 0.2);
}

TEST_F(TranscodeTest, RecordingLengthAndStartPosition)
{
    const std::string file = out("cut.mp4");
    TCustomFFmpeg task(20);
    task.SetVerbosity(0);
    task.SetStartTime(2000000);
    ASSERT_TRUE(task.OpenInputFile(H264AacMp4()));
    task.HandleOption("t", "3");
    EXPECT_EQ(task.TotalDuration(), 3000000);
    ASSERT_EQ(task.OpenOutputFile(file, false), 1);
    task.Start(false);
    ASSERT_TRUE(task.Finished()) << task.ExceptionMsg();
    auto p = ProbeWithFFprobe(file);
    EXPECT_NEAR(Seconds(p, "format.duration"), 3.0, 0.15);
}

TEST_F(TranscodeTest, HooksSeeAndChangeTheFrames)
{
    const std::string file = out("hooked.mp4");
    TCustomFFmpeg task(20);
    task.SetVerbosity(0);
    int inputCalls = 0, outputCalls = 0, audioCalls = 0;
    int64_t lastPts = -1;
    task.OnVideoInputHook = [&](TCustomFFmpeg *, TTaskPicture &pic, int, int64_t, bool &update, bool &stop) {
        EXPECT_EQ(pic.BitsPixel, 24);
        EXPECT_EQ(pic.Width, 160);
        update = false;
        stop = ++inputCalls == 3; // the hook asks not to be called again
    };
    task.OnVideoOutputHook = [&](TCustomFFmpeg *, TTaskPicture &pic, int frameNumber, int64_t pts, bool &update,
                                 bool &) {
        EXPECT_EQ(frameNumber, outputCalls + 1);
        EXPECT_GT(pts, lastPts);
        lastPts = pts;
        ++outputCalls;
        // paint every picture white
        for (int y = 0; y < pic.Height; ++y)
            std::memset(pic.Data + y * pic.Stride, 0xFF, size_t(pic.Width) * 3);
        update = true;
    };
    task.OnAudioHook = [&](TCustomFFmpeg *, int64_t, uint8_t *samples, int size, int rate, int channels, int) {
        EXPECT_GT(size, 0);
        EXPECT_NE(samples, nullptr);
        EXPECT_GT(rate, 0);
        EXPECT_GT(channels, 0);
        ++audioCalls;
    };
    ASSERT_TRUE(task.OpenInputFile(H264AacMp4()));
    task.HandleOption("vcodec", "mpeg4");
    task.HandleOption("qscale", "2");
    ASSERT_EQ(task.OpenOutputFile(file, false), 1);
    task.Start(false);
    ASSERT_TRUE(task.Finished()) << task.ExceptionMsg();
    EXPECT_EQ(inputCalls, 3);
    EXPECT_EQ(outputCalls, 150);
    EXPECT_GT(audioCalls, 0);
    // the written pictures are the hook's white ones
    const std::string frame = out("frame.pgm");
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -i " + ShellQuote(file) +
                           " -frames:v 1 -ss 1 -pix_fmt gray -f image2 " + ShellQuote(frame))
                              .c_str()),
              0);
    std::ifstream in(frame, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 160u * 120u);
    EXPECT_GT(uint8_t(bytes[bytes.size() - 100]), 240);
}

TEST_F(TranscodeTest, WritesFileNamesInAnyScript)
{
    const std::string file = out("Видео 映像 🎬.mp3");
    Result r = Convert({CyrillicMp4()}, file, {{"acodec", "libmp3lame"}});
    ASSERT_TRUE(r.finished) << r.message;
    EXPECT_GT(fs::file_size(fs::u8path(file)), 1000u);
}

TEST_F(TranscodeTest, TwoPassesShareTheirStatistics)
{
    const std::string log = out("stats");
    for (const char *pass : {"1", "2"}) {
        Result r = Convert({H264AacMp4()}, out(std::string("pass") + pass + ".avi"),
                           {{"vcodec", "mpeg4"}, {"b", "200000"}, {"an", "1"}, {"pass", pass}, {"passlogfile", log}});
        ASSERT_TRUE(r.finished) << pass << ": " << r.message;
    }
    EXPECT_GT(fs::file_size(log + "-0.log"), 100u);
    EXPECT_GT(fs::file_size(out("pass2.avi")), 1000u);
}

TEST_F(TranscodeTest, PreviewFramesAtMostTenPerSecondUntilTheWindowCloses)
{
    int windowFrames = 0, bitmaps = 0;
    TCustomFFmpeg::SetPreviewWindowSink([&](TCustomFFmpeg *, const TTaskPicture &pic, int, int64_t) {
        EXPECT_EQ(pic.Width, 160);
        return ++windowFrames < 2; // the user closes the window after the second picture
    });
    TCustomFFmpeg task(20);
    task.SetVerbosity(0);
    task.SetPreviewFlags(kPreviewWindow | kPreviewBitmap);
    task.OnPreviewBitmap = [&](TCustomFFmpeg *, const TTaskPicture &, int frameNumber, int64_t) {
        EXPECT_GE(frameNumber, 1);
        ++bitmaps;
    };
    ASSERT_TRUE(task.OpenInputFile(LongClip()));
    task.HandleOption("vcodec", "mpeg4");
    task.HandleOption("s", "160x120");
    task.HandleOption("an", "1");
    task.HandleOption("t", "1");
    task.HandleOption("re", "1"); // at the input's own pace: a second of wall time
    ASSERT_EQ(task.OpenOutputFile(out("preview.avi"), false), 1);
    const auto started = std::chrono::steady_clock::now();
    task.Start(false);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    TCustomFFmpeg::SetPreviewWindowSink(nullptr);
    ASSERT_TRUE(task.Finished()) << task.ExceptionMsg();
    EXPECT_EQ(windowFrames, 2);
    EXPECT_EQ(task.PreviewFlags(), kPreviewBitmap);
    EXPECT_GE(bitmaps, 1);
    EXPECT_LE(bitmaps, int(seconds * 10) + 1);

    // a copied picture cannot be previewed
    TCustomFFmpeg copy(20);
    copy.SetVerbosity(0);
    copy.SetPreviewFlags(kPreviewBitmap);
    ASSERT_TRUE(copy.OpenInputFile(H264AacMp4()));
    copy.HandleOption("vcodec", "copy");
    ASSERT_EQ(copy.OpenOutputFile(out("copy.mp4"), false), 1);
    copy.Start(false);
    EXPECT_EQ(copy.ExceptionMsg(), "-vcodec copy and PostHooks are incompatible (frames are not decoded)");
}

TEST_F(TranscodeTest, StreamMapsAreCheckedAtSetUp)
{
    struct Case {
        Options options;
        const char *message;
    } cases[] = {
        {{{"map", "0.0"}}, "Number of stream maps must match number of output streams"},
        {{{"map", "0.1"}, {"map", "0.0"}}, "Codec type mismatch for mapping #0.1 (audio) -> #0.0 (video)"},
        {{{"map", "0.0"}, {"map", "0.7"}}, "Could not find input stream #0.7"},
        {{{"map", "0.0"}, {"map", "0.1:3.0"}}, "Could not find sync stream #3.0"},
        {{{"map", "0.0"}, {"map", "0.1"}}, ""},
    };
    for (const Case &c : cases) {
        Result r = Convert({H264AacMp4()}, out("mapped.avi"), c.options);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.finished, std::string(c.message).empty());
    }
}

TEST_F(TranscodeTest, FileSizeLimitEndsTheConversionEarly)
{
    const std::string file = out("limited.avi");
    Result r = Convert({LongClip()}, file, {{"vcodec", "mpeg4"}, {"b", "2000000"}, {"fs", "300000"}});
    ASSERT_TRUE(r.finished) << r.message;
    EXPECT_LT(fs::file_size(file), 600000u);
    EXPECT_LT(Seconds(ProbeWithFFprobe(file), "format.duration"), 10.0);
}

TEST_F(TranscodeTest, AudioSyncFillsAGapInTheSound)
{
    // two seconds of sound with a one-second hole in its time stamps
    const std::string gap = MediaFixture("gap.mka", "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 "
                                                    "-af \"asetpts='if(gte(T,1),PTS+44100,PTS)'\" -c:a pcm_s16le");
    ASSERT_TRUE(Convert({gap}, out("plain.wav"), {}).finished);
    ASSERT_TRUE(Convert({gap}, out("synced.wav"), {{"async", "1"}}).finished);
    EXPECT_NEAR(WavSamples(out("plain.wav")).size() / 44100.0, 2.0, 0.01);
    EXPECT_NEAR(WavSamples(out("synced.wav")).size() / 44100.0, 3.0, 0.01);
}

// A loopback server that accepts connections and never answers.
TEST_F(TranscodeTest, OpeningAnInputGivesUpAfterTheTimeOut)
{
    int server = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(server, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(server, 4), 0);
    socklen_t len = sizeof addr;
    ::getsockname(server, reinterpret_cast<sockaddr *>(&addr), &len);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/clip.mp4";

    TCustomFFmpeg task(20);
    task.SetVerbosity(0);
    task.SetIOTimeout(300);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(task.OpenInputFile(url));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(task.LastError().rfind(url + ": ", 0), 0u) << task.LastError();
    ::close(server);
}

// The older x264 vocabulary must reach the encoder, not just be accepted:
// libx264 reports the settings it encodes with.
TEST_F(TranscodeTest, OlderX264OptionsReachTheEncoder)
{
    std::mutex m;
    std::string x264Settings;
    GetLogger().TriggerEventInMainThread = false;
    GetLogger().SetLogLevel(llInfo);
    GetLogger().OnLog = [&](const void *, std::uint32_t, TLogLevel, const std::string &text) {
        std::lock_guard<std::mutex> l(m);
        if (text.find("options: cabac=") != std::string::npos)
            x264Settings = text;
    };
    Options o = {{"vcodec", "libx264"}, {"acodec", "libfaac"}, {"an", "1"}};
    o.insert(o.end(), kX264Block.begin(), kX264Block.end());
    o.push_back({"flags2", "-dct8x8"});
    o.push_back({"me_method", "umh"});
    o.push_back({"directpred", "2"});
    Result r = Convert({H264AacMp4()}, out("x264.mp4"), o);
    GetLogger().OnLog = nullptr;
    ASSERT_TRUE(r.finished) << r.message;
    for (const char *want : {"cabac=0", " ref=1 ", "deblock=1:0:0", "me=umh", "subme=5", "chroma_me=1", "trellis=2",
                             "8x8dct=0", "direct=2", "keyint_min=25", "scenecut=40", "crf=24.0",
                             "qpmin=10", "ip_ratio=1.41"})
        EXPECT_NE(x264Settings.find(want), std::string::npos) << want << " in " << x264Settings;
}

// A disk that fills up (here: a file size limit) must fail the task.
TEST_F(TranscodeTest, AnOutputThatCannotBeWrittenFailsTheTask)
{
    const std::string input = H264AacMp4();
    const std::string file = out("full.wav");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {32768, 32768};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        Result r = Convert({input}, file, {{"acodec", "pcm_s16le"}, {"vn", "1"}});
        const bool ok = !r.finished && r.exception && r.message.find("File too large") != std::string::npos && r.terminates == 1;
        if (!ok)
            fprintf(stderr, "finished=%d exception=%d message=%s\n", r.finished, r.exception, r.message.c_str());
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the task did not fail with the file's error";
}
