#include "ScriptletBridge.h"

#include "ScriptRun.h"

#include <QJSEngine>

namespace quillor {

namespace {

// Method identifiers start at TScriptlet::MethodIdBase; the dispatch flags
// are those of TDispatchFlag.
const char kProxyFactory[] = R"JS(
(function (bridge) {
    'use strict';
    function member(key) {
        return typeof key === 'string' ? bridge.idOf(key) : null;
    }
    // Objects are handed over as their text, converted here so that a
    // conversion that fails is the script's own error.
    function values(list) {
        var result = [];
        for (var i = 0; i < list.length; ++i) {
            var value = list[i];
            var isObject = value !== null && (typeof value === 'object' || typeof value === 'function');
            result.push(isObject ? String(value) : value);
        }
        return result;
    }
    return new Proxy({}, {
        get: function (target, key) {
            var id = member(key);
            if (id === null)
                return undefined;
            if (id >= 512) {
                return function () {
                    return bridge.invoke(id, 1, values(arguments));
                };
            }
            return bridge.invoke(id, 2, []);
        },
        set: function (target, key, value) {
            var id = member(key);
            if (id === null)
                throw new TypeError('Object has no member named ' + String(key));
            bridge.invoke(id, 4, values([value]));
            return true;
        },
        has: function (target, key) {
            return member(key) !== null;
        }
    });
})
)JS";

// Script arguments as the scriptlets take them: plain values, undefined and
// null as an empty variant (objects arrive as text already).
QVariant ArgumentValue(const QJSValue &value)
{
    if (value.isUndefined() || value.isNull())
        return QVariant();
    if (value.isBool())
        return value.toBool();
    if (value.isNumber())
        return value.toNumber();
    return value.toString();
}

QString DispatchErrorText(TDispatchResult result, const QString &detail)
{
    switch (result) {
    case TDispatchResult::drUnknownName:
        return QStringLiteral("Object has no such member");
    case TDispatchResult::drBadIndex:
        return QStringLiteral("Object member cannot be used this way");
    case TDispatchResult::drBadParamCount:
        return QStringLiteral("Wrong number of arguments");
    case TDispatchResult::drFailed:
        return detail.isEmpty() ? QStringLiteral("Host call failed") : detail;
    case TDispatchResult::drOk:
        break;
    }
    return QString();
}

} // namespace

ScriptletProxies::ScriptletProxies(ScriptRun &run, QJSEngine &engine)
    : run_(run), engine_(engine),
      factory_(engine.evaluate(QString::fromUtf8(kProxyFactory), QStringLiteral("quillor-host")))
{
}

QJSValue ScriptletProxies::Wrap(const ScriptletPtr &scriptlet)
{
    if (!scriptlet || !factory_.isCallable())
        return QJSValue(QJSValue::UndefinedValue);
    auto *bridge = new ScriptletBridge(*this, run_, engine_, scriptlet);
    return factory_.call({engine_.newQObject(bridge)});
}

QJSValue ScriptletProxies::ToScript(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QJSValue(QJSValue::UndefinedValue);
    if (value.metaType() == QMetaType::fromType<ScriptletPtr>())
        return Wrap(value.value<ScriptletPtr>());
    return engine_.toScriptValue(value);
}

ScriptletBridge::ScriptletBridge(ScriptletProxies &proxies, ScriptRun &run, QJSEngine &engine,
                                 ScriptletPtr scriptlet)
    : proxies_(proxies), run_(run), engine_(engine), scriptlet_(std::move(scriptlet))
{
}

QJSValue ScriptletBridge::idOf(const QString &name)
{
    int id = 0;
    bool found = false;
    run_.Send([&] { found = scriptlet_->GetIDOfName(name, id); });
    return found ? QJSValue(id) : QJSValue(QJSValue::NullValue);
}

QJSValue ScriptletBridge::invoke(int id, int flags, const QJSValue &arguments)
{
    QVariantList values;
    const int count = arguments.property(QStringLiteral("length")).toInt();
    values.reserve(count);
    for (int i = 0; i < count; ++i)
        values.append(ArgumentValue(arguments.property(quint32(i))));

    QVariant result;
    QString detail;
    TDispatchResult status = TDispatchResult::drFailed;
    run_.Send([&] { status = scriptlet_->Invoke(id, flags, values, result, &detail); });
    if (status != TDispatchResult::drOk) {
        engine_.throwError(QJSValue::GenericError, DispatchErrorText(status, detail));
        return QJSValue(QJSValue::UndefinedValue);
    }
    return proxies_.ToScript(result);
}

} // namespace quillor
