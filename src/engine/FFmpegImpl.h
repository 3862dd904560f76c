#pragma once
// Private state of a transcoding task, shared by the option handler
// (FFOptions*.cpp), the file opening and run control (FFmpeg.cpp) and the
// transcoding loop (FFTranscode*.cpp). Not for use outside the engine.

#include "FFLoad.h"
#include "FFLog.h"
#include "FFUtils.h"
#include "FFmpeg.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/audio_fifo.h>
}

namespace quillor {

using OptionPairs = std::vector<std::pair<std::string, std::string>>;

inline constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();
inline constexpr int kMaxStreams = 20;

struct TaskStreamMap {
    int file = 0, stream = 0, syncFile = 0, syncStream = 0;
};

// What an output stream is to become, fixed when the output file is opened
// (or by "newvideo"/"newaudio"/"newsubtitle"); the encoder itself is set
// up when the task starts, once the sources are known.
struct TaskStreamSpec {
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    std::string codecName; // empty: the format's default; "copy"
    bool copy = false;
    // video
    int width = 0, height = 0;
    AVRational frameRate{0, 0};
    bool forceFps = false;
    float aspect = 0; // display aspect; 0 = keep the source's
    AVPixelFormat pixFmt = AV_PIX_FMT_NONE;
    double qscale = -1;
    bool intraOnly = false;
    std::string filters;
    int64_t videoBitrate = -1;
    std::vector<uint16_t> intraMatrix, interMatrix;
    int pass = 0;
    std::string passLogFile;
    std::string forceKeyFrames;
    int64_t maxFrames = kNoLimit;
    // audio
    int sampleRate = 0; // 0 = the source's
    int channels = 0;   // 0 = the source's
    AVSampleFormat sampleFmt = AV_SAMPLE_FMT_NONE;
    int volume = 256;
    int64_t audioBitrate = -1;
    double audioQscale = -1;
    // all
    uint32_t tag = 0;
    std::string language;
    std::vector<std::string> bitstreamFilters;
    int streamId = -1;
    OptionPairs libOptions; // named library options in force, in order
    int threads = 0;
};

struct TaskInputFile {
    AVFormatContext *ctx = nullptr;
    std::string name;
    int64_t tsOffset = 0;  // µs added to every time stamp
    int64_t startTime = 0; // µs: the position read from ("ss" + start)
    int64_t recordingTime = kNoLimit;
    double tsScale[kMaxStreams];
    std::string decoderNames[3]; // forced decoders: video, audio, subtitle
    int firstStream = 0; // index into the run's input stream records
    bool eof = false;
    bool tryAgain = false;
};

struct TaskOutputFile {
    AVFormatContext *ctx = nullptr;
    const AVOutputFormat *format = nullptr;
    std::string name;
    std::vector<TaskStreamSpec> specs;
    int64_t recordingTime = kNoLimit; // µs
    int64_t limitFileSize = 0;
    int64_t startTime = 0;
    OptionPairs formatOptions;
    OptionPairs metadata;
    bool headerWritten = false;
    bool fileOpened = false;
};

struct TaskOptionState {
    // per next input
    std::string forcedFormat;
    int64_t startTime = 0;
    int64_t inputTsOffset = 0;
    std::vector<std::pair<int, double>> tsScale;
    bool loopInput = false;
    int programId = -1;
    std::string vc, tvstd;
    // names of the next decoders (before an input) or encoders (before an output)
    std::string videoCodec, audioCodec, subtitleCodec;
    // per next output
    int frameWidth = 0, frameHeight = 0;
    AVRational frameRate{0, 0};
    bool forceFps = false;
    float aspect = 0;
    bool aspectSet = false;
    AVPixelFormat pixFmt = AV_PIX_FMT_NONE;
    double qscale = -1;
    double audioQscale = -1;
    bool intraOnly = false;
    bool vn = false, an = false, sn = false;
    std::string vlang, alang, slang;
    uint32_t vtag = 0, atag = 0, stag = 0;
    int sampleRate = 0, channels = 0;
    AVSampleFormat sampleFmt = AV_SAMPLE_FMT_NONE;
    int volume = 256;
    int64_t videoBitrate = -1, audioBitrate = -1;
    int64_t recordingTime = kNoLimit;
    int64_t limitFileSize = 0;
    int64_t recTimestamp = 0;
    OptionPairs metadata;
    std::string vfilters;
    std::vector<std::string> vbsf, absf, sbsf;
    float muxDelay = 0.7f, muxPreload = 0.5f;
    int loopOutput = -1;
    int pass = 0;
    std::string passLogFile;
    std::string forceKeyFrames;
    int64_t maxFrames[3] = {kNoLimit, kNoLimit, kNoLimit}; // video, audio, data
    std::vector<uint16_t> intraMatrix, interMatrix;
    std::vector<std::pair<int, int>> streamIds;
    bool deinterlace = false;
    // global
    int threads = 0;
    int vsync = -1;
    int async = 0;
    double adriftThreshold = 0.1;
    bool copyts = false, copytb = false, shortest = false;
    double dtsDeltaThreshold = 10;
    bool xerror = false, copyinkf = false, dump = false, hex = false, re = false;
    bool isync = false;
    std::vector<TaskStreamMap> maps;
    // library options remembered for every context made later
    OptionPairs libOptions;
    OptionPairs formatLibOptions;
};

struct TCustomFFmpeg::Impl {
    TCustomFFmpeg *self;
    int maxFiles;

