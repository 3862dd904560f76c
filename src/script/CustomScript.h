#pragma once
// A script text and the objects it can reach by name, run on a scripting
// engine that a subclass supplies (TJavaScript: QJSEngine).
//
// Run evaluates Lines on a fresh engine, synchronously: when it returns,
// the script's global code has run and every handler it caused (Host.Echo,
// errors, ...) has been called, on the thread that called Run. Script
// errors are reported through OnError, never thrown; Run throws only when
// no engine can be set up, or rethrows what one of this object's own
// handlers threw.
//
// Named objects are found by exact name, and the first one of a name wins:
// adding a second "Host" keeps the first. Scripts reach each object by its
// name and by its all-lower-case spelling; member names match without
// regard to case.
//
// A script that runs too long: every QueryContinueInterval of script time
// OnQueryContinue is asked whether it may go on; past TimeLimit (when set)
// it is stopped and OnError reports that. Either way Run returns.

#include "ScriptTypes.h"
#include "Scriptlet.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QJSEngine;

namespace quillor {

class ScriptRun;
class TScriptSite;

class TCustomScript : public QObject {
    Q_OBJECT
public:
    using ErrorEvent = std::function<void(TCustomScript &sender, const TScriptError &error)>;
    using NotifyEvent = std::function<void(TCustomScript &sender)>;
    using ContinueEvent = std::function<void(TCustomScript &sender, bool &allow)>;
    using StateEvent = std::function<void(TCustomScript &sender, TScriptState state)>;

    static constexpr std::chrono::milliseconds QueryContinueInterval{100};
    static constexpr std::chrono::milliseconds DefaultTimeLimit{10000};

    explicit TCustomScript(QObject *owner = nullptr);
    // Closes the engine without raising any event. Must not happen from
    // inside one of its own handlers while Run is going on.
    ~TCustomScript() override;

    // The script text, one line per entry. Run does not change it.
    QStringList &Lines() { return lines_; }
    const QStringList &Lines() const { return lines_; }
    void SetLines(const QStringList &lines) { lines_ = lines; }

    // Adds scriptlet unless one with the same name is there already.
    void AddScriptlet(const ScriptletPtr &scriptlet);
    // The first named object called exactly name, or none.
    ScriptletPtr FindScriptlet(const QString &name) const;
    const std::vector<ScriptletPtr> &NamedItems() const { return namedItems_; }

    // Runs Lines on a fresh engine (the one of the previous run is closed
    // first). Calling Run from inside a handler of the running script
    // throws std::logic_error (which that script sees as an error).
    void Run();
    // Closes the engine; nothing it still reports reaches the handlers.
    // From inside a handler it stops the running script as well.
    void Close();
    bool Running() const { return running_; }

    // The window that owns the script, for anything the engine may show.
    QObject *WindowHandle() const { return windowHandle_; }
    void SetWindowHandle(QObject *window) { windowHandle_ = window; }

    // Script time after which a running script is stopped; 0: never.
    std::chrono::milliseconds TimeLimit() const { return timeLimit_; }
    void SetTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }

    ErrorEvent OnError;
    NotifyEvent OnEnter;
    NotifyEvent OnLeave;
    ContinueEvent OnQueryContinue;
    StateEvent OnStateChange;

protected:
    // A new engine for one run. Called on the engine's own thread, while
    // the thread that called Run waits: it must not touch this object.
    virtual std::unique_ptr<QJSEngine> CreateEngine() = 0;

    virtual void DoError(const TScriptError &error);
    virtual void DoEnter();
    virtual void DoLeave();
    virtual void DoQueryContinue(bool &allow);
    virtual void DoStateChange(TScriptState state);

private:
    friend class TScriptSite;

    QStringList lines_;
    std::vector<ScriptletPtr> namedItems_;
    QPointer<QObject> windowHandle_;
    std::chrono::milliseconds timeLimit_ = DefaultTimeLimit;

    std::shared_ptr<TScriptSite> site_;
    std::unique_ptr<ScriptRun> engine_;
    bool running_ = false;
};

} // namespace quillor
