#pragma once
// The engine log: one logger per process that turns the libraries' log
// output and the engine's own messages into whole lines.
//
// Library output arrives through LogHook (installed with
// av_log_set_callback when libavutil is bound) on whatever thread the
// library logs from. Pieces are assembled into lines per thread, a line
// that repeats is counted instead of repeated, and every finished line is
// handed to OnLog. With TriggerEventInMainThread the handler runs on the
// main thread (through MainThreadQueue::send) and the logging thread waits
// for it; the log lock is never held during that wait, since the main
// thread logs too.

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>

namespace quillor {

enum TLogLevel : int {
    llQuiet = 0,
    llPanic = 1,
    llFatal = 2,
    llError = 3,
    llWarning = 4,
    llInfo = 5,
    llVerbose = 6,
    llDebug = 7,
};

// Library level numbers: (ordinal - 1) * 8, so llQuiet is -8 and llDebug 48.
int LevelToLibrary(TLogLevel level);
// (v / 8 truncated toward zero) + 1, clamped to llQuiet..llDebug.
TLogLevel LevelFromLibrary(int libraryLevel);
// "quiet" .. "debug".
const char *LevelName(TLogLevel level);

// Library messages above this library level are dropped before any work.
// Follows the logger's LogLevel once the hook is installed.
extern std::atomic<int> LibraryLogThreshold;

// The id the log shows for a thread: the kernel's thread id.
std::uint32_t CurrentLogThreadId();

using TLogEvent = std::function<void(const void *sender, std::uint32_t threadId, TLogLevel level,
                                     const std::string &message)>;

class TFFLogger {
public:
    // Becomes the process's logger. An automatically created one is
    // destroyed first; while another one exists, creation is refused with
    // std::logic_error("Allow creating only one instance of TFFLogger.").
    TFFLogger();
    ~TFFLogger();
    TFFLogger(const TFFLogger &) = delete;
    TFFLogger &operator=(const TFFLogger &) = delete;

    TLogLevel LogLevel() const { return logLevel_.load(); }
    void SetLogLevel(TLogLevel level);
    // A level name (any letter case) or a decimal library level number;
    // other text throws FFmpegException, like every bad option value.
    void SetLogLevelByName(const std::string &name);

    std::atomic<bool> TriggerEventInMainThread{true};
    TLogEvent OnLog; // assign before logging starts

    bool AutoCreated() const { return autoCreated_; }

    // The engine's own messages.
    void LogMessage(const void *sender, TLogLevel level, const std::string &text);
    void LogFormatted(const void *sender, TLogLevel level, const char *format, ...)
        __attribute__((format(printf, 4, 5)));

    // Needs av_log_set_callback and av_log_set_level bound.
    void InstallLogHook();
    // Passes the threshold to the library when av_log_set_level is bound.
    void ApplyLogLevel();

    // Runs OnLog for one line, on the main thread when asked to.
    void Deliver(const void *sender, std::uint32_t threadId, TLogLevel level, const std::string &text);

private:
    friend TFFLogger &GetLogger();
    struct AutoTag {};
    explicit TFFLogger(AutoTag);

    std::atomic<TLogLevel> logLevel_;
    bool autoCreated_ = false;
};

// The process's logger, created (AutoCreated) when there is none.
TFFLogger &GetLogger();

// The av_log callback. Exposed so that tests can feed it directly.
void LogHook(void *context, int libraryLevel, const char *format, va_list args);

// Forgets the per-thread pending texts and the repeat state (tests only).
void ResetLogHookState();

} // namespace quillor
