#include "JavaScript.h"

#include <QJSEngine>

namespace quillor {

std::unique_ptr<QJSEngine> TJavaScript::CreateEngine()
{
    // A bare engine: the language's own objects (escape and unescape
    // included) and the named objects are all a script gets.
    return std::make_unique<QJSEngine>();
}

} // namespace quillor
