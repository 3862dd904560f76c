// The media probe on fixtures made by ffmpeg, checked against ffprobe.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "FFDecode.h"
#include "FFLoad.h"
#include "FFUtils.h"
#include "FFmpeg.h"
#include "MediaFixtures.h"
#include "UnicodeProtocol.h"

namespace fs = std::filesystem;
using namespace quillor;
using namespace quillor::test;

namespace {

class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(LoadEngineLibraries(&error)) << error;
    }
};

std::int64_t ffprobeMicroseconds(const std::string &seconds)
{
    return seconds.empty() || seconds == "N/A" ? -1 : std::llround(std::stod(seconds) * 1e6);
}

long ffprobeNumber(const std::map<std::string, std::string> &v, const std::string &key, long absent)
{
    auto it = v.find(key);
    return it == v.end() || it->second == "N/A" ? absent : std::stol(it->second);
}

float ffprobeAspect(const std::map<std::string, std::string> &v, const std::string &key)
{
    auto it = v.find(key);
    if (it == v.end() || it->second == "N/A" || it->second == "0:1")
        return 0.0f;
    const auto colon = it->second.find(':');
    return std::stof(it->second.substr(0, colon)) / std::stof(it->second.substr(colon + 1));
}

// The long name our CodecName carries in brackets, or the whole name.
std::string longNameOf(const std::string &codecName)
{
    const auto open = codecName.find('(');
    return open == std::string::npos ? codecName : codecName.substr(open + 1, codecName.size() - open - 2);
}

// Average colour of the bitmap's middle 8x8 pixels (B, G, R).
std::array<int, 3> middleColour(const EngineBitmap &bmp)
{
    std::array<int, 3> sum{};
    for (int y = bmp.height / 2 - 4; y < bmp.height / 2 + 4; ++y)
        for (int x = bmp.width / 2 - 4; x < bmp.width / 2 + 4; ++x)
            for (int c = 0; c < 3; ++c)
                sum[c] += bmp.row(y)[x * 3 + c];
    for (int &c : sum)
        c /= 64;
    return sum;
}

} // namespace

