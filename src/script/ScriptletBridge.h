#pragma once
// How a scriptlet looks to the engine.
//
// QJSEngine matches member names with case, while scriptlets match method
// names without it and learn their property names only when asked. So a
// named object is not handed to the engine as a QObject with fixed members:
// it is a JavaScript Proxy whose traps ask the scriptlet, through a small
// bridge object, for the member's identifier and then invoke it. A method
// reads as a function; a property reads and writes as a value; an unknown
// name reads as undefined (calling it is the script's error) and cannot be
// written.
//
// Bridges live on the engine's thread and reach their scriptlet through
// ScriptRun::Send, so scriptlet code runs on the caller's thread only.

#include "Scriptlet.h"

#include <QJSValue>
#include <QObject>

class QJSEngine;

namespace quillor {

class ScriptRun;

// The proxies of one engine. Engine thread only.
class ScriptletProxies {
public:
    ScriptletProxies(ScriptRun &run, QJSEngine &engine);

    // A script value for scriptlet; undefined when it cannot be made.
    QJSValue Wrap(const ScriptletPtr &scriptlet);

    // Script value of a member's result: scriptlets become proxies.
    QJSValue ToScript(const QVariant &value);

private:
    ScriptRun &run_;
    QJSEngine &engine_;
    QJSValue factory_;
};

class ScriptletBridge : public QObject {
    Q_OBJECT
public:
    ScriptletBridge(ScriptletProxies &proxies, ScriptRun &run, QJSEngine &engine,
                    ScriptletPtr scriptlet);

    // The member's identifier, or null when the scriptlet has no such member.
    Q_INVOKABLE QJSValue idOf(const QString &name);
    // Invokes a member with the dispatch flags and an array of arguments.
    // Failures become script errors.
    Q_INVOKABLE QJSValue invoke(int id, int flags, const QJSValue &arguments);

private:
    ScriptletProxies &proxies_;
    ScriptRun &run_;
    QJSEngine &engine_;
    ScriptletPtr scriptlet_;
};

} // namespace quillor
