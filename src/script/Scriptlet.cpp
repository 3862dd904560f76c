#include "Scriptlet.h"

#include <exception>

namespace quillor {

bool TScriptlet::GetIDsOfNames(const QStringList &names, int &id)
{
    if (names.size() != 1)
        return false;
    const QString name = names.front().toUpper();
    for (qsizetype method = 0; method < methods_.size(); ++method) {
        if (methods_.at(method).compare(name, Qt::CaseInsensitive) == 0) {
            id = MethodIdBase + static_cast<int>(method);
            return true;
        }
    }
    qsizetype property = properties_.indexOf(name);
    if (property < 0) {
        if (!HasProperty(name))
            return false;
        properties_.append(name);
        property = properties_.size() - 1;
    }
    id = static_cast<int>(property) - MethodIdBase;
    return true;
}

TDispatchResult TScriptlet::Invoke(int id, int flags, const QVariantList &arguments, QVariant &result,
                                   QString *errorText)
{
    result = QVariant();
    try {
        if (flags & dfMethod) {
            const int index = id - MethodIdBase;
            if (index < 0 || index >= methods_.size())
                return TDispatchResult::drBadIndex;
            CallMethod(index, arguments, result);
            return TDispatchResult::drOk;
        }
        const int index = id + MethodIdBase;
        const bool isProperty = index >= 0 && index < properties_.size();
        if (flags == dfPropertyGet && isProperty) {
            GetProperty(index, arguments, result);
            return TDispatchResult::drOk;
        }
        if (flags == dfPropertyPut && isProperty) {
            if (arguments.isEmpty())
                return TDispatchResult::drBadParamCount;
            SetProperty(index, arguments.mid(0, arguments.size() - 1), arguments.back());
            return TDispatchResult::drOk;
        }
        return TDispatchResult::drBadIndex;
    } catch (const std::exception &e) {
        if (errorText)
            *errorText = QString::fromUtf8(e.what());
    } catch (...) {
        if (errorText)
            *errorText = QStringLiteral("Unknown error in %1").arg(name_);
    }
    result = QVariant();
    return TDispatchResult::drFailed;
}

bool TScriptlet::HasProperty(const QString &)
{
    return false;
}

void TScriptlet::CallMethod(int, const QVariantList &, QVariant &result)
{
    result = QVariant();
}

void TScriptlet::GetProperty(int, const QVariantList &, QVariant &result)
{
    result = QVariant();
}

void TScriptlet::SetProperty(int, const QVariantList &, const QVariant &) {}

} // namespace quillor
