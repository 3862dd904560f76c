#include "UtilFuncs.h"

#include "ProgramConfig.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cmath>
#include <cstdio>
#include <utility>

namespace quillor {
namespace {

const QString kInvalidNameChars = QStringLiteral("\\/:*?\"<>|");

// Where the file name starts: after the last separator.
qsizetype fileNameStart(const QString &path)
{
    return path.lastIndexOf(QLatin1Char('/')) + 1;
}

} // namespace

QString EnsureTrailingBackslash(const QString &path)
{
    if (path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

QString StripExtension(const QString &path)
{
    const qsizetype start = fileNameStart(path);
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < start)
        return path;
    return path.left(dot);
}

QString ExtractExtension(const QString &path)
{
    const qsizetype start = fileNameStart(path);
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < start)
        return QString();
    return path.mid(dot);
}

bool HasAnyChar(const QString &text, const QString &chars)
{
    for (const QChar c : chars)
        if (text.contains(c))
            return true;
    return false;
}

bool IsValidFileName(const QString &name)
{
    return !name.isEmpty() && !HasAnyChar(name, kInvalidNameChars);
}

QString SanitizeFileName(const QString &name)
{
    if (IsValidFileName(name))
        return name;
    QString out = name;
    for (const QChar c : kInvalidNameChars)
        out.replace(c, QLatin1Char('_'));
    return out;
}

QString UniqueFileName(const QString &name, const QString &folder)
{
    const QString dir = EnsureTrailingBackslash(folder);
    if (!QFileInfo::exists(dir + name))
        return name;
    const QString stem = StripExtension(name);
    const QString ext = ExtractExtension(name);
    QString candidate;
    for (int i = 1;; ++i) {
        candidate = stem + QLatin1Char('(') + QString::number(i) + QLatin1Char(')') + ext;
        if (i >= 32768 || !QFileInfo::exists(dir + candidate))
            break;
    }
    return candidate;
}

bool IsMediaExtension(const QString &extension)
{
    static const QStringList kMedia = {
        // audio
        QStringLiteral(".mp3"), QStringLiteral(".aac"), QStringLiteral(".wav"), QStringLiteral(".wma"),
        QStringLiteral(".cda"), QStringLiteral(".flac"), QStringLiteral(".m4a"), QStringLiteral(".mid"),
        QStringLiteral(".mka"), QStringLiteral(".mp2"), QStringLiteral(".mpa"), QStringLiteral(".mpc"),
        QStringLiteral(".ape"), QStringLiteral(".ofr"), QStringLiteral(".ogg"), QStringLiteral(".ra"),
        QStringLiteral(".wv"), QStringLiteral(".tta"), QStringLiteral(".ac3"), QStringLiteral(".dts"),
        // video
        QStringLiteral(".avi"), QStringLiteral(".avm"), QStringLiteral(".asf"), QStringLiteral(".wmv"),
        QStringLiteral(".avs"), QStringLiteral(".flv"), QStringLiteral(".mkv"), QStringLiteral(".mov"),
        QStringLiteral(".3gp"), QStringLiteral(".mp4"), QStringLiteral(".mpg"), QStringLiteral(".dat"),
        QStringLiteral(".ogm"), QStringLiteral(".vob"), QStringLiteral(".rm"), QStringLiteral(".rmvb"),
        QStringLiteral(".ts"), QStringLiteral(".tp"), QStringLiteral(".ifo"), QStringLiteral(".nsv"),
        QStringLiteral(".swf"),
    };
    return kMedia.contains(extension, Qt::CaseInsensitive);
}

QString FormatHMS(std::int64_t seconds)
{
    return QString::asprintf("%0.2lld:%0.2lld:%0.2lld", static_cast<long long>(seconds / 3600),
                             static_cast<long long>((seconds % 3600) / 60), static_cast<long long>(seconds % 60));
}

QString FormatDurationUs(std::int64_t us)
{
    const long long s = us / 1000000;
    return QString::asprintf("%.2lld:%.2lld:%.2lld.%.3lld", s / 60 / 60, (s / 60) % 60, s % 60,
                             static_cast<long long>((us % 1000000) * 1000 / 1000000));
}

QString FormatClockSpan(double days)
{
    constexpr long long kMsPerDay = 24LL * 60 * 60 * 1000;
    if (!std::isfinite(days))
        return QStringLiteral("0:00:00");
    long long ms = std::llround(std::fabs(days - std::trunc(days)) * kMsPerDay) % kMsPerDay;
    const long long h = ms / 3600000;
    const long long n = (ms / 60000) % 60;
    const long long s = (ms / 1000) % 60;
    return QString::asprintf("%lld:%02lld:%02lld", h, n, s);
}

QString GetShellFolder(const QString &name)
{
    QString folder;
    if (name.compare(QLatin1String("AppData"), Qt::CaseInsensitive) == 0) {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        // A fresh account may not have its configuration folder yet; the
        // base directory rules say a program creates it when it needs it.
        if (!folder.isEmpty() && !QFileInfo(folder).isDir())
            QDir().mkpath(folder);
    } else if (name.compare(QLatin1String("Personal"), Qt::CaseInsensitive) == 0) {
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!folder.isEmpty() && !QFileInfo(folder).isDir())
            folder.clear();
    }
    if (folder.isEmpty())
        folder = QDir::homePath();
    if (folder.isEmpty())
        return QStringLiteral("/");
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

QUrl ShellTargetUrl(const QString &target, const QString &programDir)
{
    const QString t = target.trimmed();
    if (t.isEmpty())
        return QUrl();
    if (!t.startsWith(QLatin1Char('/'))) {
        // "https:", "mailto:", "file:" and the like; a single letter before
        // the colon is not a scheme worth handing to the desktop.
        const QUrl parsed(t, QUrl::StrictMode);
        if (parsed.isValid() && parsed.scheme().size() > 1)
            return parsed;
        return QUrl::fromLocalFile(EnsureTrailingBackslash(programDir) + t);
    }
    return QUrl::fromLocalFile(t);
}

void OpenWithShell(const QString &target)
{
    const QUrl url = ShellTargetUrl(target, programFolder());
    if (!url.isEmpty())
        QDesktopServices::openUrl(url);
}

bool BrowseForFolder(QWidget *owner, QString &folder, const QString &title, unsigned)
{
    const QString chosen = QFileDialog::getExistingDirectory(owner, title, folder, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return false;
    QString clean = QDir::cleanPath(chosen);
    while (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    folder = clean;
    return true;
}

namespace {

bool callLogind(const char *method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QString::fromLatin1(method));
    // Interactive: the desktop may ask the user to authorise the action.
    call << true;
    return QDBusConnection::systemBus().send(call);
}

bool defaultShutdown(ShutdownKind kind)
{
    if (kind == ShutdownKind::Quit) {
        if (QCoreApplication::instance())
            QCoreApplication::quit();
        return true;
    }
    // A safety catch for test and benchmark runs: never touch the machine.
    if (!qEnvironmentVariableIsEmpty("QUILLOR_SHUTDOWN_DRY_RUN")) {
        std::fprintf(stderr, "quillor: shutdown %d suppressed (QUILLOR_SHUTDOWN_DRY_RUN)\n", static_cast<int>(kind));
        return false;
    }
    switch (kind) {
    case ShutdownKind::PowerOffShutdown:
    case ShutdownKind::PowerOff: return callLogind("PowerOff");
    case ShutdownKind::Reboot: return callLogind("Reboot");
    case ShutdownKind::Hibernate: return callLogind("Hibernate");
    case ShutdownKind::Suspend: return callLogind("Suspend");
    case ShutdownKind::Quit: break;
    }
    return false;
}

ShutdownBackend &shutdownBackend()
{
    static ShutdownBackend backend;
    return backend;
}

int &busyCounter()
{
    static int counter = 0;
    return counter;
}

} // namespace

ShutdownBackend setShutdownBackend(ShutdownBackend backend)
{
    return std::exchange(shutdownBackend(), std::move(backend));
}

bool ShutdownComputer(int kind)
{
    if (kind < 0 || kind > 5)
        return false;
    const auto k = static_cast<ShutdownKind>(kind);
    if (const ShutdownBackend &b = shutdownBackend())
        return b(k);
    return defaultShutdown(k);
}

void BeginBusy()
{
    if (busyCounter()++ == 0 && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void EndBusy()
{
    if (busyCounter() == 0)
        return;
    if (--busyCounter() == 0 && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
}

int busyDepth()
{
    return busyCounter();
}

MessageButton ShowMessageDialog(const QString &message, const QString &caption, MessageType type,
                                const QList<MessageButton> &buttons, const QStringList &buttonCaptions)
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QApplication::beep();
    MessageRequest r;
    r.type = type;
    r.caption = caption;
    r.text = message;
    r.buttons = buttons;
    r.buttonCaptions = buttonCaptions;
    r.parent = QApplication::activeWindow();
    return MessageSeam::show(r);
}

GridRect GridCellRect(int containerWidth, int top, int left, int index, int cellWidth, int cellHeight, int rowGap,
                      int colGap)
{
    // A zero-width cell or a container narrower than one cell still gives
    // one column rather than a division by zero or a negative count.
    int columns = cellWidth > 0 ? (containerWidth - left - colGap) / cellWidth : 1;
    if (columns < 1)
        columns = 1;
    const int row = index / columns;
    const int column = index % columns;
    GridRect r;
    r.left = column * cellWidth + left + column * colGap;
    r.top = row * cellHeight + top + row * rowGap;
    r.right = r.left + cellWidth + colGap;
    r.bottom = r.top + cellHeight + rowGap;
    return r;
}

} // namespace quillor
