#pragma once
// Plain types shared by the script host: the engine states, the error
// report and the message the window shows for it.

#include <QString>

#include <cstdint>

namespace quillor {

enum class TScriptState {
    ssUninitialized,
    ssInitialized,
    ssStarted,
    ssConnected,
    ssDisconnected,
    ssClosed,
};

struct TScriptError {
    // The kind of error as the engine names it ("SyntaxError",
    // "ReferenceError", ...), "Interrupted" for a script stopped for running
    // too long, empty when the script threw something other than an error.
    QString Error;
    QString Description;
    // 0-based line of the script text (the first entry of Lines is 0).
    std::uint32_t Line = 0;
    // 0-based character position in that line, -1 when the engine does not
    // say (it gives columns for syntax errors only).
    std::int32_t Column = -1;
};

// "Error: Line number <n>, <description>" with the 1-based line, as the
// main window shows it.
QString FormatScriptErrorMessage(const TScriptError &error);

} // namespace quillor
