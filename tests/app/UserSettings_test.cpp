#include "MessageSeam.h"
#include "ProfileFile.h"
#include "ProgramConfig.h"
#include "UserSettings.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

using namespace quillor;

namespace {

const char *const kSystemKeysInOrder[] = {
    "LastOpenDir", "OutputFileDir", "OutputURLDir", "OutputFormatClass", "OutputAudioFormat",
    "OutputVideoFormat", "OutputDeviceFormat", "OutputWAVPreset", "OutputMP3Preset", "OutputWMAPreset",
    "OutputOGGPreset", "OutputM4APreset", "OutputAACPreset", "OutputFLACPreset", "OutputMP2Preset",
    "OutputAVIPreset", "OutputMP4Preset", "OutputFLVPreset", "OutputSWFPreset", "OutputMPEGPreset",
    "OutputRMPreset", "OutputWMVPreset", "OutputMOVPreset", "Output3GPPreset", "OutputiPodPreset",
    "OutputiPhonePreset", "OutputAppleTVPreset", "OutputPSPPreset", "OutputBlackBerryPreset",
    "OutputMobilePhonePreset", "OutputiPadPreset", "OutputAndroidPreset", "PlayASoundWhenFinished",
    "ShutDownWhenFinished", "PreferYouTubeQuality", "PreferYouTube1", "PreferYouTube2", "PreferYouTube3",
    "PreferYouTube4", "PreferYouTube5", "PreferYouTube6", "PreferYouTube7", "PreferYouTube18",
};

ProgramConfig shippedLikeConfig()
{
    ProgramConfig c;
    c.DefaultClass = 2;
    c.DefaultVideo = 1;
    c.DefaultDevice = 1;
    c.DefaultAudio = 1;
    return c;
}

void writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Records every message that reaches the seam and answers OK.
struct RecordingSeam {
    QList<MessageRequest> seen;
    ScopedMessageHandler scope{[this](const MessageRequest &r) {
        seen.append(r);
        return MessageButton::OK;
    }};
};

} // namespace

TEST(UserSettings, DefaultsComeFromTheTableAndTheConfiguration)
{
    ProgramConfig c = shippedLikeConfig();
    UserSettings s = UserSettings::defaults(c, QStringLiteral("/home/u/Documents"));
    EXPECT_EQ(s.LastOpenDir, QStringLiteral("/home/u/Documents"));
    EXPECT_EQ(s.OutputURLDir, QStringLiteral("/home/u/Documents"));
    EXPECT_EQ(s.OutputFormatClass, 2);
    EXPECT_EQ(s.OutputAudioFormat, 1);
    EXPECT_EQ(s.OutputWMVPreset, 16);
    EXPECT_TRUE(s.PreferYouTubeQuality);
    EXPECT_EQ(s.PreferYouTube4, 0);
    c.DefaultClass = 5;
    EXPECT_EQ(UserSettings::defaults(c, QString()).OutputFormatClass, 0);
}

TEST(UserSettings, FirstStartWritesEveryKeyInOrderAndALaterStartReadsThemBack)
{
    QTemporaryDir dir;
    const QString file = userSettingsFile(dir.path() + QLatin1Char('/'));
    EXPECT_TRUE(file.endsWith(QStringLiteral("/~system2.dat")));

    UserSettings first = UserSettings::defaults(shippedLikeConfig(), QStringLiteral("/docs"));
    EXPECT_FALSE(LoadUserSettings(first, file));
    EXPECT_EQ(currentUserSettingsFile(), file);

    const QList<QByteArray> lines = splitProfileLines(readFile(file));
    ASSERT_EQ(lines.size(), 1 + static_cast<qsizetype>(std::size(kSystemKeysInOrder)));
    EXPECT_EQ(lines[0], "[System]");
    for (size_t i = 0; i < std::size(kSystemKeysInOrder); ++i)
        EXPECT_TRUE(lines[i + 1].startsWith(QByteArray(kSystemKeysInOrder[i]) + '=')) << lines[i + 1].constData();
    EXPECT_TRUE(lines.contains("PlayASoundWhenFinished=0"));
    EXPECT_TRUE(lines.contains("PreferYouTubeQuality=1"));
    EXPECT_TRUE(lines.contains("LastOpenDir=/docs"));

    // Change everything kind by kind, save, and read into fresh defaults.
    UserSettings changed = first;
    changed.OutputFileDir = QString::fromUtf8("/media/Vidéos ü/out dir/");
    changed.OutputFormatClass = 1;
    changed.OutputAndroidPreset = 4;
    changed.ShutDownWhenFinished = true;
    changed.PreferYouTubeQuality = false;
    changed.PreferYouTube18 = 2;
    ASSERT_TRUE(SaveUserSettings(changed, file));

    UserSettings later = UserSettings::defaults(shippedLikeConfig(), QStringLiteral("/docs"));
    EXPECT_TRUE(LoadUserSettings(later, file));
    EXPECT_EQ(later.OutputFileDir, changed.OutputFileDir);
    EXPECT_EQ(later.OutputFormatClass, 1);
    EXPECT_EQ(later.OutputAndroidPreset, 4);
    EXPECT_TRUE(later.ShutDownWhenFinished);
    EXPECT_FALSE(later.PreferYouTubeQuality);
    EXPECT_EQ(later.PreferYouTube18, 2);
}

