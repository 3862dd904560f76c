#include "MainThreadQueue.h"

#include <exception>
#include <memory>

namespace quillor {

MainThreadQueue &MainThreadQueue::instance()
{
    static MainThreadQueue queue;
    return queue;
}

void MainThreadQueue::bindToCurrentThread()
{
    std::lock_guard lock(mutex_);
    mainThread_ = std::this_thread::get_id();
    bound_ = true;
}

bool MainThreadQueue::hasMainThread() const
{
    std::lock_guard lock(mutex_);
    return bound_;
}

bool MainThreadQueue::onMainThread() const
{
    std::lock_guard lock(mutex_);
    return bound_ && mainThread_ == std::this_thread::get_id();
}

void MainThreadQueue::post(Call call)
{
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
        ++wakeCount_;
        hook = wakeHook_;
    }
    changed_.notify_all();
    if (hook)
        hook();
}

void MainThreadQueue::send(Call call)
{
    if (!hasMainThread() || onMainThread()) {
        call();
        return;
    }
    struct State {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        std::exception_ptr error;
    };
    auto state = std::make_shared<State>();
    post([state, call = std::move(call)] {
        try {
            call();
        } catch (...) {
            state->error = std::current_exception();
        }
        {
            std::lock_guard lock(state->mutex);
            state->done = true;
        }
        state->finished.notify_all();
    });
    std::unique_lock lock(state->mutex);
    state->finished.wait(lock, [&] { return state->done; });
    if (state->error)
        std::rethrow_exception(state->error);
}

std::size_t MainThreadQueue::drain()
{
    std::size_t ran = 0;
    for (;;) {
        Call call;
        {
            std::lock_guard lock(mutex_);
            if (calls_.empty())
                return ran;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        // A posted call has nobody to report to; it must not take the
        // event loop down with it.
        try {
            call();
        } catch (...) {
        }
        ++ran;
    }
}

bool MainThreadQueue::serveUntil(const std::function<bool()> &done,
                                 std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const bool forever = timeout == std::chrono::milliseconds::max();
    const auto deadline = forever ? Clock::time_point::max() : Clock::now() + timeout;
    for (;;) {
        drain();
        if (done())
            return true;
        if (!forever && Clock::now() >= deadline)
            return done();
        std::unique_lock lock(mutex_);
        const unsigned long seen = wakeCount_;
        // The short wait bounds the latency of state changes that nobody
        // announces through wake().
        auto until = Clock::now() + std::chrono::milliseconds(5);
        if (until > deadline)
            until = deadline;
        changed_.wait_until(lock, until, [&] { return wakeCount_ != seen || !calls_.empty(); });
    }
}

void MainThreadQueue::wake()
{
    {
        std::lock_guard lock(mutex_);
        ++wakeCount_;
    }
    changed_.notify_all();
}

void MainThreadQueue::setWakeHook(std::function<void()> hook)
{
    std::lock_guard lock(mutex_);
    wakeHook_ = std::move(hook);
}

std::size_t MainThreadQueue::pending() const
{
    std::lock_guard lock(mutex_);
    return calls_.size();
}

} // namespace quillor
