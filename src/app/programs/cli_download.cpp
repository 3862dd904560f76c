// quillor-cli download --out DIR [--prefer|--no-prefer] LINK...
//
// Runs the window's download flow without the window: the links go through
// the link list's rules (a refused link is reported on stderr and skipped),
// each video is fetched with the user's stored quality order (the defaults
// when there are no stored settings), every saved file's path is printed as
// it is saved, and a last line gives the counts:
//   total=3 succeeded=2 failed=1
// The exit code is 0 when every link was saved, 1 when some failed, 2 for
// bad arguments. Ctrl+C (SIGINT) or SIGTERM cancels the run like the
// window's Cancel. The transfers use the environment's http_proxy.
#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "CliCommands.h"
#include "DownloadRun.h"
#include "DownloadShared.h"
#include "Globals.h"
#include "MainThreadPump.h"
#include "ProgramConfig.h"
#include "UtilFuncs.h"
#include "VideoLinks.h"
#include "WizardController.h"

namespace quillor::cli {

namespace {

std::atomic<bool> g_cancel{false};

void onSignal(int) { g_cancel = true; }

int usage()
{
    std::fputs("usage: quillor-cli download --out DIR [--prefer|--no-prefer] LINK...\n", stderr);
    return 2;
}

QualityPreference storedPreference()
{
    UserSettings settings; // the preference fields start at their defaults
    const QString file = userSettingsFile(
        applicationDataFolder(GetShellFolder(QStringLiteral("AppData")), applicationTitle()));
    // Read only when present: the command never writes the user's settings.
    if (QFileInfo::exists(file))
        LoadUserSettings(settings, file);
    return PreferenceFromSettings(settings);
}

} // namespace

int download(const std::vector<std::string> &args)
{
    QString folder;
    int prefer = -1;
    std::vector<std::string> links;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--out" && i + 1 < args.size())
            folder = QString::fromStdString(args[++i]);
        else if (a == "--prefer")
            prefer = 1;
        else if (a == "--no-prefer")
            prefer = 0;
        else if (a.rfind("--", 0) == 0)
            return usage();
        else
            links.push_back(a);
    }
    if (folder.isEmpty() || links.empty())
        return usage();

    int argc = 1;
    char name[] = "quillor-cli";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    installMainThreadPump();

    TVideoLinkList list;
    list.OnRefused = [](const QString &message) {
        std::fprintf(stderr, "quillor-cli download: %s\n", qPrintable(QString(message).replace(
                                                               QStringLiteral("\n\r\n\r"), QStringLiteral(": "))));
        return true;
    };
    for (const std::string &link : links)
        list.AddVideoLink(QString::fromStdString(link));
    if (list.Count() == 0)
        return usage();

    folder = EnsureTrailingBackslash(folder);
    if (!WizardController::ensureFolder(folder)) {
        std::fputs("quillor-cli download: Fail to create directory! Please check if output folder have the "
                   "right format!\n",
                   stderr);
        return 1;
    }

    TDownloadRun run(ShellDownloadFileNaming());
    run.Preference() = storedPreference();
    if (prefer >= 0)
        run.Preference().Prefer = prefer == 1;

    QObject::connect(&run, &TDownloadRun::fileSaved, [](const QString &path) {
        downloadedFilesList() << path;
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
    });
    QObject::connect(&run, &TDownloadRun::scriptError, [](const QString &message) {
        std::fprintf(stderr, "quillor-cli download: %s\n", qPrintable(message));
    });
    QObject::connect(&run, &TDownloadRun::saveFailed, [](const QString &path, const QString &reason) {
        std::fprintf(stderr, "quillor-cli download: cannot write %s: %s\n", qPrintable(path), qPrintable(reason));
    });
    int failed = 0;
    QObject::connect(&run, &TDownloadRun::finished, [&failed](int total, int succeeded) {
        failed = total - succeeded;
        std::printf("total=%d succeeded=%d failed=%d\n", total, succeeded, failed);
        std::fflush(stdout);
        QCoreApplication::quit();
    });

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QTimer cancelPoll;
    QObject::connect(&cancelPoll, &QTimer::timeout, [&run] {
        if (g_cancel.exchange(false))
            run.Cancel();
    });
    cancelPoll.start(100);

    run.StartDownloadRun(list.Links(), folder);
    app.exec();
    return failed == 0 ? 0 : 1;
}

} // namespace quillor::cli
