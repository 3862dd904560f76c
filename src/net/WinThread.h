#pragma once
// A component that runs one job at a time on a background thread and carries
// calls from that thread back to the main thread.
//
// The main thread is the one bound to the process-wide MainThreadQueue. A
// call handed over with Synchronize is a blocking queued call: the worker
// waits until the main thread has run it. Every wait of the main thread for a
// worker serves that queue, so a worker blocked in Synchronize always gets
// its answer.
//
// Linux cannot kill a single thread safely, so a hard stop abandons the job
// instead: the thread object is marked abandoned and terminated, none of its
// callbacks and none of its synchronized calls reaches the main thread any
// more, and the thread runs out on its own (the job sees IsTerminated). The
// component keeps abandoned threads and joins them before it goes away.
//
// Priorities map to per-thread nice values (see WinThread.cpp). Raising a
// priority above normal needs CAP_SYS_NICE; without it the thread stays at
// normal.
//
// Suspending a running thread has no Linux counterpart: a thread object is
// "suspended" only until it is launched.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quillor {

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Nice value of each priority, and the way back (values that are not in the
// table read as tpNormal).
int threadPriorityToNice(TThreadPriority priority);
TThreadPriority niceToThreadPriority(int nice);

class TCustomWinThread;
class TEventWinThread;

using ThreadData = std::shared_ptr<void>;
using ThreadExecuteFn = std::function<void(const ThreadData &data, TEventWinThread &thread)>;
using ThreadErrorFn = std::function<void(const ThreadData &data, std::exception_ptr error)>;
using ThreadTerminateFn = std::function<void(const ThreadData &data, TEventWinThread &thread)>;

// One operating-system thread with its bookkeeping. A fresh one is made for
// every start; it is never restarted.
class TEventWinThread : public std::enable_shared_from_this<TEventWinThread> {
public:
    ~TEventWinThread();

    TEventWinThread(const TEventWinThread &) = delete;
    TEventWinThread &operator=(const TEventWinThread &) = delete;

    // Worker side.
    bool IsTerminated() const { return Terminated.load(); }
    bool IsAbandoned() const { return Abandoned.load(); }
    // Runs the call on the main thread and returns when it has run. Returns
    // false, without running it, when the job has been abandoned or the
    // owning component is going away. An exception of the call is dropped
    // when the component handles exceptions, else rethrown here.
    bool Synchronize(const std::function<void()> &call);
    // Ends the job at once from inside it: the completion call does not run.
    [[noreturn]] void ExitNow();

    std::atomic<bool> Terminated{false};
    std::atomic<bool> Abandoned{false};
    std::atomic<bool> Running{false};
    std::atomic<bool> Finished{false};
    bool Suspended = true;
    int ReturnValue = 0;
    // An exception that left the job while the component did not handle
    // exceptions. Kept instead of taking the process down.
    std::exception_ptr FatalException;

    ThreadExecuteFn OnExecute;
    ThreadErrorFn OnError;
    ThreadTerminateFn OnTerminate;
    ThreadData Data;
    TCustomWinThread *Owner = nullptr;

    std::thread::id ThreadID() const { return id_.load(); }
    // Number of worker threads alive in the process (for leak checks).
    static int liveThreads();

private:
    friend class TCustomWinThread;
    TEventWinThread() = default;

    void launch(TThreadPriority priority);
    void run();
    void execute();
    void doTerminate();
    void setPriority(TThreadPriority priority);
    TThreadPriority priority() const;

    std::thread thread_;
    std::atomic<std::thread::id> id_{};
    std::atomic<int> tid_{0};
    std::atomic<unsigned long> syncCount_{0};
    bool skipTerminate_ = false;
};

class TCustomWinThread {
public:
    TCustomWinThread();
    virtual ~TCustomWinThread();

    TCustomWinThread(const TCustomWinThread &) = delete;
    TCustomWinThread &operator=(const TCustomWinThread &) = delete;

    // Replaces the thread object by a fresh one and launches it; with
    // WaitThread set, waits for it while serving the main thread's calls.
    bool Start();
    // Hard = false asks the job to stop (IsTerminated); Hard = true
    // abandons it and puts a fresh, unstarted thread object in its place.
    // Called by the worker itself with Hard = true, it ends the job at once.
    void Stop(bool hard);
    // For the job: hands a call to the main thread through the calling
    // worker's own thread object.
    bool Synchronize(const std::function<void()> &call);

    bool IsRunning() const;
    bool IsTerminated() const;
    void Suspend();
    bool Suspended() const;
    void SetSuspended(bool value);
    TThreadPriority Priority() const;
    void SetPriority(TThreadPriority value);

    void SetOnExecute(ThreadExecuteFn fn, ThreadData data);
    void SetOnError(ThreadErrorFn fn);
    void SetOnTerminate(ThreadTerminateFn fn);

    bool IsDestroying() const { return destroying_.load(); }
    std::shared_ptr<TEventWinThread> Thread() const;

    bool HandleException = true;
    bool WaitThread = false;
    std::int32_t WaitTimeout = 0; // ms; 0 = no limit
    std::function<void(TCustomWinThread &sender, bool &terminateThread)> OnWaitTimeoutExpired;

    // Abandons the running job and waits for every thread this component
    // started, serving the main thread's calls meanwhile (the skipped calls
    // of abandoned jobs included). The owner calls it before the state its
    // jobs use goes away; the destructor calls it too. Start fails after.
    void shutDown();

private:
    std::shared_ptr<TEventWinThread> makeThread();
    void retire(std::shared_ptr<TEventWinThread> thread);
    void pruneRetired();
    static void waitFor(const std::shared_ptr<TEventWinThread> &thread);

    mutable std::mutex mutex_; // guards thread_ and retired_
    std::shared_ptr<TEventWinThread> thread_;
    std::vector<std::shared_ptr<TEventWinThread>> retired_;
    TThreadPriority priority_ = TThreadPriority::tpNormal;
    ThreadExecuteFn onExecute_;
    ThreadErrorFn onError_;
    ThreadTerminateFn onTerminate_;
    ThreadData data_;
    std::atomic<bool> destroying_{false};
    bool shutDown_ = false;
};

} // namespace quillor
