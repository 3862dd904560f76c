#pragma once
// Lets the Qt event loop drain the process-wide main-thread call queue.
// Call installMainThreadPump() on the main thread once a QCoreApplication
// exists; every post then schedules a drain on the event loop.

namespace quillor {
void installMainThreadPump();
}
