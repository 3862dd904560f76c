#pragma once
// The running engine's link to the script object that started it.
//
// One site is made by every Run. The engine reports through it (state,
// errors, entering and leaving script code, the periodic "may I go on?")
// and looks up the named objects through it. Close detaches the site:
// from then on nothing the engine still reports reaches the script object.
// Every call is made on the thread that runs the script.

#include "Scriptlet.h"
#include "ScriptTypes.h"

class QObject;

namespace quillor {

class TCustomScript;

class TScriptSite {
public:
    explicit TScriptSite(TCustomScript *owner) : owner_(owner) {}

    void Detach() { owner_ = nullptr; }
    bool Attached() const { return owner_ != nullptr; }

    // The named object, or none (also once detached).
    ScriptletPtr GetItemInfo(const QString &name) const;
    // The owner window, or none once detached or when none was set.
    QObject *GetWindow() const;

    void OnStateChange(TScriptState state);
    void OnScriptError(const TScriptError &error);
    void OnEnterScript();
    void OnLeaveScript();
    // True when the script may go on; always true once detached.
    bool QueryContinue();

private:
    TCustomScript *owner_;
};

} // namespace quillor
