#pragma once
// A script object with a "Host" that records what the script tells it.

#include "HostScriptlet.h"
#include "JavaScript.h"

#include <QStringList>

#include <memory>
#include <ostream>
#include <vector>

// Readable QString values in test failures.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace quillor::test {

struct ScriptHarness {
    TJavaScript script;
    std::shared_ptr<THostScriptlet> host = std::make_shared<THostScriptlet>();
    QStringList echoes;
    QStringList alerts;
    std::vector<TScriptError> errors;
    // Every event in order: "enter", "leave", "state N", "error", "echo:TEXT".
    QStringList events;

    ScriptHarness()
    {
        host->OnEcho = [this](THostScriptlet &, const QString &text) {
            echoes << text;
            events << QStringLiteral("echo:") + text;
        };
        host->OnAlert = [this](THostScriptlet &, const QString &text) { alerts << text; };
        script.AddScriptlet(host);
        script.OnError = [this](TCustomScript &, const TScriptError &error) {
            errors.push_back(error);
            events << QStringLiteral("error");
        };
        script.OnEnter = [this](TCustomScript &) { events << QStringLiteral("enter"); };
        script.OnLeave = [this](TCustomScript &) { events << QStringLiteral("leave"); };
        script.OnStateChange = [this](TCustomScript &, TScriptState state) {
            events << QStringLiteral("state %1").arg(int(state));
        };
    }

    void Run(const QString &text)
    {
        script.SetLines(text.split(QLatin1Char('\n')));
        script.Run();
    }

    QString FirstErrorMessage() const
    {
        return errors.empty() ? QString() : FormatScriptErrorMessage(errors.front());
    }
};

} // namespace quillor::test
