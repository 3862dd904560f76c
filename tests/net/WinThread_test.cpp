#include "NetTestSupport.h"
#include "WinThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace quillor;
using namespace std::chrono_literals;

namespace {

struct ThreadTest : ::testing::Test {
    void SetUp() override { test::bindMainThread(); }
    void TearDown() override
    {
        // Every worker a test started has gone by the end of the test.
        MainThreadQueue::instance().serveUntil([] { return TEventWinThread::liveThreads() == 0; }, 5s);
        EXPECT_EQ(TEventWinThread::liveThreads(), 0);
    }

    std::mutex mutex;
    std::vector<std::string> log;
    void add(const std::string &s)
    {
        std::lock_guard lock(mutex);
        log.push_back(s);
    }
    std::vector<std::string> logged()
    {
        std::lock_guard lock(mutex);
        return log;
    }
};

bool onMain()
{
    return MainThreadQueue::instance().onMainThread();
}

TEST_F(ThreadTest, JobSynchronizesToMainThreadAndCompletesThere)
{
    TCustomWinThread thread;
    thread.SetOnExecute(
        [&](const ThreadData &, TEventWinThread &self) {
            add(onMain() ? "execute on main" : "execute on worker");
            self.Synchronize([&] { add(onMain() ? "sync on main" : "sync on worker"); });
        },
        nullptr);
    thread.SetOnTerminate([&](const ThreadData &, TEventWinThread &) {
        add(onMain() ? "terminate on main" : "terminate on worker");
    });
    ASSERT_TRUE(thread.Start());
    MainThreadQueue::instance().serveUntil([&] { return logged().size() == 3 && !thread.IsRunning(); }, 5s);
    EXPECT_EQ(logged(), (std::vector<std::string>{"execute on worker", "sync on main", "terminate on main"}));
}

TEST_F(ThreadTest, JobExceptionsReachOnErrorOrStayInTheThread)
{
    for (bool handle : {true, false}) {
        SCOPED_TRACE(handle ? "handled" : "not handled");
        log.clear();
        TCustomWinThread thread;
        thread.HandleException = handle;
        thread.SetOnExecute([](const ThreadData &, TEventWinThread &) { throw std::runtime_error("boom"); }, nullptr);
        thread.SetOnError([&](const ThreadData &, std::exception_ptr) { add(onMain() ? "error on main" : "error"); });
        thread.SetOnTerminate([&](const ThreadData &, TEventWinThread &) { add("terminate"); });
        auto object = thread.Thread();
        ASSERT_TRUE(thread.Start());
        auto started = thread.Thread();
        MainThreadQueue::instance().serveUntil([&] { return started->Finished.load(); }, 5s);
        MainThreadQueue::instance().drain();
        if (handle) {
            EXPECT_EQ(logged(), (std::vector<std::string>{"error on main", "terminate"}));
        } else {
            // Not reported, and not fatal to the process either.
            EXPECT_EQ(logged(), (std::vector<std::string>{"terminate"}));
            EXPECT_TRUE(started->FatalException);
        }
    }
}

TEST_F(ThreadTest, StartWhileRunningAbandonsThePreviousJob)
{
    TCustomWinThread thread;
    std::atomic<int> generation{0};
    std::atomic<int> finishedJobs{0};
    thread.SetOnExecute(
        [&](const ThreadData &, TEventWinThread &self) {
            const int mine = ++generation;
            while (!self.IsTerminated() && mine == 1)
                std::this_thread::sleep_for(1ms);
            // The first job goes on after it was abandoned; its calls to the
            // main thread must go nowhere.
            const bool delivered = self.Synchronize([&, mine] { add("sync " + std::to_string(mine)); });
            if (mine == 1)
                EXPECT_FALSE(delivered);
            ++finishedJobs;
        },
        nullptr);
    thread.SetOnTerminate([&](const ThreadData &, TEventWinThread &) { add("terminate"); });
    ASSERT_TRUE(thread.Start());
    MainThreadQueue::instance().serveUntil([&] { return thread.IsRunning(); }, 5s);
    ASSERT_TRUE(thread.Start());
    MainThreadQueue::instance().serveUntil([&] { return finishedJobs == 2 && !thread.IsRunning(); }, 5s);
    MainThreadQueue::instance().drain();
    EXPECT_EQ(logged(), (std::vector<std::string>{"sync 2", "terminate"}));
}

TEST_F(ThreadTest, SoftStopIsOnlyARequest)
{
    TCustomWinThread thread;
    std::atomic<bool> release{false};
    thread.SetOnExecute(
        [&](const ThreadData &, TEventWinThread &) {
            while (!release)
                std::this_thread::sleep_for(1ms);
        },
        nullptr);
    thread.SetOnTerminate([&](const ThreadData &, TEventWinThread &) { add("terminate"); });
    thread.Start();
    MainThreadQueue::instance().serveUntil([&] { return thread.IsRunning(); }, 5s);
    thread.Stop(false);
    EXPECT_TRUE(thread.IsTerminated());
    MainThreadQueue::instance().serveUntil([] { return false; }, 50ms);
    EXPECT_TRUE(thread.IsRunning());
    release = true;
    MainThreadQueue::instance().serveUntil([&] { return !thread.IsRunning(); }, 5s);
    MainThreadQueue::instance().drain();
    EXPECT_EQ(logged(), (std::vector<std::string>{"terminate"}));
}

TEST_F(ThreadTest, DestroyingWhileTheJobWaitsInSynchronizeDoesNotDeadlock)
{
    std::atomic<int> skipped{0};
    std::atomic<bool> inSync{false};
    {
        TCustomWinThread thread;
        thread.SetOnExecute(
            [&](const ThreadData &, TEventWinThread &self) {
                inSync = true;
                while (!self.IsTerminated())
                    if (!self.Synchronize([&] { add("sync"); }))
                        ++skipped;
                // One more after the owner is gone: skipped, and the job
                // still ends.
                if (!self.Synchronize([&] { add("late"); }))
                    ++skipped;
            },
            nullptr);
        thread.SetOnTerminate([&](const ThreadData &, TEventWinThread &) { add("terminate"); });
        thread.Start();
        // Do not serve: the worker is blocked in its first Synchronize.
        while (!inSync)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(logged(), std::vector<std::string>{});
    EXPECT_GE(skipped.load(), 1);
}

TEST_F(ThreadTest, BlockingStartServesCallsAndHonoursItsTimeout)
{
    struct Case {
        const char *name;
        bool keepRunning; // what the timeout handler answers
        bool expectedResult;
    } cases[] = {{"killed", false, false}, {"kept", true, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        TCustomWinThread thread;
        std::atomic<bool> release{false};
        thread.WaitThread = true;
        thread.WaitTimeout = 100;
        thread.SetOnExecute(
            [&](const ThreadData &, TEventWinThread &self) {
                self.Synchronize([&] { add("sync"); });
                while (!release && !self.IsTerminated())
                    std::this_thread::sleep_for(1ms);
            },
            nullptr);
        thread.SetOnTerminate([&](const ThreadData &, TEventWinThread &) { add("terminate"); });
        int timeouts = 0;
        thread.OnWaitTimeoutExpired = [&](TCustomWinThread &, bool &terminate) {
            ++timeouts;
            terminate = !c.keepRunning;
        };
        EXPECT_EQ(thread.Start(), c.expectedResult);
        EXPECT_EQ(timeouts, 1);
        release = true;
        MainThreadQueue::instance().serveUntil([&] { return TEventWinThread::liveThreads() == 0; }, 5s);
        MainThreadQueue::instance().drain();
        if (c.keepRunning)
            EXPECT_EQ(logged(), (std::vector<std::string>{"sync", "terminate"}));
        else
            EXPECT_EQ(logged(), (std::vector<std::string>{"sync"}));
    }
}

TEST_F(ThreadTest, BlockingStartReturnsWhenTheJobEnds)
{
    TCustomWinThread thread;
    thread.WaitThread = true;
    thread.SetOnExecute([&](const ThreadData &, TEventWinThread &self) { self.Synchronize([&] { add("sync"); }); },
                        nullptr);
    thread.SetOnTerminate([&](const ThreadData &, TEventWinThread &) { add("terminate"); });
    EXPECT_TRUE(thread.Start());
    EXPECT_EQ(logged(), (std::vector<std::string>{"sync", "terminate"}));
}

TEST_F(ThreadTest, PriorityMapsToNiceValues)
{
    for (auto p : {TThreadPriority::tpIdle, TThreadPriority::tpLowest, TThreadPriority::tpLower,
                   TThreadPriority::tpNormal, TThreadPriority::tpHigher, TThreadPriority::tpHighest,
                   TThreadPriority::tpTimeCritical})
        EXPECT_EQ(niceToThreadPriority(threadPriorityToNice(p)), p);
    EXPECT_EQ(niceToThreadPriority(3), TThreadPriority::tpNormal);

    TCustomWinThread thread;
    std::atomic<int> seenNice{99};
    std::atomic<bool> setOutside{false}, release{false};
    thread.SetPriority(TThreadPriority::tpLowest);
    thread.SetOnExecute(
        [&](const ThreadData &, TEventWinThread &) {
            seenNice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
            while (!setOutside)
                std::this_thread::sleep_for(1ms);
            // Someone else moves the thread to a value the table lacks.
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 13);
            while (!release)
                std::this_thread::sleep_for(1ms);
        },
        nullptr);
    thread.Start();
    MainThreadQueue::instance().serveUntil([&] { return seenNice != 99; }, 5s);
    EXPECT_EQ(seenNice.load(), 10);
    EXPECT_EQ(thread.Priority(), TThreadPriority::tpLowest);
    setOutside = true;
    MainThreadQueue::instance().serveUntil([&] { return thread.Priority() == TThreadPriority::tpNormal; }, 5s);
    EXPECT_EQ(thread.Priority(), TThreadPriority::tpNormal);
    release = true;
}

} // namespace