TEST(UserSettings, StoredValuesAreReadAsTheProfileReaderDoes)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("~system2.dat"));
    writeFile(file, "[system]\r\n"
                    "outputwmvpreset = 0x10\r\n"
                    "OutputMP4Preset=$A\r\n"
                    "OutputMP3Preset=abc\r\n"
                    "OutputAVIPreset=\r\n"
                    "OutputFormatClass=258\r\n"
                    "OutputAudioFormat=-1\r\n"
                    "PlayASoundWhenFinished=2\r\n"
                    "PreferYouTubeQuality=no\r\n"
                    "PreferYouTube1=9\r\n"
                    "PreferYouTube4=264\r\n"
                    "PreferYouTube5=7\r\n"
                    "LastOpenDir=\"/quoted/path\"\r\n"
                    "OutputURLDir=" + QByteArray(3000, 'd') + "\r\n");
    UserSettings s = UserSettings::defaults(shippedLikeConfig(), QStringLiteral("/docs"));
    ASSERT_TRUE(LoadUserSettings(s, file));
    EXPECT_EQ(s.OutputWMVPreset, 16);
    EXPECT_EQ(s.OutputMP4Preset, 10);
    EXPECT_EQ(s.OutputMP3Preset, 2);    // not a number: the default
    EXPECT_EQ(s.OutputAVIPreset, 3);    // empty: the default
    EXPECT_EQ(s.OutputFormatClass, 2);  // low 8 bits of 258
    EXPECT_EQ(s.OutputAudioFormat, 255);
    EXPECT_TRUE(s.PlayASoundWhenFinished);
    EXPECT_TRUE(s.PreferYouTubeQuality);   // not a number keeps the default
    EXPECT_EQ(s.PreferYouTube1, 1);        // 9 names no quality: its place's default
    EXPECT_EQ(s.PreferYouTube4, 0);        // 264 keeps 8, which names no quality either
    EXPECT_EQ(s.PreferYouTube5, 7);
    EXPECT_EQ(s.LastOpenDir, QStringLiteral("/quoted/path"));
    EXPECT_EQ(s.OutputURLDir.size(), 2047);
    EXPECT_EQ(s.OutputFileDir, QStringLiteral("/docs"));   // absent: the value in memory
}

TEST(UserSettings, SavingKeepsTheWindowSectionsAndOtherLines)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("~system2.dat"));
    writeFile(file, "[Form]\nx=10\ny=20\n\n[System]\n; kept\nLastOpenDir=/old\nUnknownKey=stays\n[FormLog]\nx=5\n");
    UserSettings s = UserSettings::defaults(shippedLikeConfig(), QStringLiteral("/new"));
    ASSERT_TRUE(SaveUserSettings(s, file));

    const ProfileFile ini = ProfileFile::fromText(readFile(file));
    EXPECT_EQ(ini.value(QStringLiteral("Form"), QStringLiteral("y")), QStringLiteral("20"));
    EXPECT_EQ(ini.value(QStringLiteral("FormLog"), QStringLiteral("x")), QStringLiteral("5"));
    EXPECT_EQ(ini.value(QStringLiteral("System"), QStringLiteral("UnknownKey")), QStringLiteral("stays"));
    EXPECT_EQ(ini.value(QStringLiteral("System"), QStringLiteral("LastOpenDir")), QStringLiteral("/new"));
    EXPECT_EQ(ini.value(QStringLiteral("System"), QStringLiteral("PreferYouTube18")), QStringLiteral("7"));
    EXPECT_EQ(ini.sections(), (QStringList{QStringLiteral("Form"), QStringLiteral("System"), QStringLiteral("FormLog")}));
    EXPECT_TRUE(readFile(file).contains("; kept"));
}

