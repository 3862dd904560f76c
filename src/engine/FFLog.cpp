#include "FFLog.h"

#include <cinttypes>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <strings.h>
#include <unistd.h>
#include <vector>

#include "FFLoad.h"
#include "FFmpeg.h"
#include "MainThreadQueue.h"

namespace quillor {

std::atomic<int> LibraryLogThreshold{32};

namespace {

const char *const kLevelNames[] = {"quiet", "panic", "fatal", "error", "warning", "info", "verbose", "debug"};

// The current logger and the one GetLogger made when nobody else did.
std::mutex &loggerMutex()
{
    static std::mutex m;
    return m;
}
TFFLogger *g_current = nullptr;
std::unique_ptr<TFFLogger> &autoLogger()
{
    static std::unique_ptr<TFFLogger> logger;
    return logger;
}

// Line assembly of the hook, guarded by one lock.
struct HookState {
    std::mutex lock;
    std::map<std::uint32_t, std::string> pending; // thread id -> text without its line feed yet
    std::string lastPiece;
    int repeatCount = 0;
};
HookState &hookState()
{
    static HookState *state = new HookState; // outlives every logging thread
    return *state;
}

std::string formatV(const char *format, va_list args)
{
    char small[2048];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0)
        return {};
    if (static_cast<std::size_t>(n) < sizeof small)
        return std::string(small, n);
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    va_copy(copy, args);
    std::vsnprintf(big.data(), big.size(), format, copy);
    va_end(copy);
    big.resize(n);
    return big;
}

std::string contextPrefix(void *context)
{
    if (!context)
        return {};
    const AVClass *cls = *static_cast<const AVClass **>(context);
    if (!cls)
        return {};
    auto itemName = [](void *ctx, const AVClass *c) {
        const char *name = c->item_name ? c->item_name(ctx) : c->class_name;
        return name ? name : "";
    };
    char buf[512];
    std::string prefix;
    if (cls->parent_log_context_offset) {
        void *parent = *reinterpret_cast<void **>(static_cast<char *>(context) + cls->parent_log_context_offset);
        const AVClass *parentClass = parent ? *static_cast<const AVClass **>(parent) : nullptr;
        if (parent && parentClass) {
            std::snprintf(buf, sizeof buf, "[%s @ %016" PRIXPTR "] ", itemName(parent, parentClass),
                          reinterpret_cast<std::uintptr_t>(parent));
            prefix = buf;
        }
    }
    std::snprintf(buf, sizeof buf, "[%s @ %016" PRIXPTR "]", itemName(context, cls),
                  reinterpret_cast<std::uintptr_t>(context));
    prefix += buf;
    return prefix;
}

} // namespace

int LevelToLibrary(TLogLevel level)
{
    return (static_cast<int>(level) - 1) * 8;
}

TLogLevel LevelFromLibrary(int libraryLevel)
{
    int v = libraryLevel / 8 + 1; // C++ division truncates toward zero
    if (v < llQuiet)
        v = llQuiet;
    if (v > llDebug)
        v = llDebug;
    return static_cast<TLogLevel>(v);
}

const char *LevelName(TLogLevel level)
{
    return level >= llQuiet && level <= llDebug ? kLevelNames[level] : "";
}

std::uint32_t CurrentLogThreadId()
{
    return static_cast<std::uint32_t>(::gettid());
}

TFFLogger::TFFLogger()
    : logLevel_(LevelFromLibrary(LibraryLogThreshold.load()))
{
    std::unique_ptr<TFFLogger> replaced;
    std::unique_lock lock(loggerMutex());
    if (g_current && g_current->autoCreated_) {
        replaced = std::move(autoLogger());
        g_current = nullptr;
    }
    if (g_current)
        throw std::logic_error("Allow creating only one instance of TFFLogger.");
    g_current = this;
    // The replaced logger's destructor takes the lock: free it after.
    lock.unlock();
}

TFFLogger::TFFLogger(AutoTag)
    : logLevel_(LevelFromLibrary(LibraryLogThreshold.load())), autoCreated_(true)
{
}

TFFLogger::~TFFLogger()
{
    std::lock_guard lock(loggerMutex());
    if (g_current == this)
        g_current = nullptr;
}

