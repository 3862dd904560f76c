#pragma once
// Shows one QObject to scripts (the "Form" object is the main window).
//
// A member name is looked up, without regard to case, first among the
// object's named descendants (widgets sit inside layouts and panels, but
// the window is the one that owns them all), then among its Qt properties.
// Reading a descendant gives a scriptlet for it, named with the
// descendant's own name; reading a property gives its value, enumerations
// and flags as their key names. Writing sets a property; writing to a
// descendant's name does nothing. The object may go away at any time: a
// scriptlet of a destroyed object has no members.

#include "Scriptlet.h"

#include <QObject>
#include <QPointer>

namespace quillor {

class TComponentScriptlet : public TScriptlet {
public:
    TComponentScriptlet() = default;

    // A scriptlet for component, named name (the component's own object
    // name when name is empty).
    static ScriptletPtr Create(QObject *component, const QString &name = QString());

    QObject *Component() const { return component_; }
    void SetComponent(QObject *component) { component_ = component; }

protected:
    bool HasProperty(const QString &name) override;
    void GetProperty(int index, const QVariantList &arguments, QVariant &result) override;
    void SetProperty(int index, const QVariantList &arguments, const QVariant &value) override;

private:
    QObject *FindOwned(const QString &name) const;
    int FindProperty(const QString &name) const;

    QPointer<QObject> component_;
};

} // namespace quillor
