#include "CustomScript.h"

#include "ScriptRun.h"
#include "ScriptSite.h"

#include <QJSEngine>

#include <stdexcept>

namespace quillor {

TCustomScript::TCustomScript(QObject *owner) : QObject(owner) {}

TCustomScript::~TCustomScript()
{
    Q_ASSERT_X(!running_, "TCustomScript", "destroyed from inside its own run");
    // The owner is usually being destroyed too: its handlers must not hear
    // of this close.
    if (site_)
        site_->Detach();
    Close();
}

void TCustomScript::AddScriptlet(const ScriptletPtr &scriptlet)
{
    if (scriptlet && !FindScriptlet(scriptlet->Name()))
        namedItems_.push_back(scriptlet);
}

ScriptletPtr TCustomScript::FindScriptlet(const QString &name) const
{
    for (const ScriptletPtr &item : namedItems_) {
        if (item->Name() == name)
            return item;
    }
    return nullptr;
}

void TCustomScript::Run()
{
    if (running_)
        throw std::logic_error("A script cannot be run from inside its own run");
    Close();

    site_ = std::make_shared<TScriptSite>(this);
    engine_ = std::make_unique<ScriptRun>(site_);

    ScriptRun::Setup setup;
    setup.createEngine = [this] { return CreateEngine(); };
    for (const ScriptletPtr &item : namedItems_) {
        if (ScriptletPtr found = site_->GetItemInfo(item->Name()))
            setup.namedItems.emplace_back(item->Name(), found);
    }
    for (const QString &line : lines_) {
        setup.text += line;
        setup.text += QLatin1String("\r\n");
    }
    setup.queryContinueInterval = QueryContinueInterval;
    setup.timeLimit = timeLimit_;

    running_ = true;
    ScriptRun *run = engine_.get();
    try {
        run->Execute(setup);
    } catch (...) {
        running_ = false;
        throw;
    }
    running_ = false;
}

void TCustomScript::Close()
{
    if (engine_) {
        if (site_)
            site_->OnStateChange(TScriptState::ssClosed);
        if (running_) {
            // Run, further up this thread's stack, still serves this run;
            // it ends as soon as the engine notices.
            engine_->Interrupt(ScriptRun::StopReason::Closed);
        }
    }
    if (site_) {
        site_->Detach();
        site_.reset();
    }
    if (!running_)
        engine_.reset();
}

void TCustomScript::DoError(const TScriptError &error)
{
    if (OnError)
        OnError(*this, error);
}

void TCustomScript::DoEnter()
{
    if (OnEnter)
        OnEnter(*this);
}

void TCustomScript::DoLeave()
{
    if (OnLeave)
        OnLeave(*this);
}

void TCustomScript::DoQueryContinue(bool &allow)
{
    if (OnQueryContinue)
        OnQueryContinue(*this, allow);
}

void TCustomScript::DoStateChange(TScriptState state)
{
    if (OnStateChange)
        OnStateChange(*this, state);
}

} // namespace quillor
