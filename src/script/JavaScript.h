#pragma once
// The script object of the program: JavaScript on QJSEngine.

#include "CustomScript.h"

namespace quillor {

class TJavaScript : public TCustomScript {
    Q_OBJECT
public:
    using TCustomScript::TCustomScript;

protected:
    std::unique_ptr<QJSEngine> CreateEngine() override;
};

} // namespace quillor