// Every value the input list shows agrees with ffprobe on each fixture.
TEST_F(ProbeTest, ValuesAgreeWithFFprobe)
{
    const std::string files[] = {AudioOnlyMp3(), H264AacMp4(), Mpeg4Mp3Avi(), MkvWithSubtitle(),
                                 StillPng(),     RawH264(),    CyrillicMp4()};
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        const auto ref = ProbeWithFFprobe(file);
        ASSERT_FALSE(ref.empty());
        TFFDecoder probe;
        ASSERT_TRUE(probe.OpenMediaFile(file)) << probe.LastError();

        TFileStreamInfo fi;
        probe.ReadFileStreamInfo(fi);
        EXPECT_EQ(fi.Duration, ffprobeMicroseconds(ref.at("format.duration")));
        EXPECT_EQ(fi.BitRate, ffprobeNumber(ref, "format.bit_rate", 0));
        EXPECT_EQ(probe.MediaFileSize(), ffprobeNumber(ref, "format.size", -1));
        EXPECT_EQ(probe.MediaFileSize(), static_cast<std::int64_t>(fs::file_size(file)));
        EXPECT_EQ(probe.StreamCount(), ffprobeNumber(ref, "format.nb_streams", -1));

        int video = 0, audio = 0, subtitle = 0, firstVideo = -1, firstAudio = -1, firstSubtitle = -1;
        for (int i = 0; i < probe.StreamCount(); ++i) {
            const std::string s = "streams.stream." + std::to_string(i) + ".";
            const std::string type = ref.at(s + "codec_type");
            if (type == "video" && video++ == 0)
                firstVideo = i;
            if (type == "audio" && audio++ == 0)
                firstAudio = i;
            if (type == "subtitle" && subtitle++ == 0)
                firstSubtitle = i;
        }
        EXPECT_EQ(probe.VideoStreamCount(), video);
        EXPECT_EQ(probe.AudioStreamCount(), audio);
        EXPECT_EQ(probe.SubtitleStreamCount(), subtitle);
        EXPECT_EQ(probe.FirstVideoStream(), firstVideo);
        EXPECT_EQ(probe.FirstAudioStream(), firstAudio);
        EXPECT_EQ(probe.FirstSubtitleStream(), firstSubtitle);
        EXPECT_EQ(probe.CurrentStream(), firstVideo >= 0 ? firstVideo : firstAudio);

        if (firstVideo >= 0) {
            const std::string s = "streams.stream." + std::to_string(firstVideo) + ".";
            TVideoStreamInfo vi;
            probe.ReadVideoStreamInfo(-1, vi);
            EXPECT_EQ(vi.Width, ffprobeNumber(ref, s + "width", -1));
            EXPECT_EQ(vi.Height, ffprobeNumber(ref, s + "height", -1));
            EXPECT_EQ(vi.BitRate, ffprobeNumber(ref, s + "bit_rate", 0));
            EXPECT_NEAR(vi.DisplayAspectRatio, ffprobeAspect(ref, s + "display_aspect_ratio"), 1e-4);
            EXPECT_EQ(longNameOf(vi.CodecName), ref.at(s + "codec_long_name"));
            EXPECT_EQ(vi.Duration, ffprobeMicroseconds(ref.count(s + "duration") ? ref.at(s + "duration") : ""));
            EXPECT_GT(vi.FrameRateNum, 0);
            EXPECT_GT(vi.FrameRateDen, 0);
        }
        if (firstAudio >= 0) {
            const std::string s = "streams.stream." + std::to_string(firstAudio) + ".";
            TAudioStreamInfo ai;
            probe.ReadAudioStreamInfo(-1, ai);
            EXPECT_EQ(ai.SampleRate, ffprobeNumber(ref, s + "sample_rate", -1));
            EXPECT_EQ(ai.Channels, ffprobeNumber(ref, s + "channels", -1));
            EXPECT_EQ(ai.BitRate, ffprobeNumber(ref, s + "bit_rate", 0));
            EXPECT_EQ(longNameOf(ai.CodecName), ref.at(s + "codec_long_name"));
        }
    }
}

TEST_F(ProbeTest, SubtitleStreamAndItsLanguage)
{
    TFFDecoder probe;
    ASSERT_TRUE(probe.OpenMediaFile(MkvWithSubtitle())) << probe.LastError();
    EXPECT_EQ(probe.SubtitleStreamCount(), 1);
    EXPECT_EQ(probe.FirstSubtitleStream(), 2);
    TAudioStreamInfo ai;
    probe.ReadAudioStreamInfo(2, ai);
    EXPECT_EQ(probe.LastError(), "stream #2 is not audio stream.");
    EXPECT_EQ(ai.SampleRate, -1);
    TVideoStreamInfo vi;
    probe.ReadVideoStreamInfo(7, vi);
    EXPECT_EQ(probe.LastError(), "stream index #7 is invalid.");
    EXPECT_EQ(vi.Width, -1);
}

