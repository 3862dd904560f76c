// Runs the GoogleTest cases of the application shell inside a QApplication
// on the offscreen platform, with QStandardPaths pointed at test folders so
// no test touches the user's own settings.
#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QUILLOR_SHUTDOWN_DRY_RUN", "1");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
