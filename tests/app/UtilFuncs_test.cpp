#include "UtilFuncs.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quillor;

namespace {
void touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}
} // namespace

TEST(UtilFuncs, PathsAndFileNames)
{
    EXPECT_EQ(EnsureTrailingBackslash(QStringLiteral("/out")), QStringLiteral("/out/"));
    EXPECT_EQ(EnsureTrailingBackslash(QStringLiteral("/out/")), QStringLiteral("/out/"));
    EXPECT_EQ(EnsureTrailingBackslash(QString()), QStringLiteral("/"));

    const struct {
        const char *path, *stripped, *ext;
    } rows[] = {
        {"/a.b/c.d.mp4", "/a.b/c.d", ".mp4"},
        {"/a.b/c", "/a.b/c", ""},
        {"clip", "clip", ""},
        {".hidden", "", ".hidden"},
        {"", "", ""},
    };
    for (const auto &r : rows) {
        EXPECT_EQ(StripExtension(QString::fromUtf8(r.path)), QString::fromUtf8(r.stripped)) << r.path;
        EXPECT_EQ(ExtractExtension(QString::fromUtf8(r.path)), QString::fromUtf8(r.ext)) << r.path;
    }

    const struct {
        const char *name, *sanitized;
        bool valid;
    } names[] = {
        {"a:b?c", "a_b_c", false},
        {"ab", "ab", true},
        {"", "", false},
        {"x\\/:*?\"<>|y", "x_________y", false},
        {"tab\there", "tab\there", true},   // control characters stay
        {"Ünïcode – ok.mp4", "Ünïcode – ok.mp4", true},
    };
    for (const auto &r : names) {
        EXPECT_EQ(SanitizeFileName(QString::fromUtf8(r.name)), QString::fromUtf8(r.sanitized)) << r.name;
        EXPECT_EQ(IsValidFileName(QString::fromUtf8(r.name)), r.valid) << r.name;
    }
    EXPECT_TRUE(HasAnyChar(QStringLiteral("abc"), QStringLiteral("xyc")));
    EXPECT_FALSE(HasAnyChar(QStringLiteral("abc"), QString()));
}

TEST(UtilFuncs, UniqueFileNameCountsUpBeforeTheExtension)
{
    QTemporaryDir dir;
    const QString folder = dir.path();   // no trailing "/": one is added
    EXPECT_EQ(UniqueFileName(QStringLiteral("clip.mp4"), folder), QStringLiteral("clip.mp4"));
    touch(folder + QStringLiteral("/clip.mp4"));
    touch(folder + QStringLiteral("/clip(1).mp4"));
    EXPECT_EQ(UniqueFileName(QStringLiteral("clip.mp4"), folder), QStringLiteral("clip(2).mp4"));
    touch(folder + QStringLiteral("/clip"));
    EXPECT_EQ(UniqueFileName(QStringLiteral("clip"), folder), QStringLiteral("clip(1)"));
    touch(folder + QStringLiteral("/100% %d.flv"));
    EXPECT_EQ(UniqueFileName(QStringLiteral("100% %d.flv"), folder), QStringLiteral("100% %d(1).flv"));
}

TEST(UtilFuncs, MediaExtensions)
{
    const struct {
        const char *ext;
        bool media;
    } rows[] = {{".MKV", true}, {".mp3", true}, {".Rmvb", true}, {".swf", true}, {".dts", true},
                {".webm", false}, {".mpeg", false}, {"", false}, {"mp4", false}, {".mp4 ", false}};
    for (const auto &r : rows)
        EXPECT_EQ(IsMediaExtension(QString::fromLatin1(r.ext)), r.media) << r.ext;
}

