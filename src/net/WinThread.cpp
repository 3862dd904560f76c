#include "WinThread.h"

#include "MainThreadQueue.h"

#include <QCoreApplication>
#include <QThread>

#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quillor {

namespace {

std::atomic<int> g_liveThreads{0};

// Thrown by ExitNow; caught only by the thread function.
struct ThreadExit {};

// Normal threads on Linux share one scheduling class; their nice value is
// the only per-thread weight an unprivileged program can move.
constexpr struct {
    TThreadPriority priority;
    int nice;
} kPriorityTable[] = {
    {TThreadPriority::tpIdle, 19},     {TThreadPriority::tpLowest, 10},
    {TThreadPriority::tpLower, 5},     {TThreadPriority::tpNormal, 0},
    {TThreadPriority::tpHigher, -5},   {TThreadPriority::tpHighest, -10},
    {TThreadPriority::tpTimeCritical, -20},
};

// While the main thread waits for a worker, the toolkit's own events are
// served too, so the window keeps painting.
void serveToolkit()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool applicationClosing()
{
    return QCoreApplication::instance() && QCoreApplication::closingDown();
}

} // namespace

int threadPriorityToNice(TThreadPriority priority)
{
    for (const auto &row : kPriorityTable)
        if (row.priority == priority)
            return row.nice;
    return 0;
}

TThreadPriority niceToThreadPriority(int nice)
{
    for (const auto &row : kPriorityTable)
        if (row.nice == nice)
            return row.priority;
    return TThreadPriority::tpNormal;
}

// ---- TEventWinThread ----

TEventWinThread::~TEventWinThread()
{
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

int TEventWinThread::liveThreads()
{
    return g_liveThreads.load();
}

void TEventWinThread::launch(TThreadPriority priority)
{
    if (!Suspended)
        return;
    Suspended = false;
    ++g_liveThreads;
    auto self = shared_from_this();
    thread_ = std::thread([self, priority] {
        self->id_ = std::this_thread::get_id();
        self->tid_ = static_cast<int>(::syscall(SYS_gettid));
        if (priority != TThreadPriority::tpNormal)
            self->setPriority(priority);
        self->run();
    });
}

void TEventWinThread::run()
{
    if (!Terminated) {
        Running = true;
        try {
            execute();
        } catch (const ThreadExit &) {
        } catch (...) {
            FatalException = std::current_exception();
        }
        if (!skipTerminate_ && !Abandoned) {
            try {
                doTerminate();
            } catch (const ThreadExit &) {
            } catch (...) {
                FatalException = std::current_exception();
            }
        }
        Running = false;
    }
    Finished = true;
    --g_liveThreads;
    MainThreadQueue::instance().wake();
}

void TEventWinThread::execute()
{
    if (!OnExecute || !Owner || Owner->IsDestroying())
        return;
    if (!Owner->HandleException) {
        OnExecute(Data, *this);
        return;
    }
    try {
        OnExecute(Data, *this);
    } catch (const ThreadExit &) {
        throw;
    } catch (...) {
        std::exception_ptr error = std::current_exception();
        if (OnError && !Owner->IsDestroying())
            Synchronize([this, error] { OnError(Data, error); });
    }
}

void TEventWinThread::doTerminate()
{
    if (!OnTerminate)
        return;
    const bool handle = Owner->HandleException;
    Synchronize([this, handle] {
        if (!handle) {
            OnTerminate(Data, *this);
            return;
        }
        try {
            OnTerminate(Data, *this);
        } catch (...) {
            if (OnError && !Owner->IsDestroying())
                OnError(Data, std::current_exception());
        }
    });
}

bool TEventWinThread::Synchronize(const std::function<void()> &call)
{
    if (Abandoned || (Owner && Owner->IsDestroying()))
        return false;
    std::exception_ptr error;
    bool ran = false;
    MainThreadQueue::instance().send([&] {
        // Checked again on the main thread: a hard stop or the component's
        // destruction may have come while this call was queued.
        if (Abandoned || (Owner && Owner->IsDestroying()))
            return;
        ran = true;
        ++syncCount_;
        try {
            call();
        } catch (...) {
            error = std::current_exception();
        }
    });
    if (error && Owner && !Owner->HandleException)
        std::rethrow_exception(error);
    return ran;
}

void TEventWinThread::ExitNow()
{
    skipTerminate_ = true;
    throw ThreadExit{};
}

void TEventWinThread::setPriority(TThreadPriority priority)
{
    const int tid = tid_.load();
    if (tid == 0)
        return;
    // Best effort: a raise without CAP_SYS_NICE fails and leaves the thread
    // where it was.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), threadPriorityToNice(priority));
}

TThreadPriority TEventWinThread::priority() const
{
    const int tid = tid_.load();
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (nice == -1 && errno != 0)
        return TThreadPriority::tpNormal;
    return niceToThreadPriority(nice);
}

// ---- TCustomWinThread ----

TCustomWinThread::TCustomWinThread()
{
    thread_ = makeThread();
}

TCustomWinThread::~TCustomWinThread()
{
    shutDown();
}

void TCustomWinThread::shutDown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    destroying_ = true;
    std::vector<std::shared_ptr<TEventWinThread>> all;
    {
        std::lock_guard lock(mutex_);
        if (thread_ && !thread_->Suspended) {
            thread_->Terminated = true;
            thread_->Abandoned = true;
            all.push_back(thread_);
        }
        thread_.reset();
        all.insert(all.end(), retired_.begin(), retired_.end());
        retired_.clear();
    }
    for (auto &t : all)
        waitFor(t);
}

