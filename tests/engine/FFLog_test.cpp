// The engine log: level mapping, line assembly of the library hook, the
// level rules of own messages and delivery on the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <map>
#include <cstdarg>
#include <mutex>
#include <thread>
#include <vector>

#include "FFLoad.h"
#include "FFLog.h"
#include "FFmpeg.h"
#include "MainThreadQueue.h"

using namespace quillor;

namespace {

struct Line {
    std::uint32_t thread;
    TLogLevel level;
    std::string text;
    bool operator==(const Line &) const = default;
};

// A logger that records what it delivers.
struct RecordingLogger {
    TFFLogger logger;
    std::mutex mutex;
    std::vector<Line> lines;
    std::vector<std::thread::id> handlerThreads;

    RecordingLogger()
    {
        ResetLogHookState();
        LibraryLogThreshold = 32; // another test may have left it elsewhere
        logger.SetLogLevel(llInfo);
        logger.TriggerEventInMainThread = false;
        logger.OnLog = [this](const void *, std::uint32_t thread, TLogLevel level, const std::string &text) {
            std::lock_guard lock(mutex);
            lines.push_back({thread, level, text});
            handlerThreads.push_back(std::this_thread::get_id());
        };
    }
    std::vector<std::string> texts()
    {
        std::lock_guard lock(mutex);
        std::vector<std::string> out;
        for (const Line &l : lines)
            out.push_back(l.text);
        return out;
    }
};

void hook(void *context, int level, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    LogHook(context, level, format, args);
    va_end(args);
}

// A context the hook can name, with a parent like a codec inside a format.
struct FakeContext {
    const AVClass *cls;
    FakeContext *parent;
};
const char *fakeName(void *ctx) { return static_cast<FakeContext *>(ctx)->parent ? "h264" : "mov"; }
const AVClass kFakeClass = [] {
    AVClass c{};
    c.class_name = "fake";
    c.item_name = fakeName;
    c.version = LIBAVUTIL_VERSION_INT;
    c.parent_log_context_offset = offsetof(FakeContext, parent);
    return c;
}();

} // namespace

TEST(LogLevels, MapToAndFromLibraryNumbers)
{
    const struct {
        int library;
        TLogLevel level;
    } rows[] = {{-8, llQuiet}, {-7, llPanic}, {-1, llPanic}, {0, llPanic},  {-16, llQuiet}, {-100, llQuiet},
                {8, llFatal},  {16, llError}, {20, llError}, {24, llWarning}, {32, llInfo}, {40, llVerbose},
                {48, llDebug}, {56, llDebug}, {1000, llDebug}};
    for (const auto &r : rows)
        EXPECT_EQ(LevelFromLibrary(r.library), r.level) << r.library;
    for (int l = llQuiet; l <= llDebug; ++l)
        EXPECT_EQ(LevelFromLibrary(LevelToLibrary(TLogLevel(l))), l);
    EXPECT_EQ(LevelToLibrary(llQuiet), -8);
    EXPECT_EQ(LevelToLibrary(llDebug), 48);
}

TEST(Logger, LevelByNameOrNumberAndOneInstanceOnly)
{
    TFFLogger logger;
    logger.SetLogLevelByName("WARNING");
    EXPECT_EQ(logger.LogLevel(), llWarning);
    logger.SetLogLevelByName("20");
    EXPECT_EQ(logger.LogLevel(), llError);
    logger.SetLogLevelByName("verbose");
    EXPECT_EQ(logger.LogLevel(), llVerbose);
    EXPECT_THROW(logger.SetLogLevelByName("loud"), FFmpegException);

    EXPECT_EQ(&GetLogger(), &logger);
    EXPECT_THROW(TFFLogger second, std::logic_error);
}

TEST(Logger, AutoCreatedLoggerMakesWayForTheApplicationsOwn)
{
    TFFLogger *automatic = &GetLogger();
    EXPECT_TRUE(automatic->AutoCreated());
    {
        TFFLogger own;
        EXPECT_FALSE(own.AutoCreated());
        EXPECT_EQ(&GetLogger(), &own);
    }
    EXPECT_TRUE(GetLogger().AutoCreated());
}

