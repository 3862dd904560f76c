#pragma once
// An object that scripts reach by name ("Host", "Form").
//
// Scripts see a scriptlet through a small dispatch interface: a member
// name is turned into a numeric identifier once (GetIDOfName) and the
// member is then invoked through that identifier (Invoke). Method names
// match without regard to case; property names are kept upper-case and are
// added on demand when HasProperty accepts them.
//
// Identifiers: a method is 512 + its index in Methods (so always >= 512),
// a property is its index in Properties - 512 (so always < 0).
//
// Scriptlets are shared: the script object, the running engine and other
// scriptlets may hold the same one. All calls into a scriptlet are made on
// the thread that runs the script (the main thread), never on the engine's
// own thread.

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <memory>

namespace quillor {

class TScriptlet;
using ScriptletPtr = std::shared_ptr<TScriptlet>;

// Invoke flags; a method call may also carry dfPropertyGet.
enum TDispatchFlag : int {
    dfMethod = 1,
    dfPropertyGet = 2,
    dfPropertyPut = 4,
};

enum class TDispatchResult {
    drOk,
    drUnknownName,  // no member of that name
    drBadIndex,     // identifier or flags do not fit any member
    drBadParamCount,// a property put without a value
    drFailed,       // the member raised an error; see the message
};

class TScriptlet {
public:
    static constexpr int MethodIdBase = 512;

    TScriptlet() = default;
    virtual ~TScriptlet() = default;
    TScriptlet(const TScriptlet &) = delete;
    TScriptlet &operator=(const TScriptlet &) = delete;

    QString Name() const { return name_; }
    void SetName(const QString &name) { name_ = name; }

    const QStringList &Methods() const { return methods_; }
    const QStringList &Properties() const { return properties_; }

    // Returns false (unknown name) unless exactly one name is given and it
    // names a method or a property.
    bool GetIDsOfNames(const QStringList &names, int &id);
    bool GetIDOfName(const QString &name, int &id) { return GetIDsOfNames({name}, id); }

    // Arguments in script order. For a put, the value is the last argument.
    // On drFailed, *errorText (when given) receives the reason.
    TDispatchResult Invoke(int id, int flags, const QVariantList &arguments, QVariant &result,
                           QString *errorText = nullptr);

protected:
    void SetMethods(const QStringList &methods) { methods_ = methods; }

    virtual bool HasProperty(const QString &name);
    // May throw: the exception becomes a script error.
    virtual void CallMethod(int index, const QVariantList &arguments, QVariant &result);
    virtual void GetProperty(int index, const QVariantList &arguments, QVariant &result);
    virtual void SetProperty(int index, const QVariantList &arguments, const QVariant &value);

private:
    QString name_;
    QStringList methods_;
    QStringList properties_;
};

} // namespace quillor

// A scriptlet handed back as a result (a property that is an object).
Q_DECLARE_METATYPE(quillor::ScriptletPtr)