std::shared_ptr<TEventWinThread> TCustomWinThread::makeThread()
{
    std::shared_ptr<TEventWinThread> t(new TEventWinThread);
    t->Owner = this;
    t->OnExecute = onExecute_;
    t->OnError = onError_;
    t->OnTerminate = onTerminate_;
    t->Data = data_;
    return t;
}

void TCustomWinThread::waitFor(const std::shared_ptr<TEventWinThread> &thread)
{
    if (thread->Suspended)
        return;
    auto &queue = MainThreadQueue::instance();
    if (queue.onMainThread())
        queue.serveUntil([&] { return thread->Finished.load(); });
    if (thread->thread_.joinable() && thread->thread_.get_id() != std::this_thread::get_id())
        thread->thread_.join();
}

void TCustomWinThread::retire(std::shared_ptr<TEventWinThread> thread)
{
    if (!thread || thread->Suspended)
        return;
    thread->Terminated = true;
    thread->Abandoned = true;
    retired_.push_back(std::move(thread));
}

void TCustomWinThread::pruneRetired()
{
    std::vector<std::shared_ptr<TEventWinThread>> done;
    {
        std::lock_guard lock(mutex_);
        for (auto it = retired_.begin(); it != retired_.end();) {
            if ((*it)->Finished) {
                done.push_back(*it);
                it = retired_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto &t : done)
        waitFor(t); // joins a thread that has already finished
}

bool TCustomWinThread::Start()
{
    if (destroying_)
        return false;
    Stop(true);
    pruneRetired();
    std::shared_ptr<TEventWinThread> t;
    {
        std::lock_guard lock(mutex_);
        t = thread_;
    }
    t->launch(priority_);
    if (!WaitThread)
        return true;

    using Clock = std::chrono::steady_clock;
    auto &queue = MainThreadQueue::instance();
    auto lastActivity = Clock::now();
    unsigned long seen = t->syncCount_.load();
    for (;;) {
        queue.serveUntil([&] { return t->Finished.load() || t->syncCount_.load() != seen; },
                         std::chrono::milliseconds(10));
        serveToolkit();
        if (t->Finished)
            return true;
        if (t->syncCount_.load() != seen) {
            seen = t->syncCount_.load();
            lastActivity = Clock::now();
            if (destroying_ || applicationClosing())
                return true;
            continue;
        }
        if (WaitTimeout > 0 && Clock::now() - lastActivity >= std::chrono::milliseconds(WaitTimeout)) {
            bool terminateThread = true;
            if (OnWaitTimeoutExpired)
                OnWaitTimeoutExpired(*this, terminateThread);
            if (terminateThread)
                Stop(true);
            return !terminateThread;
        }
    }
}

void TCustomWinThread::Stop(bool hard)
{
    std::shared_ptr<TEventWinThread> current;
    {
        std::lock_guard lock(mutex_);
        current = thread_;
    }
    if (!current)
        return;
    if (!hard) {
        current->Terminated = true;
        return;
    }
    if (!current->Suspended && current->ThreadID() == std::this_thread::get_id())
        current->ExitNow();
    std::lock_guard lock(mutex_);
    if (current->Suspended) {
        // Never launched: it is already what a fresh object would be, but
        // callbacks set since must reach the next one.
        thread_ = makeThread();
        return;
    }
    retire(thread_);
    thread_ = makeThread();
}

bool TCustomWinThread::Synchronize(const std::function<void()> &call)
{
    std::shared_ptr<TEventWinThread> mine;
    {
        std::lock_guard lock(mutex_);
        const auto self = std::this_thread::get_id();
        if (thread_ && thread_->ThreadID() == self)
            mine = thread_;
        for (auto &t : retired_)
            if (t->ThreadID() == self)
                mine = t;
    }
    if (!mine)
        return false;
    return mine->Synchronize(call);
}

bool TCustomWinThread::IsRunning() const
{
    std::lock_guard lock(mutex_);
    return thread_ && thread_->Running;
}

bool TCustomWinThread::IsTerminated() const
{
    std::lock_guard lock(mutex_);
    return thread_ && thread_->Terminated;
}

void TCustomWinThread::Suspend()
{
    // A running thread cannot be suspended on Linux; an unstarted one
    // already is.
}

bool TCustomWinThread::Suspended() const
{
    std::lock_guard lock(mutex_);
    return thread_ && thread_->Suspended;
}

void TCustomWinThread::SetSuspended(bool value)
{
    std::shared_ptr<TEventWinThread> t = Thread();
    if (!value && t && t->Suspended)
        t->launch(priority_);
}

TThreadPriority TCustomWinThread::Priority() const
{
    auto t = Thread();
    if (t && !t->Suspended && !t->Finished)
        return t->priority();
    return priority_;
}

void TCustomWinThread::SetPriority(TThreadPriority value)
{
    priority_ = value;
    auto t = Thread();
    if (t && !t->Suspended && !t->Finished)
        t->setPriority(value);
}

void TCustomWinThread::SetOnExecute(ThreadExecuteFn fn, ThreadData data)
{
    std::lock_guard lock(mutex_);
    onExecute_ = std::move(fn);
    data_ = std::move(data);
    if (thread_ && thread_->Suspended) {
        thread_->OnExecute = onExecute_;
        thread_->Data = data_;
    }
}

void TCustomWinThread::SetOnError(ThreadErrorFn fn)
{
    std::lock_guard lock(mutex_);
    onError_ = std::move(fn);
    if (thread_ && thread_->Suspended)
        thread_->OnError = onError_;
}

void TCustomWinThread::SetOnTerminate(ThreadTerminateFn fn)
{
    std::lock_guard lock(mutex_);
    onTerminate_ = std::move(fn);
    if (thread_ && thread_->Suspended)
        thread_->OnTerminate = onTerminate_;
}

std::shared_ptr<TEventWinThread> TCustomWinThread::Thread() const
{
    std::lock_guard lock(mutex_);
    return thread_;
}

} // namespace quillor