TEST(UserSettings, AValueWithALineBreakCannotAddKeys)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("~system2.dat"));
    UserSettings s = UserSettings::defaults(shippedLikeConfig(), QStringLiteral("/docs"));
    s.OutputFileDir = QStringLiteral("/a\nOutputWMVPreset=0\n[Form]");
    ASSERT_TRUE(SaveUserSettings(s, file));
    UserSettings back = UserSettings::defaults(shippedLikeConfig(), QStringLiteral("/docs"));
    ASSERT_TRUE(LoadUserSettings(back, file));
    EXPECT_EQ(back.OutputFileDir, QStringLiteral("/a"));
    EXPECT_EQ(back.OutputWMVPreset, 16);
}

TEST(UserSettings, AFileThatCannotBeWrittenGivesTheNoticeAndTheProgramGoesOn)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("missing-folder/~system2.dat"));
    RecordingSeam seam;
    UserSettings s = UserSettings::defaults(shippedLikeConfig(), QStringLiteral("/docs"));
    EXPECT_FALSE(LoadUserSettings(s, file));   // first start: tries to create it
    EXPECT_FALSE(SaveUserSettings(s, file));
    QWidget w;
    EXPECT_FALSE(SaveFormPosition(QStringLiteral("Form"), &w, file));
    ASSERT_EQ(seam.seen.size(), 3);
    for (const MessageRequest &r : seam.seen) {
        EXPECT_EQ(r.text, QStringLiteral("Unable to write to %1").arg(file));
        EXPECT_EQ(r.caption, QStringLiteral("Quillor"));
        EXPECT_EQ(r.buttons, QList<MessageButton>{MessageButton::OK});
    }
    EXPECT_EQ(s.OutputWMVPreset, 16);
}

TEST(UserSettings, WindowPlacementIsKeptOnTheScreen)
{
    const struct {
        const char *name;
        int x, y, w, h;
        int ex, ey;
    } rows[] = {
        {"inside", 100, 50, 800, 600, 100, 50},
        {"off the right", 5000, 10, 800, 600, 1120, 10},
        {"off the bottom", 10, 900, 800, 600, 10, 480},
        {"negative", -40, -3, 800, 600, 0, 0},
        {"wider than the screen", 300, 0, 2500, 600, 0, 0},
        {"taller than the screen", 0, 300, 800, 1500, 0, 0},
    };
    for (const auto &r : rows) {
        const WindowPlacement p = clampWindowPlacement(r.x, r.y, r.w, r.h, false, 1920, 1080);
        EXPECT_EQ(p.x, r.ex) << r.name;
        EXPECT_EQ(p.y, r.ey) << r.name;
    }
}

TEST(UserSettings, WindowPositionRoundTripsAndKeepsTheWindowSize)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("~system2.dat"));
    QWidget saved;
    saved.setGeometry(40, 30, 200, 100);
    ASSERT_TRUE(SaveFormPosition(QStringLiteral("FormLog"), &saved, file));
    const ProfileFile ini = ProfileFile::fromText(readFile(file));
    EXPECT_EQ(ini.value(QStringLiteral("FormLog"), QStringLiteral("x")), QStringLiteral("40"));
    EXPECT_EQ(ini.value(QStringLiteral("FormLog"), QStringLiteral("maximized")), QStringLiteral("0"));

    QWidget restored;
    restored.resize(300, 150);
    EXPECT_TRUE(RestoreFormPosition(QStringLiteral("FormLog"), &restored, file));
    EXPECT_EQ(restored.pos(), QPoint(40, 30));
    EXPECT_EQ(restored.size(), QSize(300, 150));
    EXPECT_FALSE(restored.isMaximized());

    // Saved while maximised: restored maximised, at the stored place.
    writeFile(file, "[Form]\nx=12\ny=8\nwidth=100\nheight=100\nmaximized=1\n");
    setUserSettingsFile(file);
    QWidget main;
    EXPECT_TRUE(RestoreFormPosition(QStringLiteral("Form"), &main, QStringLiteral("  ")));
    EXPECT_TRUE(main.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(main.pos(), QPoint(12, 8));

    // No section: the window stays where it is.
    QWidget untouched;
    untouched.move(7, 9);
    EXPECT_TRUE(RestoreFormPosition(QStringLiteral("Nothing"), &untouched, file));
    EXPECT_EQ(untouched.pos(), QPoint(7, 9));
}
