#include "ComponentScriptlet.h"

#include <QMetaEnum>
#include <QMetaProperty>

#include <stdexcept>

namespace quillor {

ScriptletPtr TComponentScriptlet::Create(QObject *component, const QString &name)
{
    auto scriptlet = std::make_shared<TComponentScriptlet>();
    scriptlet->SetComponent(component);
    scriptlet->SetName(name.isEmpty() && component ? component->objectName() : name);
    return scriptlet;
}

QObject *TComponentScriptlet::FindOwned(const QString &name) const
{
    if (!component_ || name.isEmpty())
        return nullptr;
    const auto descendants = component_->findChildren<QObject *>();
    for (QObject *child : descendants) {
        if (child->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return child;
    }
    return nullptr;
}

int TComponentScriptlet::FindProperty(const QString &name) const
{
    if (!component_)
        return -1;
    const QMetaObject *meta = component_->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        if (QString::fromLatin1(meta->property(i).name()).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool TComponentScriptlet::HasProperty(const QString &name)
{
    return FindOwned(name) || FindProperty(name) >= 0;
}

namespace {

// Values scripts can take as they are; anything else is handed over as
// text, and objects as scriptlets, so that no object of this thread ever
// reaches the engine's thread directly.
QVariant ScriptableValue(const QMetaProperty &property, const QVariant &value)
{
    if (!value.isValid())
        return QVariant();
    if (property.isEnumType()) {
        const QMetaEnum enumerator = property.enumerator();
        const int raw = value.toInt();
        if (enumerator.isFlag())
            return QString::fromLatin1(enumerator.valueToKeys(raw));
        const char *key = enumerator.valueToKey(raw);
        return key ? QVariant(QString::fromLatin1(key)) : QVariant(raw);
    }
    if (value.metaType().flags() & QMetaType::PointerToQObject) {
        QObject *object = value.value<QObject *>();
        return object ? QVariant::fromValue(TComponentScriptlet::Create(object)) : QVariant();
    }
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::QString:
    case QMetaType::QStringList:
        return value;
    default:
        return value.canConvert<QString>() ? QVariant(value.toString()) : QVariant();
    }
}

} // namespace

void TComponentScriptlet::GetProperty(int index, const QVariantList &arguments, QVariant &result)
{
    result = QVariant();
    if (!arguments.isEmpty() || index < 0 || index >= Properties().size())
        return;
    const QString &name = Properties().at(index);
    if (QObject *owned = FindOwned(name)) {
        result = QVariant::fromValue(Create(owned));
        return;
    }
    const int property = FindProperty(name);
    if (property < 0)
        return;
    const QMetaProperty meta = component_->metaObject()->property(property);
    result = ScriptableValue(meta, meta.read(component_));
}

void TComponentScriptlet::SetProperty(int index, const QVariantList &arguments, const QVariant &value)
{
    if (!arguments.isEmpty() || index < 0 || index >= Properties().size())
        return;
    const QString &name = Properties().at(index);
    if (FindOwned(name))
        return;
    const int property = FindProperty(name);
    if (property < 0)
        return;
    const QMetaProperty meta = component_->metaObject()->property(property);
    if (!meta.write(component_, value))
        throw std::runtime_error("Cannot set property " + std::string(meta.name()));
}

} // namespace quillor
