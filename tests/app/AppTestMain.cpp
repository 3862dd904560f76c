// Runs the GoogleTest cases of the application shell inside a QApplication
// on the offscreen platform, with QStandardPaths pointed at test folders so
// no test touches the user's own settings.
#include <QApplication>
#include <QStandardPaths>

#include "MessageSeam.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QUILLOR_SHUTDOWN_DRY_RUN", "1");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // A modal box would wait forever for a click that never comes: a
    // message no test expected fails that test and is answered as
    // dismissed. Tests that expect messages install their own handler.
    quillor::MessageSeam::setHandler([](const quillor::MessageRequest &r) {
        ADD_FAILURE() << "unexpected message \"" << r.text.toStdString() << "\"";
        if (r.buttons.contains(quillor::MessageButton::Cancel))
            return quillor::MessageButton::Cancel;
        if (r.buttons.contains(quillor::MessageButton::No))
            return quillor::MessageButton::No;
        return quillor::MessageButton::OK;
    });
    return RUN_ALL_TESTS();
}
