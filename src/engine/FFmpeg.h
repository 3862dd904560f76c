#pragma once
// One transcoding job: up to N input files are read, decoded, filtered,
// re-encoded (or copied) and written into one output file.
//
// Life of a task:
//   1. Collecting: options accumulate through HandleOption(); OpenInputFile
//      and OpenOutputFile consume the options in force for the next file.
//      SetupJoin() after the single output is open when joining.
//   2. Start(threaded, priority): runs the transcoding loop on a worker
//      thread (returned suspended: call Resume()) or on the caller's thread.
//   3. Ended: the terminate callback has been called exactly once.
//
// Failures: the open operations return a result and keep LastError();
// HandleOption() throws FFmpegException on a bad value. Everything that
// goes wrong while the loop runs ends the task with Exception() true and
// the text in ExceptionMsg(); nothing is thrown out of Start().
//
// Callbacks are plain std::function slots; an owner (the encoder
// component) fills the ones it needs before Start(). They run on the
// thread that runs the task unless noted.
//
// Toolkit-free: no Qt here, the window and the command-line tool drive
// tasks alike.

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

struct AVFormatContext;

namespace quillor {

class TCustomFFmpeg;

// Every fatal condition inside the engine; caught at the task boundary
// (Start) or by the owner around the option handler and the open calls.
class FFmpegException : public std::exception {
public:
    explicit FFmpegException(std::string message) : message_(std::move(message)) {}
    const char *what() const noexcept override { return message_.c_str(); }
    const std::string &message() const noexcept { return message_; }

private:
    std::string message_;
};

// Scheduling hint for the worker thread. On Linux only the lower
// priorities have an effect (they raise the thread's nice value); the
// higher ones would need privileges we do not ask for.
enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The worker thread of a threaded task. Start() returns it suspended;
// Resume() lets it run. It belongs to the task: the task waits for it in
// Stop(true) and in its destructor, so the owner never frees it.
class TConvertThread {
public:
    virtual ~TConvertThread() = default;
    virtual void Resume() = 0;
    virtual bool Suspended() const = 0;
};

// A picture handed to the video hooks and the preview bitmap callback.
// Packed pixels, top row first, owned by the task and valid during the
// call only. BitsPixel is the task's hook depth (8, 15, 16, 24, 32):
// 24 = B,G,R bytes; 32 = B,G,R,X; 16 = RGB565; 15 = RGB555; 8 = grey.
struct TTaskPicture {
    uint8_t *Data = nullptr;
    int Stride = 0; // bytes per row
    int Width = 0;
    int Height = 0;
    int BitsPixel = 24;
};

// What a progress report carries (the owner adds its task index).
struct TTaskProgress {
    int FileIndex = 0;           // input being read; -1 in the final report
    int64_t TotalDuration = -1;  // µs expected; -1 unknown
    int64_t CurrentDuration = 0; // µs of output produced
    int64_t CurrentSize = 0;     // bytes of the first output file
    float BitRate = 0;           // kbit/s
    float Quality = -1;          // -1 without an encoded video stream
    int FPS = -1;                // -1 without an encoded video stream
    int FrameNumber = -1;        // -1 without an encoded video stream
};

// Preview flag bits (SetPreviewFlags).
inline constexpr uint8_t kPreviewWindow = 1;
inline constexpr uint8_t kPreviewBitmap = 2;

class TCustomFFmpeg {
public:
    // --- callback slots -------------------------------------------------
    // An input has been opened and is about to be analysed (runs on the
    // thread that calls OpenInputFile).
    using BeforeFindStreamInfoFn = std::function<void(TCustomFFmpeg *task, AVFormatContext *input)>;
    using ProgressFn = std::function<void(TCustomFFmpeg *task, const TTaskProgress &progress)>;
    // The task has ended; read Finished()/Exception()/ExceptionMsg().
    // Called exactly once per task, on the thread that ended it.
    using TerminateFn = std::function<void(TCustomFFmpeg *task)>;
    // frameNumber is 1-based on the output stream; pts in µs.
    using PreviewBitmapFn = std::function<void(TCustomFFmpeg *task, const TTaskPicture &picture,
                                               int frameNumber, int64_t pts)>;
    // update (true on entry): write the picture back into the frame.
    // stopHook (false on entry): do not call this hook again for this task.
    using VideoHookFn = std::function<void(TCustomFFmpeg *task, TTaskPicture &picture, int frameNumber,
                                           int64_t pts, bool &update, bool &stopHook)>;
    // Decoded audio before it is converted and encoded, packed
    // (interleaved) samples in sampleFormat (an AVSampleFormat value); the
    // handler may change them in place.
    using AudioHookFn = std::function<void(TCustomFFmpeg *task, int64_t pts, uint8_t *samples, int size,
                                           int sampleRate, int channels, int sampleFormat)>;

