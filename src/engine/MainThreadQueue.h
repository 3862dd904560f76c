#pragma once
// The process-wide queue of calls that must run on the main thread.
//
// Worker threads (transcoding tasks, HTTP transfers, the engine log) hand
// work to the main thread through this queue. The queue is drained by the
// toolkit's event loop (the window installs a wake hook that schedules
// drain()) and by a main thread that blocks waiting for a worker
// (serveUntil), so a worker that sends a blocking call never deadlocks
// against a main thread that is waiting for that worker.
//
// Toolkit-free on purpose: the engine, the command-line tool and the tests
// use it without Qt.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quillor {

class MainThreadQueue {
public:
    using Call = std::function<void()>;

    static MainThreadQueue &instance();

    // Declares the calling thread the main thread. Called once, early.
    void bindToCurrentThread();
    bool hasMainThread() const;
    bool onMainThread() const;

    // Queues a call and returns at once.
    void post(Call call);

    // Runs a call on the main thread and waits for it to finish (a "sent"
    // message). On the main thread, or while no main thread is bound, the
    // call runs inline. An exception thrown by the call is rethrown here.
    void send(Call call);

    // Main thread: runs every call queued so far. Returns how many ran.
    std::size_t drain();

    // Main thread: serves the queue until done() is true or the timeout
    // passes. Returns the last value of done().
    bool serveUntil(const std::function<bool()> &done,
                    std::chrono::milliseconds timeout = std::chrono::milliseconds::max());

    // Wakes a main thread sleeping in serveUntil, for example when a worker
    // has changed the state done() looks at.
    void wake();

    // Called after every post, on the posting thread. The window uses it
    // to schedule drain() on its event loop.
    void setWakeHook(std::function<void()> hook);

    std::size_t pending() const;

private:
    MainThreadQueue() = default;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Call> calls_;
    std::function<void()> wakeHook_;
    std::thread::id mainThread_{};
    bool bound_ = false;
    unsigned long wakeCount_ = 0;
};

} // namespace quillor
