#include "ScriptRun.h"

#include "ScriptSite.h"
#include "ScriptletBridge.h"

#include <QJSEngine>

#include <stdexcept>
#include <thread>

namespace quillor {

namespace {

// The name the engine gives the script text in its stack traces.
const QString kSourceName = QStringLiteral("quillor-script");

struct SourcePosition {
    bool found = false;
    int line = 0;   // 1-based
    int column = 0; // 1-based, 0 when unknown
};

// Stack frames read "function:line:column:url"; the first frame that lies
// in the script text itself tells where the error is (an error inside an
// eval'd text is placed at the line of the eval).
SourcePosition PositionInScript(const QStringList &stack, bool *compileError)
{
    SourcePosition position;
    for (const QString &frame : stack) {
        if (!frame.endsWith(kSourceName))
            continue;
        const QStringList fields = frame.split(QLatin1Char(':'));
        if (fields.size() < 4)
            continue;
        position.found = true;
        position.line = fields.at(1).toInt();
        position.column = qMax(0, fields.at(2).toInt());
        break;
    }
    // A text that does not compile leaves a single frame without a
    // function: nothing of it ever ran.
    *compileError = stack.size() == 1 && stack.front().startsWith(QLatin1Char(':'));
    return position;
}

} // namespace

struct ScriptRun::PendingCall {
    std::function<void()> call;
    bool done = false;
};

ScriptRun::ScriptRun(std::shared_ptr<TScriptSite> site) : site_(std::move(site)) {}

ScriptRun::~ScriptRun() = default;

void ScriptRun::Interrupt(StopReason reason)
{
    std::lock_guard lock(mutex_);
    if (stopReason_ == StopReason::None)
        stopReason_ = reason;
    if (engine_)
        engine_->setInterrupted(true);
}

void ScriptRun::Send(std::function<void()> call)
{
    PendingCall pending{std::move(call)};
    std::unique_lock lock(mutex_);
    calls_.push_back(&pending);
    changed_.notify_all();
    changed_.wait(lock, [&] { return pending.done; });
}

void ScriptRun::SetEvaluating(bool evaluating)
{
    std::lock_guard lock(mutex_);
    evaluating_ = evaluating;
}

void ScriptRun::Execute(const Setup &setup)
{
    std::thread engineThread([this, &setup] {
        try {
            EngineThread(setup);
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (!failure_)
                failure_ = std::current_exception();
        }
        std::lock_guard lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    });
    ServeUntilFinished(setup);
    engineThread.join();
    if (failure_)
        std::rethrow_exception(failure_);
}

void ScriptRun::ServeUntilFinished(const Setup &setup)
{
    using Clock = std::chrono::steady_clock;
    const auto interval = std::max(setup.queryContinueInterval, std::chrono::milliseconds(1));
    Clock::duration scriptTime{};
    Clock::duration nextQuery = interval;
    bool limitReached = false;

    std::unique_lock lock(mutex_);
    auto last = Clock::now();
    for (;;) {
        changed_.wait_until(lock, last + interval, [&] { return !calls_.empty() || finished_; });
        const auto now = Clock::now();
        if (evaluating_)
            scriptTime += now - last;
        last = now;

        if (!calls_.empty()) {
            PendingCall *pending = calls_.front();
            calls_.pop_front();
            lock.unlock();
            try {
                pending->call();
            } catch (...) {
                std::lock_guard failureLock(mutex_);
                if (!failure_)
                    failure_ = std::current_exception();
            }
            lock.lock();
            pending->done = true;
            changed_.notify_all();
            last = Clock::now(); // time in handlers is not script time
            continue;
        }
        if (finished_)
            return;
        if (!evaluating_ || stopReason_ != StopReason::None)
            continue;

        if (setup.timeLimit.count() > 0 && scriptTime >= setup.timeLimit && !limitReached) {
            limitReached = true;
            lock.unlock();
            Interrupt(StopReason::TimeLimit);
            lock.lock();
            continue;
        }
        if (scriptTime >= nextQuery) {
            nextQuery = scriptTime + interval;
            lock.unlock();
            bool allow = true;
            try {
                allow = site_->QueryContinue();
            } catch (...) {
                allow = false;
                std::lock_guard failureLock(mutex_);
                if (!failure_)
                    failure_ = std::current_exception();
            }
            if (!allow)
                Interrupt(StopReason::Host);
            lock.lock();
            last = Clock::now();
        }
    }
}

void ScriptRun::EngineThread(const Setup &setup)
{
    std::unique_ptr<QJSEngine> engine = setup.createEngine ? setup.createEngine() : nullptr;
    if (!engine)
        throw std::runtime_error("The script engine could not be created");
    {
        std::lock_guard lock(mutex_);
        engine_ = engine.get();
        if (stopReason_ != StopReason::None)
            engine->setInterrupted(true);
    }
    try {
        Evaluate(*engine, setup);
    } catch (...) {
        std::lock_guard lock(mutex_);
        engine_ = nullptr;
        throw;
    }
    std::lock_guard lock(mutex_);
    engine_ = nullptr;
}

void ScriptRun::Evaluate(QJSEngine &engine, const Setup &setup)
{
    // Outlives every call of the script into a named object.
    ScriptletProxies proxies(*this, engine);
    QJSValue global = engine.globalObject();
    for (const auto &[name, scriptlet] : setup.namedItems) {
        const QJSValue proxy = proxies.Wrap(scriptlet);
        global.setProperty(name, proxy);
        // The engine matches the names of objects with case; the
        // all-lower-case spelling is accepted as well.
        const QString lower = name.toLower();
        if (lower != name && !global.hasOwnProperty(lower))
            global.setProperty(lower, proxy);
    }
    TScriptSite &site = *site_;
    Send([&] { site.OnStateChange(TScriptState::ssInitialized); });
    Send([&] { site.OnStateChange(TScriptState::ssStarted); });
    Send([&] { site.OnEnterScript(); });

    QStringList stack;
    SetEvaluating(true);
    const QJSValue result = engine.evaluate(setup.text, kSourceName, 1, &stack);
    SetEvaluating(false);

    StopReason stopReason;
    {
        std::lock_guard lock(mutex_);
        stopReason = stopReason_;
    }
    bool compileError = false;
    const bool stopped = stopReason != StopReason::None && result.isError();
    const bool thrown = !stack.isEmpty() || stopped;
    if (thrown && (stopReason == StopReason::None || stopReason == StopReason::TimeLimit)) {
        TScriptError error;
        error.Error = stopped ? QStringLiteral("Interrupted")
                      : result.isError() ? result.property(QStringLiteral("name")).toString()
                                         : QString();
        const SourcePosition position = PositionInScript(stack, &compileError);
        if (stopped) {
            error.Description =
                QStringLiteral("The script ran longer than %1 seconds and was stopped")
                    .arg(double(setup.timeLimit.count()) / 1000.0);
        } else if (result.isError()) {
            error.Description = result.toString();
        } else {
            error.Description = QStringLiteral("Uncaught exception: %1").arg(result.toString());
        }
        if (position.found) {
            error.Line = std::uint32_t(qMax(0, position.line - 1));
            error.Column = position.column > 0 ? position.column - 1 : -1;
        }
        Send([&] { site.OnScriptError(error); });
    }
    Send([&] { site.OnLeaveScript(); });
    if (!compileError)
        Send([&] { site.OnStateChange(TScriptState::ssConnected); });
}

} // namespace quillor
