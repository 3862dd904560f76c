#include "MainThreadPump.h"

#include "MainThreadQueue.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace quillor {

void installMainThreadPump()
{
    auto &queue = MainThreadQueue::instance();
    queue.bindToCurrentThread();
    queue.setWakeHook([] {
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [] { MainThreadQueue::instance().drain(); },
                                      Qt::QueuedConnection);
    });
}

} // namespace quillor