    // settings
    bool strict = false;
    int verbosity = 1;
    int ioTimeoutMs = 10000;
    int64_t progressInterval = 500000;
    int hookBits = 24;
    std::atomic<uint8_t> previewFlags{0};

    TaskOptionState opt;
    std::string lastLibOptionMessage;

    std::vector<TaskInputFile> inputs;
    std::vector<TaskOutputFile> outputs;
    bool joinRequested = false;
    bool joining = false;

    std::string lastError;
    std::atomic<int64_t> totalDuration{-1};

    // run control
    mutable std::mutex stateMutex;
    std::atomic<bool> running{false};
    std::atomic<bool> ended{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> terminating{false};
    bool finished = false;
    bool exceptionRaised = false;
    std::string exceptionMsg;
    // µs; max = no blocking operation in progress; 0 = cancelled
    std::atomic<int64_t> ioStamp{std::numeric_limits<int64_t>::max()};

    struct DoneEvent {
        std::mutex m;
        std::condition_variable cv;
        bool set = true;
        void reset()
        {
            std::lock_guard<std::mutex> l(m);
            set = false;
        }
        void signal()
        {
            std::lock_guard<std::mutex> l(m);
            set = true;
            cv.notify_all();
        }
        bool isSet()
        {
            std::lock_guard<std::mutex> l(m);
            return set;
        }
    };
    std::shared_ptr<DoneEvent> workerDone = std::make_shared<DoneEvent>();
    std::shared_ptr<DoneEvent> terminateDone = std::make_shared<DoneEvent>();
    std::unique_ptr<TConvertThread> worker;
    std::thread::id runThread;

    explicit Impl(TCustomFFmpeg *s, int m) : self(s), maxFiles(m) {}

    // --- options (FFOptions.cpp) ---
    void handleOption(const std::string &name, const std::string &value);
    bool libraryOption(const std::string &name, const std::string &value);
    void loadPreset(const std::string &kind, const std::string &name);
    void applyTargetOption(const std::string &value);
    void applyTarget(const std::string &target, const std::string &norm, const std::string &fallbackNorm);
    void resetInputOptions();
    void resetOutputOptions();

    // --- files (FFmpeg.cpp) ---
    bool openInput(const std::string &fileName);
    int openOutput(const std::string &fileName, bool join);
    void addStreamSpec(TaskOutputFile &out, AVMediaType type);
    void setupJoin();
    void closeFiles();

    // --- run (FFmpeg.cpp / FFTranscode.cpp) ---
    void runBody();            // the whole task on the current thread
    void transcode();          // the loop; throws FFmpegException
    void reportEnd();

    // logging helpers
    void log(TLogLevel level, const char *fmt, ...) __attribute__((format(printf, 3, 4)));

    // Hands a picture to the preview window's sink; false once it was closed.
    bool showInPreviewWindow(const TTaskPicture &picture, int frameNumber, int64_t pts);

    static bool timeoutCheck(void *owner);
    static bool stopCheck(void *owner);
};

// The library's own message for an error code.
std::string AvErrorString(int code);

int64_t NowMicros();

// Parse helpers shared by the option handler and the loop.
int64_t ParseTime(const std::string &optName, const std::string &value, bool isDuration);
int64_t ParseBitrate(const std::string &value, bool &ok);

// Translations of the older option vocabulary for the codec at hand
// (FFOptionsLegacy.cpp). Returns the pairs to set on a codec context of
// that encoder, logging each translation.
OptionPairs TranslateCodecOptions(const AVCodec *codec, const OptionPairs &pairs, const void *logSender);
// True for an option name of the older vocabulary that TranslateCodecOptions
// understands even though today's libraries have no such option.
bool IsLegacyCodecOption(const std::string &name);
// "libfaac" -> "aac" and the like; empty when no translation applies.
std::string TranslateEncoderName(const std::string &name);

} // namespace quillor
