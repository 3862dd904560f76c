#pragma once
// The "Host" object: how a script talks back to the program.
//
//   Host.Alert(text)            raises OnAlert
//   Host.CreateObject(name)     asks OnCreateObject; returns nothing here
//   Host.Echo(text)             raises OnEcho
//   Host.ReadText(file)         the file's text, "" when it cannot be read
//   Host.WriteText(file, text)  replaces the file with text (non-empty only)
//
// Each method wants exactly that many arguments; any other count makes the
// call do nothing and return undefined. Arguments are taken as text
// (undefined and null as "").

#include "Scriptlet.h"

#include <functional>

namespace quillor {

class THostScriptlet : public TScriptlet {
public:
    using TextEvent = std::function<void(THostScriptlet &sender, const QString &text)>;
    using CreateObjectEvent =
        std::function<void(THostScriptlet &sender, const QString &progId, bool &allow)>;

    THostScriptlet();

    static ScriptletPtr Create() { return std::make_shared<THostScriptlet>(); }

    // Host events; unassigned ones are skipped. They run synchronously from
    // inside the script's Run. A handler that throws makes the script see a
    // run-time error with the exception's text.
    TextEvent OnAlert;
    CreateObjectEvent OnCreateObject;
    TextEvent OnEcho;

    // 8-bit files are read as UTF-8 (a leading byte order mark is dropped);
    // a file of even length whose second byte is zero as UTF-16LE.
    static QString ReadTextFile(const QString &fileName);
    // Written as UTF-8 through a temporary file, so a failed write never
    // leaves a half-written file behind. False when it could not be written.
    static bool WriteTextFile(const QString &fileName, const QString &text);

protected:
    void CallMethod(int index, const QVariantList &arguments, QVariant &result) override;
};

// Text of a script argument: undefined and null become "".
QString ScriptArgumentText(const QVariant &value);

} // namespace quillor