TEST(LogHook, RepeatedLinesAreCountedAndReportedBeforeTheNextOne)
{
    RecordingLogger rec;
    for (int i = 0; i < 3; ++i)
        hook(nullptr, 16, "same %s\n", "line");
    EXPECT_EQ(rec.texts(), std::vector<std::string>{"same line"});
    hook(nullptr, 16, "other\n");
    EXPECT_EQ(rec.texts(), (std::vector<std::string>{"same line", "    Last message repeated 2 times", "other"}));
    EXPECT_EQ(rec.lines.back().level, llError);
    EXPECT_EQ(rec.lines.back().thread, CurrentLogThreadId());
}

TEST(LogHook, PiecesMakeOneLineWithThePrefixOnlyAtItsStart)
{
    RecordingLogger rec;
    FakeContext format{&kFakeClass, nullptr};
    FakeContext codec{&kFakeClass, &format};
    hook(&codec, 24, "first %d", 1);
    hook(&codec, 24, ", second\nthird ");
    EXPECT_EQ(rec.texts().size(), 1u);
    hook(&codec, 24, "end\n");
    const auto texts = rec.texts();
    ASSERT_EQ(texts.size(), 2u);
    char parent[64], self[64];
    std::snprintf(parent, sizeof parent, "[mov @ %016" PRIXPTR "] ", reinterpret_cast<std::uintptr_t>(&format));
    std::snprintf(self, sizeof self, "[h264 @ %016" PRIXPTR "]", reinterpret_cast<std::uintptr_t>(&codec));
    EXPECT_EQ(texts[0], std::string(parent) + self + "first 1, second");
    EXPECT_EQ(texts[1], "third end");
    EXPECT_EQ(rec.lines[0].level, llWarning);
}

TEST(LogHook, ThreadsKeepTheirOwnPendingText)
{
    RecordingLogger rec;
    std::uint32_t workerId = 0;
    hook(nullptr, 16, "main starts ");
    std::thread([&] {
        workerId = CurrentLogThreadId();
        hook(nullptr, 16, "worker starts ");
    }).join();
    hook(nullptr, 16, "main ends\n");
    std::thread([&] { hook(nullptr, 16, "never ends\n"); }).join(); // another thread, another entry
    const auto texts = rec.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "main starts main ends");
    EXPECT_EQ(texts[1], "never ends");
    EXPECT_NE(workerId, CurrentLogThreadId());
}

// The same closing piece from two threads ends both lines; it is not a
// repeat of one line.
TEST(LogHook, EqualLineEndsOfTwoThreadsAreNotARepeat)
{
    RecordingLogger rec;
    std::promise<void> workerStarted, mainEnded;
    std::thread worker([&] {
        hook(nullptr, 16, "second ");
        workerStarted.set_value();
        mainEnded.get_future().wait();
        hook(nullptr, 16, "done\n");
    });
    hook(nullptr, 16, "first ");
    workerStarted.get_future().wait();
    hook(nullptr, 16, "done\n");
    mainEnded.set_value();
    worker.join();
    EXPECT_EQ(rec.texts(), (std::vector<std::string>{"first done", "second done"}));
}

TEST(LogHook, LongMessagesAreNotCut)
{
    RecordingLogger rec;
    const std::string longText(10000, 'x');
    hook(nullptr, 16, "%s|%d\n", longText.c_str(), 42);
    ASSERT_EQ(rec.texts().size(), 1u);
    EXPECT_EQ(rec.texts()[0], longText + "|42");
}

// With the library bound, the logger's level decides what the library sends
// and which own messages pass.
TEST(LogHook, ThresholdsOfLibraryAndOwnMessages)
{
    RecordingLogger rec;
    ASSERT_TRUE(FFLoader().LoadOneLibrary(lkAVUtil)) << FFLoader().LastLoadError();
    rec.logger.SetLogLevel(llError);
    EXPECT_EQ(LibraryLogThreshold.load(), 16);

    ff().av_log(nullptr, AV_LOG_WARNING, "library warning\n");
    ff().av_log(nullptr, AV_LOG_ERROR, "library error\n");
    rec.logger.LogMessage(nullptr, llWarning, "own warning");
    rec.logger.LogMessage(nullptr, llVerbose, "own verbose");
    rec.logger.LogFormatted(nullptr, llError, "own %s #%d", "error", 3);
    EXPECT_EQ(rec.texts(), (std::vector<std::string>{"library error", "own verbose", "own error #3"}));

    rec.logger.SetLogLevel(llQuiet);
    rec.lines.clear();
    ff().av_log(nullptr, AV_LOG_PANIC, "library panic\n");
    rec.logger.LogMessage(nullptr, llVerbose, "own verbose");
    rec.logger.LogMessage(nullptr, llPanic, "own panic");
    rec.logger.LogMessage(nullptr, llQuiet, "own quiet");
    EXPECT_EQ(rec.texts(), std::vector<std::string>{"own quiet"});

    FFLoader().UnloadOneLibrary(lkAVUtil);
}

