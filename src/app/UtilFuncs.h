#pragma once
// Routines the main window, the dialogs and the download side share: path
// and file-name helpers, the media-extension test for dropped files, time
// formats, the user's special folders, opening targets with the desktop,
// the folder picker, powering the machine off, a nesting busy cursor, a
// message dialog with a custom caption and the grid placement of buttons.
// All run on the main thread.

#include "MessageSeam.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <functional>

class QWidget;

namespace quillor {

// Paths and file names. The separator is "/".
QString EnsureTrailingBackslash(const QString &path);   // appends "/" unless present; "" -> "/"
QString StripExtension(const QString &path);            // drops the file name's extension (from its last dot)
QString ExtractExtension(const QString &path);          // the file name's extension, dot included, or ""
bool HasAnyChar(const QString &text, const QString &chars);
bool IsValidFileName(const QString &name);              // non-empty, none of \ / : * ? " < > |
QString SanitizeFileName(const QString &name);          // each of those characters -> "_"
// A file name (not a path) that does not exist yet in `folder`: the name
// itself, else name(1).ext, name(2).ext, ... up to (32768), the last untested.
QString UniqueFileName(const QString &name, const QString &folder);

// The extension, dot included, is one the program accepts as dropped media.
bool IsMediaExtension(const QString &extension);

// Time formats.
QString FormatHMS(std::int64_t seconds);              // "01:02:05"; hours unlimited
QString FormatDurationUs(std::int64_t microseconds);  // "01:02:03.500"
QString FormatClockSpan(double days);                 // "h:nn:ss" of the time-of-day part

// The user's special folders: "AppData" -> the user's configuration folder,
// "Personal" -> the documents folder, else the home folder. No trailing "/".
// An unknown name or an empty answer gives the home folder, else "/".
QString GetShellFolder(const QString &name);

// Opens a file, a folder or a web address with the desktop's default
// handler. Empty targets and failures are ignored.
void OpenWithShell(const QString &target);
// What OpenWithShell opens: a web or mail address as it is, an absolute
// path as a local file, a relative path from the program folder (the
// offline help ships there). Empty for a blank target.
QUrl ShellTargetUrl(const QString &target, const QString &programDir);

// The folder picker. On OK `folder` becomes the chosen folder (no trailing
// "/") and the result is true; on Cancel `folder` is unchanged.
bool BrowseForFolder(QWidget *owner, QString &folder, const QString &title, unsigned flags = 0x41);

// Shutting the machine down. kind 0 quits the application, 1 and 2 power
// off, 3 reboots, 4 hibernates, 5 suspends; other kinds do nothing. The
// work goes through a replaceable backend so that tests never power a
// machine off; the default asks systemd-logind over D-Bus.
enum class ShutdownKind { Quit = 0, PowerOffShutdown = 1, PowerOff = 2, Reboot = 3, Hibernate = 4, Suspend = 5 };
using ShutdownBackend = std::function<bool(ShutdownKind)>;
// Returns the previous backend; an empty one restores the default.
ShutdownBackend setShutdownBackend(ShutdownBackend backend);
bool ShutdownComputer(int kind);

// Nesting busy cursor: the wait cursor shows until the outermost pair ends.
void BeginBusy();
void EndBusy();
int busyDepth();

// A modal message dialog with a caption of its own and relabelled buttons,
// through the message seam. Sounds the beep of its type first.
MessageButton ShowMessageDialog(const QString &message, const QString &caption, MessageType type,
                                const QList<MessageButton> &buttons, const QStringList &buttonCaptions = {});

// The index-th cell of a grid filled row by row in a container. Right and
// bottom include the gaps: right = left + cell width + column gap.
struct GridRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    QRect toQRect() const { return QRect(left, top, right - left, bottom - top); }
    bool operator==(const GridRect &) const = default;
};
GridRect GridCellRect(int containerWidth, int top, int left, int index, int cellWidth, int cellHeight, int rowGap,
                   int colGap);

} // namespace quillor
