// The Quillor desktop program: one wizard window and its log window.
#include <QApplication>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

#include "ConvertFlow.h"
#include "DownloadFlow.h"
#include "FormLog.h"
#include "FormMain.h"
#include "Globals.h"
#include "MainThreadPump.h"
#include "MessageSeam.h"

namespace {

// Milliseconds since this process was started by the system, from the
// start time the kernel keeps for it (clock ticks since boot).
long long millisecondsSinceProcessStart()
{
    std::ifstream stat("/proc/self/stat");
    std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which is in parentheses.
    const auto close = content.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(content.substr(close + 2));
    std::string field;
    // Field 22 (starttime) is the 20th after the command name.
    for (int i = 3; i <= 22 && rest >> field; ++i) {
    }
    const double ticks = std::strtod(field.c_str(), nullptr);
    const double startSeconds = ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowSeconds = static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
    return static_cast<long long>((nowSeconds - startSeconds) * 1000.0);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(quillor::applicationTitle());
    quillor::installMainThreadPump();

    quillor::TFormMain main;
    // The convert flow takes over the window's page hooks before start-up runs them.
    quillor::ConvertFlow convertFlow(main);
    // The download flow takes over the link page, the download run and its summary.
    quillor::DownloadFlow downloadFlow(main);
    if (!main.formCreate()) {
        quillor::MessageRequest request;
        request.type = quillor::MessageType::Error;
        request.caption = quillor::applicationTitle();
        request.text = main.startupError();
        request.buttons = {quillor::MessageButton::OK};
        std::fprintf(stderr, "quillor: %s\n", qPrintable(main.startupError()));
        quillor::MessageSeam::show(request);
        return 1;
    }
    quillor::TFormLog log;
    main.setLogWindow(&log);

    if (qEnvironmentVariableIsSet("QUILLOR_BENCH_FIRST_PAINT")) {
        main.onFirstPagePaint([] {
            std::printf("first-paint-ms=%lld\n", millisecondsSinceProcessStart());
            std::fflush(stdout);
            QCoreApplication::quit();
        });
    }
    return app.exec();
}