    BeforeFindStreamInfoFn OnBeforeFindStreamInfo;
    ProgressFn OnProgress;
    TerminateFn OnTerminate;
    PreviewBitmapFn OnPreviewBitmap;
    VideoHookFn OnVideoInputHook;
    VideoHookFn OnVideoOutputHook;
    AudioHookFn OnAudioHook;

    // The preview window (kPreviewWindow) lives in the window, not in the
    // engine: it installs one process-wide sink, and every task whose
    // flags ask for it hands the sink at most one picture per 100 ms, on
    // the task's thread (the sink marshals to its own thread). The sink
    // returns false once its window has been closed for that task: the
    // task then clears kPreviewWindow and sends no more. An empty sink
    // removes it.
    using PreviewWindowSink = std::function<bool(TCustomFFmpeg *task, const TTaskPicture &picture,
                                                 int frameNumber, int64_t pts)>;
    static void SetPreviewWindowSink(PreviewWindowSink sink);

    // maxFiles: per direction, 1..512; anything else is a programming
    // error and throws std::invalid_argument.
    explicit TCustomFFmpeg(int maxFiles);
    virtual ~TCustomFFmpeg();

    TCustomFFmpeg(const TCustomFFmpeg &) = delete;
    TCustomFFmpeg &operator=(const TCustomFFmpeg &) = delete;

    // --- settings ---------------------------------------------------------
    // Strict: an option that neither the table nor any library context
    // accepts throws instead of being ignored.
    void SetStrictOptions(bool strict);
    void SetVerbosity(int verbosity);           // default 1
    void SetIOTimeout(int milliseconds);        // default 10000
    void SetProgressInterval(int64_t microseconds); // default 500000
    void SetPreviewFlags(uint8_t flags);        // kPreviewWindow | kPreviewBitmap
    uint8_t PreviewFlags() const;
    void SetVideoHookBitsPixel(int bits);       // 8, 15, 16, 24, 32 (default 24)

    // The option handler: one name/value pair, names without the leading
    // "-". Throws FFmpegException on a bad value.
    void HandleOption(const std::string &name, const std::string &value);

    // The "target" option with its norm spelled out: target "vcd", "svcd",
    // "dvd", "dv" or "dv50"; norm "auto", "pal", "ntsc" or "film"; the
    // fallback norm is used when "auto" cannot tell from the frame rates.
    // HandleOption("target", "[pal-|ntsc-|film-]dvd") falls back to NTSC.
    void ApplyTarget(const std::string &target, const std::string &norm, const std::string &fallbackNorm);

    // Shortcuts for the per-next-input settings.
    void SetInputFormat(const std::string &shortName);  // "f" for the next input
    void SetStartTime(int64_t microseconds);            // "ss" for the next input
    void SetProgramID(int programId);                   // "programid"

    // --- files --------------------------------------------------------------
    // UTF-8 names. False with LastError() on failure.
    bool OpenInputFile(const std::string &fileName);
    // The new output count, or -1 with LastError().
    int OpenOutputFile(const std::string &fileName, bool join);
    // After the single output is open: makes a joining task read its
    // inputs one after another into that output. Does nothing unless
    // OpenOutputFile was called with join and the task has two or more
    // inputs.
    void SetupJoin();

    int InputCount() const;
    int OutputCount() const;
    // The opened input's format context (for attaching a probe), or null.
    AVFormatContext *InputContext(int index) const;

    // --- running -------------------------------------------------------------
    // Threaded: returns the worker, suspended (call Resume()); the task
    // owns it. Not threaded: runs the whole job and returns null. Does
    // nothing and returns null when the task is running or has ended.
    TConvertThread *Start(bool threaded, TThreadPriority priority = TThreadPriority::tpNormal);
    // Asks a running task to stop at its next round (blocked I/O returns
    // at once). wait: return when the worker has finished; on the main
    // thread the main-thread call queue is served meanwhile. A task that
    // never started is ended (terminate callback with Finished() false).
    void Stop(bool wait);

    bool Running() const;
    bool Ended() const;
    bool Finished() const;
    bool Exception() const;
    std::string ExceptionMsg() const;
    std::string LastError() const;
    // µs: the longest input, the recording length ("t"), or the sum of
    // the inputs when joining; -1 when unknown.
    int64_t TotalDuration() const;

    struct Impl;

protected:
    // For a derived owner that wants to report its own text.
    void SetLastError(const std::string &text);

private:
    std::unique_ptr<Impl> d_;
    friend struct Impl;
};

} // namespace quillor
