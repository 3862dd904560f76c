#include "ScriptTypes.h"

namespace quillor {

QString FormatScriptErrorMessage(const TScriptError &error)
{
    return QStringLiteral("Error: Line number %1, %2")
        .arg(static_cast<qulonglong>(error.Line) + 1)
        .arg(error.Description);
}

} // namespace quillor