TFFLogger &GetLogger()
{
    std::lock_guard lock(loggerMutex());
    if (!g_current) {
        autoLogger().reset(new TFFLogger(TFFLogger::AutoTag{}));
        g_current = autoLogger().get();
    }
    return *g_current;
}

void TFFLogger::SetLogLevel(TLogLevel level)
{
    if (logLevel_.exchange(level) != level)
        ApplyLogLevel();
}

void TFFLogger::SetLogLevelByName(const std::string &name)
{
    int libraryLevel = 0;
    bool found = false;
    for (int i = llQuiet; i <= llDebug; ++i) {
        if (strcasecmp(name.c_str(), kLevelNames[i]) == 0) {
            libraryLevel = LevelToLibrary(static_cast<TLogLevel>(i));
            found = true;
            break;
        }
    }
    if (!found) {
        try {
            libraryLevel = std::stoi(name);
        } catch (const std::exception &) {
            throw FFmpegException("Invalid log level \"" + name + "\"");
        }
    }
    SetLogLevel(LevelFromLibrary(libraryLevel));
}

void TFFLogger::InstallLogHook()
{
    if (!ff().av_log_set_callback || !ff().av_log_set_level)
        return;
    ff().av_log_set_callback(&LogHook);
    ApplyLogLevel();
}

void TFFLogger::ApplyLogLevel()
{
    if (!ff().av_log_set_level)
        return;
    LibraryLogThreshold = LevelToLibrary(LogLevel());
    ff().av_log_set_level(LibraryLogThreshold.load());
}

void TFFLogger::LogMessage(const void *sender, TLogLevel level, const std::string &text)
{
    const TLogLevel threshold = LogLevel();
    if (level <= threshold || (level == llVerbose && threshold != llQuiet))
        Deliver(sender, CurrentLogThreadId(), level, text);
}

void TFFLogger::LogFormatted(const void *sender, TLogLevel level, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = formatV(format, args);
    va_end(args);
    LogMessage(sender, level, text);
}

void TFFLogger::Deliver(const void *sender, std::uint32_t threadId, TLogLevel level, const std::string &text)
{
    TLogEvent handler = OnLog;
    if (!handler)
        return;
    if (TriggerEventInMainThread)
        MainThreadQueue::instance().send([&] { handler(sender, threadId, level, text); });
    else
        handler(sender, threadId, level, text);
}

void LogHook(void *context, int libraryLevel, const char *format, va_list args)
{
    if (libraryLevel > LibraryLogThreshold.load(std::memory_order_relaxed))
        return;
    const std::uint32_t thread = CurrentLogThreadId();
    std::vector<std::string> lines;
    {
        HookState &s = hookState();
        std::lock_guard lock(s.lock);
        std::string &pending = s.pending[thread];
        std::string piece = formatV(format, args);
        const bool startsLine = pending.empty();
        if (startsLine)
            piece = contextPrefix(context) + piece;
        // Only a whole line counts as a repeat: the end of another thread's
        // line that happens to equal the last piece must still end it.
        if (startsLine && !piece.empty() && piece.back() == '\n' && piece == s.lastPiece) {
            ++s.repeatCount;
            return;
        }
        pending += piece;
        if (s.repeatCount > 0) {
            lines.push_back("    Last message repeated " + std::to_string(s.repeatCount) + " times");
            s.repeatCount = 0;
        }
        s.lastPiece = std::move(piece);
        std::size_t start = 0;
        for (std::size_t lf; (lf = pending.find('\n', start)) != std::string::npos; start = lf + 1)
            lines.push_back(pending.substr(start, lf - start));
        pending.erase(0, start);
    }
    if (lines.empty())
        return;
    // Delivered after the lock is released: the main thread may be logging
    // while this thread waits for it.
    try {
        TFFLogger &logger = GetLogger();
        const TLogLevel level = LevelFromLibrary(libraryLevel);
        for (const std::string &line : lines)
            logger.Deliver(&logger, thread, level, line);
    } catch (...) {
        // A handler's failure must not unwind into the library.
    }
}

void ResetLogHookState()
{
    HookState &s = hookState();
    std::lock_guard lock(s.lock);
    s.pending.clear();
    s.lastPiece.clear();
    s.repeatCount = 0;
}

} // namespace quillor