// The thumbnail comes from the middle: the clip is red, green, blue for two
// seconds each, so the middle picture is green.
TEST_F(ProbeTest, ThumbnailComesFromTheMiddleOfTheVideo)
{
    for (const std::string &file : {H264AacMp4(), CyrillicMp4()}) {
        SCOPED_TRACE(file);
        TFFDecoder probe;
        ASSERT_TRUE(probe.OpenMediaFile(file)) << probe.LastError();
        TFileStreamInfo fi;
        probe.ReadFileStreamInfo(fi);
        ASSERT_GT(fi.Duration, 5'000'000);
        EXPECT_TRUE(probe.SeekMedia(0, fi.Duration / 2)) << probe.LastError();
        ASSERT_TRUE(probe.DecodeVideoPicture(probe.FirstVideoStream())) << probe.LastError();
        EXPECT_GE(probe.PicturePTS(), fi.Duration / 2 - 100'000);
        EXPECT_LE(probe.PicturePTS(), fi.Duration / 2 + 600'000);

        EngineBitmap bmp;
        ASSERT_TRUE(probe.PictureToBitmap(bmp)) << probe.LastError();
        EXPECT_EQ(bmp.width, 160);
        EXPECT_EQ(bmp.height, 120);
        EXPECT_EQ(bmp.stride % 4, 0);
        const auto bgr = middleColour(bmp);
        EXPECT_GT(bgr[1], 100) << "green";
        EXPECT_LT(bgr[0], 40) << "blue";
        EXPECT_LT(bgr[2], 40) << "red";

        // Back to the start: red.
        EXPECT_TRUE(probe.SeekMedia(0, -5));
        ASSERT_TRUE(probe.DecodeVideoPicture());
        ASSERT_TRUE(probe.PictureToBitmap(bmp));
        EXPECT_GT(middleColour(bmp)[2], 150);
        EXPECT_LT(probe.PicturePTS(), 100'000);
    }
}

// With one key frame at the start there is none after the middle: the
// seek falls back to the one before it instead of losing the thumbnail.
TEST_F(ProbeTest, ThumbnailOfAClipWithOneKeyFrame)
{
    const std::string file =
        MediaFixture("one-key.mp4", "-f lavfi -i testsrc=s=160x120:r=25:d=4 -c:v libx264 -preset ultrafast -g 1000");
    TFFDecoder probe;
    ASSERT_TRUE(probe.OpenMediaFile(file)) << probe.LastError();
    TFileStreamInfo fi;
    probe.ReadFileStreamInfo(fi);
    EXPECT_TRUE(probe.SeekMedia(0, fi.Duration / 2)) << probe.LastError();
    ASSERT_TRUE(probe.DecodeVideoPicture()) << probe.LastError();
    EXPECT_TRUE(probe.PictureKeyFrame());
    EngineBitmap bmp;
    EXPECT_TRUE(probe.PictureToBitmap(bmp));
}

TEST_F(ProbeTest, AudioOnlyFileHasNoVideo)
{
    TFFDecoder probe;
    ASSERT_TRUE(probe.OpenMediaFile(AudioOnlyMp3())) << probe.LastError();
    EXPECT_EQ(probe.FirstVideoStream(), -1);
    EXPECT_EQ(probe.CurrentStream(), probe.FirstAudioStream());
    TVideoStreamInfo vi;
    probe.ReadVideoStreamInfo(-1, vi);
    EXPECT_EQ(probe.LastError(), "no video stream.");
    EXPECT_EQ(vi.Width, -1);
    EXPECT_EQ(vi.Height, -1);
    EXPECT_EQ(vi.DisplayAspectRatio, -1.0f);
    EXPECT_TRUE(vi.CodecName.empty());
    EXPECT_FALSE(probe.DecodeVideoPicture());
    EXPECT_EQ(probe.LastError(), "no video stream.");
    TAudioStreamInfo ai;
    probe.ReadAudioStreamInfo(-1, ai);
    EXPECT_EQ(ai.SampleRate, 44100);
}

// No container duration: Duration is -1 (not the library's marker), half
// of it is 0 and the thumbnail comes from the start.
TEST_F(ProbeTest, StreamWithoutContainerDurationThumbnailsFromTheStart)
{
    TFFDecoder probe;
    ASSERT_TRUE(probe.OpenMediaFile(RawH264())) << probe.LastError();
    TFileStreamInfo fi;
    probe.ReadFileStreamInfo(fi);
    EXPECT_EQ(fi.Duration, -1);
    EXPECT_EQ(fi.StartTime, -1);
    // Raw streams have no index: the rewind to the start must still work.
    EXPECT_TRUE(probe.SeekMedia(0, fi.Duration / 2)) << probe.LastError();
    ASSERT_TRUE(probe.DecodeVideoPicture()) << probe.LastError();
    EXPECT_LT(probe.PicturePTS(), 100'000);
    EngineBitmap bmp;
    EXPECT_TRUE(probe.PictureToBitmap(bmp));
}

TEST_F(ProbeTest, StillImageHasOnePictureAndDoesNotSeek)
{
    TFFDecoder probe;
    ASSERT_TRUE(probe.OpenMediaFile(StillPng())) << probe.LastError();
    EngineBitmap bmp;
    EXPECT_FALSE(probe.PictureToBitmap(bmp));
    EXPECT_EQ(probe.LastError(), "picture not ready, please decode first");

    EXPECT_FALSE(probe.SeekMedia(0, 0));
    EXPECT_EQ(probe.LastError(), "\"image2\" format cannot to be seeked.");
    ASSERT_TRUE(probe.DecodeVideoPicture()) << probe.LastError();
    ASSERT_TRUE(probe.DecodeVideoPicture()) << probe.LastError(); // the stored picture again
    ASSERT_TRUE(probe.PictureToBitmap(bmp));
    EXPECT_EQ(bmp.width, 64);
    EXPECT_EQ(bmp.height, 48);
}

// Reading on past the end: the last pictures still come out of the
// decoder, then the end is reported.
TEST_F(ProbeTest, DecodingToTheEndReportsIt)
{
    TFFDecoder probe;
    ASSERT_TRUE(probe.OpenMediaFile(Mpeg4Mp3Avi())) << probe.LastError();
    int pictures = 0;
    while (probe.DecodeVideoPicture() && pictures < 1000)
        ++pictures;
    EXPECT_EQ(pictures, 50);
    EXPECT_TRUE(probe.EndReached());
    EXPECT_EQ(probe.LastError(), "stream eof reached.");
    EXPECT_FALSE(probe.DecodeVideoPicture());
    EXPECT_TRUE(probe.SeekMedia(0, 0));
    EXPECT_FALSE(probe.EndReached());
    EXPECT_TRUE(probe.DecodeVideoPicture());
}

TEST_F(ProbeTest, DeinterlacedPictureKeepsItsSize)
{
    TFFDecoder probe;
    probe.Deinterlace = true;
    ASSERT_TRUE(probe.OpenMediaFile(Mpeg4Mp3Avi())) << probe.LastError();
    ASSERT_TRUE(probe.DecodeVideoPicture()) << probe.LastError();
    EXPECT_TRUE(probe.Deinterlace) << probe.LastError();
    EngineBitmap bmp;
    ASSERT_TRUE(probe.PictureToBitmap(bmp));
    EXPECT_EQ(bmp.width, 176);
    EXPECT_EQ(bmp.height, 144);
}

// Files the probe cannot use give its error text, naming the file, and
// leave it closed.
TEST_F(ProbeTest, BadInputGivesTheErrorTextAndNoCrash)
{
    std::ifstream in(H264AacMp4(), std::ios::binary);
    const std::string mp4((std::istreambuf_iterator<char>(in)), {});
    std::ifstream in2(MkvWithSubtitle(), std::ios::binary);
    const std::string mkv((std::istreambuf_iterator<char>(in2)), {});
    std::string corrupt = mp4;
    for (std::size_t i = 0; i < corrupt.size(); i += 7)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
    const fs::path folder = fs::path(BytesFixture("placeholder", "")).parent_path() / "a folder.mp4";
    fs::create_directories(folder);

    struct Case {
        const char *what;
        std::string path;
        const char *errorPart; // part of LastError when the open fails
    };
    const Case cases[] = {
        {"empty", BytesFixture("empty.mp4", ""), "Invalid data found when processing input"},
        {"not media", BytesFixture("notes.avi", "These are not the frames you are looking for.\n"), ""},
        {"truncated mp4", BytesFixture("truncated.mp4", mp4.substr(0, mp4.size() / 3)), ""},
        {"corrupt mp4", BytesFixture("corrupt.mp4", corrupt), ""},
        {"directory", folder.string(), ""},
        {"missing", "/nonexistent/clip.mp4", "No such file or directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TFFDecoder probe;
        EXPECT_FALSE(probe.OpenMediaFile(c.path));
        EXPECT_EQ(probe.LastError().rfind(c.path + ": ", 0), 0u) << probe.LastError();
        EXPECT_NE(probe.LastError().find(c.errorPart), std::string::npos) << probe.LastError();
        EXPECT_FALSE(probe.FileOpen());
        EXPECT_EQ(probe.StreamCount(), -1);
        EXPECT_FALSE(probe.DecodeVideoPicture());
        EXPECT_EQ(probe.LastError(), "file not loaded.");
    }

    // A truncated Matroska file still opens; reading it ends cleanly.
    TFFDecoder probe;
    const std::string truncatedMkv = BytesFixture("truncated.mkv", mkv.substr(0, mkv.size() / 2));
    ASSERT_TRUE(probe.OpenMediaFile(truncatedMkv)) << probe.LastError();
    probe.SeekMedia(0, 1'500'000);
    int pictures = 0;
    while (probe.DecodeVideoPicture() && pictures < 100)
        ++pictures;
    EXPECT_LT(pictures, 100);
}

TEST_F(ProbeTest, UnreadableFileGivesPermissionDenied)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    const std::string path = BytesFixture("locked.mp3", "ID3");
    ::chmod(path.c_str(), 0);
    TFFDecoder probe;
    EXPECT_FALSE(probe.OpenMediaFile(path));
    EXPECT_EQ(probe.LastError(), path + ": Permission denied");
    ::chmod(path.c_str(), 0644);
}

TEST_F(ProbeTest, UnknownForcedFormatIsRefused)
{
    TFFDecoder probe;
    EXPECT_FALSE(probe.OpenMediaFile(H264AacMp4(), "nosuchformat"));
    EXPECT_EQ(probe.LastError(), "Unknown input format: nosuchformat");
    ASSERT_TRUE(probe.OpenMediaFile(H264AacMp4(), "mov"));
    EXPECT_EQ(probe.ForcedFormatName(), "mov");
    EXPECT_EQ(probe.OpenedFileName(), H264AacMp4());
    probe.CloseMediaFile();
    EXPECT_EQ(probe.OpenedFileName(), "");
    EXPECT_EQ(probe.LastError(), "file not loaded.");
}

// A context opened elsewhere is read, never seeked, and left open.
TEST_F(ProbeTest, AttachedContextIsReadOnly)
{
    AVFormatContext *ctx = nullptr;
    ASSERT_GE(OpenInputContext(&ctx, H264AacMp4(), nullptr, nullptr), 0);
    ASSERT_GE(ff().avformat_find_stream_info(ctx, nullptr), 0);
    {
        TFFDecoder probe;
        probe.AttachContext(ctx);
        EXPECT_EQ(probe.StreamCount(), 2);
        EXPECT_EQ(probe.OpenedFileName(), H264AacMp4());
        TAudioStreamInfo ai;
        probe.ReadAudioStreamInfo(-1, ai);
        EXPECT_EQ(ai.SampleRate, 44100);
        try {
            probe.SeekMedia(0, 0);
            ADD_FAILURE() << "no exception";
        } catch (const FFmpegException &e) {
            EXPECT_STREQ(e.what(), "file cannot be seeked, handle is readonly.");
        }
        EXPECT_THROW(probe.DecodeVideoPicture(), FFmpegException);
    }
    // Still usable after the probe is gone.
    EXPECT_GT(ctx->nb_streams, 0u);
    EXPECT_NE(ctx->streams[0]->codecpar, nullptr);
    CloseInputContext(&ctx);
    EXPECT_EQ(ctx, nullptr);
}

// A context made by hand: no byte reader, so the size comes from the file
// system; a time base with a zero denominator is repaired before times are
// converted.
TEST_F(ProbeTest, AttachedContextWithoutReaderAndWithABrokenTimeBase)
{
    const std::string file = AudioOnlyMp3();
    AVFormatContext *ctx = ff().avformat_alloc_context();
    ASSERT_NE(ctx, nullptr);
    ctx->url = ff().av_strdup(file.c_str());
    AVStream *st = ff().avformat_new_stream(ctx, nullptr);
    ASSERT_NE(st, nullptr);
    st->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    st->codecpar->codec_id = AV_CODEC_ID_NONE;
    st->codecpar->codec_tag = 'X' | 'V' << 8 | 'I' << 16 | 'D' << 24;
    st->time_base = AVRational{3, 0};
    st->start_time = 2;
    st->duration = 10;
    {
        TFFDecoder probe;
        probe.AttachContext(ctx);
        EXPECT_EQ(probe.MediaFileSize(), static_cast<std::int64_t>(fs::file_size(file)));
        EXPECT_EQ(probe.CurrentStream(), 0);
        TAudioStreamInfo ai;
        probe.ReadAudioStreamInfo(-1, ai);
        EXPECT_EQ(st->time_base.num, 3);
        EXPECT_EQ(st->time_base.den, 3);
        EXPECT_EQ(ai.StreamStartTime, 2);
        EXPECT_EQ(ai.StartTime, 2'000'000);
        EXPECT_EQ(ai.Duration, 10'000'000);
        EXPECT_EQ(ai.CodecName, "XVID / 0x44495658");
    }
    ff().avformat_free_context(ctx);
}

TEST(ProbeWithoutLibraries, RefusesWithTheLibraryText)
{
    FFLoader().UnloadLibrarySet(AllLibraries);
    TFFDecoder probe;
    try {
        probe.OpenMediaFile("/tmp/any.mp4");
        ADD_FAILURE() << "no exception";
    } catch (const FFmpegException &e) {
        EXPECT_STREQ(e.what(), "LibAVCodec not loaded.");
    }
    ASSERT_TRUE(FFLoader().LoadOneLibrary(lkAVUtil));
    ASSERT_TRUE(FFLoader().LoadOneLibrary(lkSwResample));
    ASSERT_TRUE(FFLoader().LoadOneLibrary(lkAVCodec));
    EXPECT_THROW(probe.AttachContext(reinterpret_cast<AVFormatContext *>(&probe)), FFmpegException);
    EXPECT_EQ(probe.LastError(), "LibAVFormat not loaded.");
    FFLoader().UnloadLibrarySet(AllLibraries);
}

TEST(CodecName, RulesForDecodersTagsAndIds)
{
    const struct {
        const char *name;
        const char *longName;
        int id;
        const char *own;
        std::uint32_t tag;
        const char *expected;
    } rows[] = {
        {"h264", "H.264 / AVC", 27, "h264", 0, "h264(H.264 / AVC)"},
        {"pcm_s16le", "   ", 65536, nullptr, 1, "pcm_s16le"},
        {nullptr, nullptr, 0x20000, nullptr, 0, "mpeg2ts"},
        {nullptr, nullptr, 99999, " prores_raw ", 0, "prores_raw"},
        {nullptr, nullptr, 0, nullptr, 'X' | 'V' << 8 | 'I' << 16 | 'D' << 24, "XVID / 0x44495658"},
        {nullptr, nullptr, 0, "", 0x00020001, "0x20001"},
        {nullptr, nullptr, 0, nullptr, 0x1F, "0x001f"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(CodecNameFromParts(r.name, r.longName, r.id, r.own, r.tag), r.expected);
}

TEST(LibraryErrorText, NamesTheFileAndTheLibraryText)
{
    std::string error;
    ASSERT_TRUE(LoadEngineLibraries(&error)) << error;
    EXPECT_EQ(LibraryErrorText("a.mp4", AVERROR(ENOENT)), "a.mp4: No such file or directory");
    EXPECT_EQ(LibraryErrorText("a.mp4", AVERROR_INVALIDDATA), "a.mp4: Invalid data found when processing input");
    EXPECT_EQ(LibraryErrorText("a.mp4", AVERROR_DECODER_NOT_FOUND), "a.mp4: Decoder not found");
    EXPECT_EQ(LibraryErrorText("x", -123456789), "x: Error number -123456789 occurred");
}
