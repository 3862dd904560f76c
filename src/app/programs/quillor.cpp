#include <QApplication>

#include "MainThreadPump.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    quillor::installMainThreadPump();
    return 0;
}
