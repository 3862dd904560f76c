// The download tests run inside a widget application (offscreen), with the
// main-thread queue drained by the Qt event loop as in the program, and
// with settings in the test folders.
#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "MainThreadPump.h"

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quillor::installMainThreadPump();
    return RUN_ALL_TESTS();
}
