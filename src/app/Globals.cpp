#include "Globals.h"

namespace quillor {

QStringList &conversionErrorList()
{
    static QStringList list;
    return list;
}

QStringList &failedFilesList()
{
    static QStringList list;
    return list;
}

QStringList &downloadedFilesList()
{
    static QStringList list;
    return list;
}

} // namespace quillor
