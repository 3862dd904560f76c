#pragma once
// One run of a script text on a fresh QJSEngine.
//
// The engine lives on a thread of its own for the length of the run, while
// the thread that called Execute (the main thread) waits for it and
// meanwhile carries out, one at a time, everything the engine needs done
// on the caller's side: calls of Host and Form members, the site's
// notifications, and every QueryContinueInterval of script time the
// question whether the script may go on. So every handler runs on the
// caller's thread, synchronously with the script, and a script that runs
// away can be stopped: QJSEngine::setInterrupted is safe from any thread.
//
// Time the caller spends inside a handler (a message box, say) does not
// count as script time.

#include "ScriptTypes.h"
#include "Scriptlet.h"

#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class QJSEngine;

namespace quillor {

class TScriptSite;

class ScriptRun {
public:
    struct Setup {
        // Called on the engine's thread.
        std::function<std::unique_ptr<QJSEngine>()> createEngine;
        std::vector<std::pair<QString, ScriptletPtr>> namedItems;
        QString text;
        std::chrono::milliseconds queryContinueInterval{100};
        std::chrono::milliseconds timeLimit{0}; // 0: no limit
    };

    enum class StopReason { None, Host, TimeLimit, Closed };

    explicit ScriptRun(std::shared_ptr<TScriptSite> site);
    ~ScriptRun();
    ScriptRun(const ScriptRun &) = delete;
    ScriptRun &operator=(const ScriptRun &) = delete;

    // Runs the text and returns when the engine's thread has ended. Throws
    // when the engine cannot be set up, and rethrows the first exception a
    // site notification handler raised.
    void Execute(const Setup &setup);

    // Any thread: stops the script as soon as the engine notices.
    void Interrupt(StopReason reason);

    // Engine thread: runs call on the caller's thread and waits for it. An
    // exception from call is kept and rethrown by Execute.
    void Send(std::function<void()> call);

    TScriptSite &Site() { return *site_; }

private:
    struct PendingCall;

    void EngineThread(const Setup &setup);
    void Evaluate(QJSEngine &engine, const Setup &setup);
    void ServeUntilFinished(const Setup &setup);
    void SetEvaluating(bool evaluating);

    std::shared_ptr<TScriptSite> site_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<PendingCall *> calls_;
    bool finished_ = false;
    bool evaluating_ = false;
    QJSEngine *engine_ = nullptr; // guarded by mutex_, for Interrupt
    StopReason stopReason_ = StopReason::None;
    std::exception_ptr failure_;
};

} // namespace quillor
