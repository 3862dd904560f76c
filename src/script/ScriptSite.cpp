#include "ScriptSite.h"

#include "CustomScript.h"

namespace quillor {

ScriptletPtr TScriptSite::GetItemInfo(const QString &name) const
{
    return owner_ ? owner_->FindScriptlet(name) : nullptr;
}

QObject *TScriptSite::GetWindow() const
{
    return owner_ ? owner_->WindowHandle() : nullptr;
}

void TScriptSite::OnStateChange(TScriptState state)
{
    if (owner_)
        owner_->DoStateChange(state);
}

void TScriptSite::OnScriptError(const TScriptError &error)
{
    if (owner_)
        owner_->DoError(error);
}

void TScriptSite::OnEnterScript()
{
    if (owner_)
        owner_->DoEnter();
}

void TScriptSite::OnLeaveScript()
{
    if (owner_)
        owner_->DoLeave();
}

bool TScriptSite::QueryContinue()
{
    bool allow = true;
    if (owner_)
        owner_->DoQueryContinue(allow);
    return allow;
}

} // namespace quillor
