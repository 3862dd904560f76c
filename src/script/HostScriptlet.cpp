#include "HostScriptlet.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace quillor {

namespace {

enum HostMethod { hmAlert, hmCreateObject, hmEcho, hmReadText, hmWriteText };

constexpr int kArgumentCounts[] = {1, 1, 1, 1, 2};

} // namespace

QString ScriptArgumentText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    return value.toString();
}

THostScriptlet::THostScriptlet()
{
    SetName(QStringLiteral("Host"));
    SetMethods({QStringLiteral("Alert"), QStringLiteral("CreateObject"), QStringLiteral("Echo"),
                QStringLiteral("ReadText"), QStringLiteral("WriteText")});
}

void THostScriptlet::CallMethod(int index, const QVariantList &arguments, QVariant &result)
{
    result = QVariant();
    if (index < 0 || index >= int(std::size(kArgumentCounts)) || arguments.size() != kArgumentCounts[index])
        return;
    const QString first = ScriptArgumentText(arguments.at(0));
    switch (index) {
    case hmAlert:
        if (OnAlert)
            OnAlert(*this, first);
        break;
    case hmCreateObject: {
        bool allow = true;
        if (OnCreateObject)
            OnCreateObject(*this, first, allow);
        // There is no system-wide registry of creatable classes here, so
        // nothing is ever created; the script gets undefined.
        break;
    }
    case hmEcho:
        if (OnEcho)
            OnEcho(*this, first);
        break;
    case hmReadText:
        result = ReadTextFile(first);
        break;
    case hmWriteText: {
        const QString text = ScriptArgumentText(arguments.at(1));
        if (!text.isEmpty())
            WriteTextFile(first, text); // a file that cannot be written is skipped
        break;
    }
    }
}

QString THostScriptlet::ReadTextFile(const QString &fileName)
{
    if (fileName.isEmpty())
        return QString();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = file.readAll();
    if (bytes.size() >= 2 && bytes.size() % 2 == 0 && bytes.at(1) == '\0') {
        QStringDecoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
        return utf16.decode(bytes);
    }
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    return QString::fromUtf8(view);
}

bool THostScriptlet::WriteTextFile(const QString &fileName, const QString &text)
{
    if (fileName.isEmpty())
        return false;
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace quillor
