// quillor-cli probe [--thumbnails] [--log] FILE...
//
// Prints, per file, the values the input list shows as key=value lines
// (a blank line between files). A file that cannot be opened prints the
// probe's error on stderr and makes the exit code 1; the other files are
// still probed. --thumbnails also decodes the picture from the middle of
// each video, as the input list does, and prints its size. --log prints the
// engine's log lines on stderr.
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "CliCommands.h"
#include "FFDecode.h"
#include "FFLoad.h"
#include "FFLog.h"
#include "FFmpeg.h"

namespace quillor::cli {

namespace {

std::string programFolder()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string path(buf, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/'));
}

// "lib" beside the program, else "../lib", else the normal search.
bool loadLibraries(std::string &error)
{
    const std::string folder = programFolder();
    for (const std::string &candidate : {folder + "/lib", folder + "/../lib", std::string()}) {
        FFLoader().SetLibraryFolder(candidate);
        if (FFLoader().LoadLibrarySet(EncoderLibraries))
            return true;
    }
    error = FFLoader().LastLoadError();
    return false;
}

void printLine(const char *key, long long value) { std::printf("%s=%lld\n", key, value); }
void printLine(const char *key, const std::string &value) { std::printf("%s=%s\n", key, value.c_str()); }

bool probeOne(TFFDecoder &probe, const std::string &file, bool thumbnails, bool &printedBefore)
{
    if (!probe.OpenMediaFile(file)) {
        std::fflush(stdout);
        std::fprintf(stderr, "quillor-cli probe: %s\n", probe.LastError().c_str());
        return false;
    }
    if (printedBefore)
        std::putchar('\n');
    printedBefore = true;
    TFileStreamInfo fi;
    probe.ReadFileStreamInfo(fi);
    std::string thumbnail = "none";
    if (thumbnails && probe.FirstVideoStream() >= 0) {
        EngineBitmap bitmap;
        probe.SeekMedia(0, fi.Duration / 2);
        if (probe.DecodeVideoPicture(probe.FirstVideoStream()) && probe.PictureToBitmap(bitmap))
            thumbnail = std::to_string(bitmap.width) + "x" + std::to_string(bitmap.height);
    }
    TVideoStreamInfo vi;
    if (probe.FirstVideoStream() >= 0)
        probe.ReadVideoStreamInfo(probe.FirstVideoStream(), vi);
    TAudioStreamInfo ai;
    if (probe.FirstAudioStream() >= 0)
        probe.ReadAudioStreamInfo(probe.FirstAudioStream(), ai);

    printLine("file", file);
    printLine("duration_us", fi.Duration);
    printLine("start_time_us", fi.StartTime);
    printLine("bit_rate", fi.BitRate);
    printLine("size", probe.MediaFileSize());
    printLine("streams", probe.StreamCount());
    printLine("programs", probe.ProgramCount());
    printLine("video_streams", probe.VideoStreamCount());
    printLine("audio_streams", probe.AudioStreamCount());
    printLine("subtitle_streams", probe.SubtitleStreamCount());
    printLine("first_video_stream", probe.FirstVideoStream());
    printLine("first_audio_stream", probe.FirstAudioStream());
    printLine("first_subtitle_stream", probe.FirstSubtitleStream());
    printLine("title", fi.Title);
    printLine("video.codec", vi.CodecName);
    printLine("video.width", vi.Width);
    printLine("video.height", vi.Height);
    printLine("video.bit_rate", vi.BitRate);
    char dar[32];
    std::snprintf(dar, sizeof dar, "%.4f", static_cast<double>(vi.DisplayAspectRatio));
    printLine("video.display_aspect_ratio", dar);
    printLine("video.frame_rate", std::to_string(vi.FrameRateNum) + "/" + std::to_string(vi.FrameRateDen));
    printLine("video.duration_us", vi.Duration);
    printLine("audio.codec", ai.CodecName);
    printLine("audio.bit_rate", ai.BitRate);
    printLine("audio.sample_rate", ai.SampleRate);
    printLine("audio.channels", ai.Channels);
    printLine("audio.duration_us", ai.Duration);
    if (thumbnails)
        printLine("thumbnail", thumbnail);
    probe.CloseMediaFile();
    return true;
}

} // namespace

int probe(const std::vector<std::string> &args)
{
    bool thumbnails = false;
    bool log = false;
    std::vector<std::string> files;
    for (const std::string &a : args) {
        if (a == "--thumbnails")
            thumbnails = true;
        else if (a == "--log")
            log = true;
        else
            files.push_back(a);
    }
    if (files.empty()) {
        std::fputs("usage: quillor-cli probe [--thumbnails] [--log] FILE...\n", stderr);
        return 2;
    }
    TFFLogger logger;
    logger.TriggerEventInMainThread = false;
    logger.SetLogLevel(log ? llDebug : llQuiet);
    if (log)
        logger.OnLog = [](const void *, std::uint32_t thread, TLogLevel level, const std::string &text) {
            std::fprintf(stderr, "#%u.%d: %s\n", thread, static_cast<int>(level), text.c_str());
        };

    std::string error;
    if (!loadLibraries(error)) {
        std::fprintf(stderr, "quillor-cli probe: %s\n", error.c_str());
        return 1;
    }
    int result = 0;
    TFFDecoder decoder;
    bool printed = false;
    for (const std::string &file : files) {
        try {
            if (!probeOne(decoder, file, thumbnails, printed))
                result = 1;
        } catch (const FFmpegException &e) {
            std::fprintf(stderr, "quillor-cli probe: %s\n", e.what());
            result = 1;
        }
    }
    std::fflush(stdout);
    return result;
}

} // namespace quillor::cli