TEST(UtilFuncs, TimeFormats)
{
    const struct {
        long long seconds;
        const char *text;
    } hms[] = {{0, "00:00:00"}, {59, "00:00:59"}, {3725, "01:02:05"}, {360000, "100:00:00"}};
    for (const auto &r : hms)
        EXPECT_EQ(FormatHMS(r.seconds), QString::fromLatin1(r.text)) << r.seconds;

    const struct {
        long long us;
        const char *text;
    } dur[] = {{0, "00:00:00.000"},
               {59999999, "00:00:59.999"},
               {3723500000LL, "01:02:03.500"},
               {1, "00:00:00.000"},
               {100LL * 3600 * 1000000, "100:00:00.000"}};
    for (const auto &r : dur)
        EXPECT_EQ(FormatDurationUs(r.us), QString::fromLatin1(r.text)) << r.us;

    const struct {
        double days;
        const char *text;
    } span[] = {{0.5, "12:00:00"},
                {1.5, "12:00:00"},
                {0.0, "0:00:00"},
                {(3600.0 + 125.0) / 86400.0, "1:02:05"},
                {0.9999999999, "0:00:00"}};   // rounds to a whole day, shown as no time
    for (const auto &r : span)
        EXPECT_EQ(FormatClockSpan(r.days), QString::fromLatin1(r.text)) << r.days;
}

TEST(UtilFuncs, ShellFoldersHaveNoTrailingSeparator)
{
    const QString appData = GetShellFolder(QStringLiteral("AppData"));
    EXPECT_EQ(appData, QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    const QString personal = GetShellFolder(QStringLiteral("Personal"));
    EXPECT_FALSE(personal.isEmpty());
    EXPECT_FALSE(personal.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(QDir(personal).exists());
    EXPECT_EQ(GetShellFolder(QStringLiteral("NoSuchFolder")), QDir::homePath());
}

TEST(UtilFuncs, ShutdownGoesThroughTheReplaceableBackend)
{
    QList<ShutdownKind> asked;
    ShutdownBackend previous = setShutdownBackend([&](ShutdownKind k) {
        asked.append(k);
        return true;
    });
    EXPECT_TRUE(ShutdownComputer(1));
    EXPECT_TRUE(ShutdownComputer(3));
    EXPECT_FALSE(ShutdownComputer(6));   // other kinds do nothing
    EXPECT_FALSE(ShutdownComputer(-1));
    setShutdownBackend(previous);
    EXPECT_EQ(asked, (QList<ShutdownKind>{ShutdownKind::PowerOffShutdown, ShutdownKind::Reboot}));
}

TEST(UtilFuncs, BusyCursorNests)
{
    ASSERT_EQ(busyDepth(), 0);
    EndBusy();   // without a matching BeginBusy: nothing changes
    EXPECT_EQ(busyDepth(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    BeginBusy();
    BeginBusy();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EndBusy();
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);   // outer pair still open
    EndBusy();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(busyDepth(), 0);
}

TEST(UtilFuncs, GridCellRect)
{
    const struct {
        int container, index;
        GridRect expected;
    } rows[] = {
        {521, 0, {10, 5, 74, 65}},
        {521, 1, {74, 5, 138, 65}},
        {521, 7, {458, 5, 522, 65}},
        {521, 8, {10, 65, 74, 125}},   // eight columns, the ninth cell starts row two
        {50, 2, {10, 125, 74, 185}},   // narrower than a cell: one column
    };
    for (const auto &r : rows)
        EXPECT_EQ(GridCellRect(r.container, 5, 10, r.index, 62, 57, 3, 2), r.expected) << r.index;
    // A zero cell width gives one column instead of dividing by zero.
    EXPECT_EQ(GridCellRect(521, 0, 0, 3, 0, 10, 0, 0).top, 30);
}

TEST(UtilFuncs, ShellTargets)
{
    const QString program = QStringLiteral("/opt/quillor");
    const struct {
        const char *target, *url;
    } rows[] = {
        {"https://example.invalid/help?a=1", "https://example.invalid/help?a=1"},
        {"mailto:help@example.invalid", "mailto:help@example.invalid"},
        {"help/index.html", "file:///opt/quillor/help/index.html"},
        {"/home/u/Videos", "file:///home/u/Videos"},
        {"/home/u/a b#1.mp4", "file:///home/u/a%20b%231.mp4"},
        {"  ", ""},
        {"", ""},
    };
    for (const auto &r : rows)
        EXPECT_EQ(ShellTargetUrl(QString::fromUtf8(r.target), program).toString(QUrl::FullyEncoded),
                  QString::fromUtf8(r.url))
            << r.target;
}