// A worker's line runs on the main thread while the worker waits; the main
// thread can log meanwhile without deadlocking on the log lock.
TEST(LogDelivery, WorkerLinesRunOnTheMainThread)
{
    RecordingLogger rec;
    rec.logger.TriggerEventInMainThread = true;
    MainThreadQueue &queue = MainThreadQueue::instance();
    queue.bindToCurrentThread();

    std::atomic<bool> workerDone{false};
    std::uint32_t workerId = 0;
    std::thread worker([&] {
        workerId = CurrentLogThreadId();
        hook(nullptr, 16, "from worker\n");
        rec.logger.LogMessage(nullptr, llError, "own from worker");
        workerDone = true;
        queue.wake();
    });
    // Wait (without serving) until the worker's first line is queued and
    // the worker blocks on it, then log from here.
    for (int i = 0; i < 10000 && queue.pending() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(queue.pending(), 1u);
    hook(nullptr, 16, "from main\n");
    ASSERT_TRUE(queue.serveUntil([&] { return workerDone.load(); }, std::chrono::seconds(10)));
    worker.join();

    std::lock_guard lock(rec.mutex);
    ASSERT_EQ(rec.lines.size(), 3u);
    for (const auto &t : rec.handlerThreads)
        EXPECT_EQ(t, std::this_thread::get_id());
    EXPECT_EQ(rec.lines[0], (Line{CurrentLogThreadId(), llError, "from main"}));
    EXPECT_EQ(rec.lines[1], (Line{workerId, llError, "from worker"}));
    EXPECT_EQ(rec.lines[2], (Line{workerId, llError, "own from worker"}));
}

// Own messages from several threads at once: every line arrives once, on
// the main thread, with its own thread id and text.
TEST(LogDelivery, ConcurrentMessagesKeepTheirOwnValues)
{
    RecordingLogger rec;
    rec.logger.TriggerEventInMainThread = true;
    MainThreadQueue &queue = MainThreadQueue::instance();
    queue.bindToCurrentThread();

    constexpr int kThreads = 4, kMessages = 50;
    std::atomic<int> finished{0};
    std::vector<std::uint32_t> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            ids[t] = CurrentLogThreadId();
            for (int m = 0; m < kMessages; ++m) {
                rec.logger.LogFormatted(nullptr, llError, "thread %d message %d", t, m);
                hook(nullptr, 16, "library %d ", t);
                hook(nullptr, 16, "line %d\n", m);
            }
            ++finished;
            queue.wake();
        });
    ASSERT_TRUE(queue.serveUntil([&] { return finished == kThreads; }, std::chrono::seconds(30)));
    for (auto &t : threads)
        t.join();
    queue.drain();

    std::lock_guard lock(rec.mutex);
    for (const auto &t : rec.handlerThreads)
        ASSERT_EQ(t, std::this_thread::get_id());
    std::map<std::string, std::uint32_t> seen;
    for (const Line &l : rec.lines)
        seen[l.text] = l.thread;
    for (int t = 0; t < kThreads; ++t)
        for (int m = 0; m < kMessages; ++m) {
            const std::string own = "thread " + std::to_string(t) + " message " + std::to_string(m);
            const std::string library = "library " + std::to_string(t) + " line " + std::to_string(m);
            ASSERT_EQ(seen.count(own), 1u) << own;
            EXPECT_EQ(seen[own], ids[t]) << own;
            ASSERT_EQ(seen.count(library), 1u) << library;
            EXPECT_EQ(seen[library], ids[t]) << library;
        }
}
