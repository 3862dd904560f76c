#include "ProgramConfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quillor;

namespace {

QByteArray encoded(const QByteArray &plain)
{
    return complementLines(plain);
}

const QByteArray kMinimal = "[SYSTEM]\n"
                            "Skin=2\n"
                            "DefaultVideo=1\n"
                            "DefaultDevice=3\n"
                            "DefaultAudio=4\n"
                            "DefaultClass=1\n";

} // namespace

TEST(ProgramConfig, FlagsAreExactlyTrueOrYes)
{
    const struct {
        const char *text;
        bool expected;
    } rows[] = {{"True", true}, {"Yes", true}, {"true", false}, {"yes", false}, {"TRUE", false},
                {"1", false},   {"", false},   {"False", false}, {"Yes ", false}};
    for (const auto &r : rows)
        EXPECT_EQ(parseConfigFlag(QString::fromLatin1(r.text)), r.expected) << r.text;
}

TEST(ProgramConfig, IntegersTakeHexPrefixesBlanksAndSigns)
{
    const struct {
        const char *text;
        std::optional<int> expected;
    } rows[] = {
        {"5", 5},          {"  7", 7},       {"-3", -3},        {"+4", 4},        {"$10", 16},
        {"0x1F", 31},      {"0X1f", 31},     {"-$10", -16},     {"$FFFFFFFF", -1}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},    {"2147483648", std::nullopt},       {"$100000000", std::nullopt},
        {"", std::nullopt}, {"abc", std::nullopt}, {"$", std::nullopt}, {"0x", std::nullopt},
        {"12a", std::nullopt}, {"1 2", std::nullopt}, {"- 1", std::nullopt},
    };
    for (const auto &r : rows)
        EXPECT_EQ(parseConfigInteger(QString::fromLatin1(r.text)), r.expected) << r.text;
}

TEST(ProgramConfig, ComplementKeepsLineEndsAndIsItsOwnInverse)
{
    const QByteArray plain = "[SYSTEM]\r\nVersion=1.0\nSkin=0\r";
    const QByteArray enc = complementLines(plain);
    EXPECT_EQ(static_cast<unsigned char>(enc[0]), 0xA4);   // "[" is stored as 0xA4
    EXPECT_EQ(enc.count('\r'), 2);
    EXPECT_EQ(enc.count('\n'), 2);
    EXPECT_EQ(complementLines(enc), plain);
}

TEST(ProgramConfig, ReadsEveryKeyWithItsType)
{
    const QByteArray plain = "; shipped configuration\n"
                             "Version=ignored before any section\n"
                             "[system]\n"
                             "  version = 2.5.1  \n"
                             "Copyright=Quill Works\n"
                             "Download=True\n"
                             "Video=Yes\n"
                             "Merge=true\n"
                             "Skin=$3\n"
                             "ResFolder=blue\n"
                             "HelpContectLink=help/index.html\n"
                             "HelpSupportLink=https://example.invalid/a=b\n"
                             "AVI=True\n3GP=Yes\nANDROID=True\nMP2=True\nWAV=no\n"
                             "DefaultVideo=258\nDefaultDevice=0x02\nDefaultAudio=-1\nDefaultClass=5\n"
                             "KeyWithoutValue\n"
                             "[Other]\nSkin=abc\n";
    ProgramConfig c;
    QString error;
    ASSERT_TRUE(parseProgramConfig(plain, c, &error)) << error.toStdString();
    EXPECT_EQ(c.Version, QStringLiteral("2.5.1"));
    EXPECT_EQ(c.Copyright, QStringLiteral("Quill Works"));
    EXPECT_TRUE(c.Download);
    EXPECT_TRUE(c.Video);
    EXPECT_FALSE(c.Merge);
    EXPECT_EQ(c.Skin, 3);
    EXPECT_EQ(c.ResFolder, QStringLiteral("blue"));
    EXPECT_EQ(c.HelpContectLink, QStringLiteral("help/index.html"));
    EXPECT_EQ(c.HelpSupportLink, QStringLiteral("https://example.invalid/a=b"));   // split at the first "="
    EXPECT_TRUE(c.HelpHomePageLink.isEmpty());
    EXPECT_TRUE(c.AVI && c._3GP && c.ANDROID && c.MP2);
    EXPECT_FALSE(c.WAV || c.MP4 || c.IPOD);
    EXPECT_EQ(c.DefaultVideo, 2);     // low 8 bits
    EXPECT_EQ(c.DefaultDevice, 2);
    EXPECT_EQ(c.DefaultAudio, 255);
    EXPECT_EQ(c.DefaultClass, 5);
    EXPECT_EQ(c.defaultFormatClass(), 0);   // any class but 0..2 leaves video
}

TEST(ProgramConfig, RequiredIntegersFailWithTheConversionError)
{
    const struct {
        const char *name;
        QByteArray text;
        const char *error;
    } rows[] = {
        {"absent Skin", "[SYSTEM]\nDefaultVideo=1\nDefaultDevice=1\nDefaultAudio=1\nDefaultClass=0\n",
         "'' is not a valid integer value"},
        {"non-numeric DefaultAudio", "[SYSTEM]\nSkin=0\nDefaultVideo=1\nDefaultDevice=1\nDefaultAudio=mp3\nDefaultClass=0\n",
         "'mp3' is not a valid integer value"},
        {"no section at all", "Skin=0\n", "'' is not a valid integer value"},
    };
    for (const auto &r : rows) {
        ProgramConfig c;
        QString error;
        EXPECT_FALSE(parseProgramConfig(r.text, c, &error)) << r.name;
        EXPECT_EQ(error, QString::fromLatin1(r.error)) << r.name;
    }
}

TEST(ProgramConfig, LoadsTheEncodedFileAndRefusesAPlainOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lamecore.dll"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(encoded(kMinimal));
    f.close();

    ProgramConfig c;
    QString error;
    ASSERT_TRUE(loadProgramConfig(path, c, &error)) << error.toStdString();
    EXPECT_EQ(c.Skin, 2);
    EXPECT_EQ(c.DefaultDevice, 3);
    EXPECT_EQ(c.defaultFormatClass(), 1);

    // Stored without encoding it reads as unrecognisable text.
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(kMinimal);
    f.close();
    EXPECT_FALSE(loadProgramConfig(path, c, &error));
    EXPECT_TRUE(error.contains(path));
    EXPECT_TRUE(error.contains(QStringLiteral("is not a valid integer value")));

    EXPECT_FALSE(loadProgramConfig(dir.filePath(QStringLiteral("missing.dll")), c, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing.dll")));
}

TEST(ProgramConfig, SourceBytesThatEncodeToLineEndsOrNulBreakTheText)
{
    // 0xF5 is stored as LF and splits its line; 0xFF is stored as NUL and
    // ends the text, so the keys after it are never read.
    QByteArray split = kMinimal;
    split.replace("Skin=2\n", "Copyright=a\xF5Skin=3\n");
    QByteArray cut = kMinimal;
    cut.replace("Skin=2\n", "Skin=2\nCopyright=\xFF\n");

    ProgramConfig c;
    QString error;
    ASSERT_TRUE(parseProgramConfig(complementLines(complementLines(split)), c, &error));
    EXPECT_EQ(c.Skin, 3);
    EXPECT_EQ(c.Copyright, QStringLiteral("a"));

    EXPECT_FALSE(parseProgramConfig(complementLines(complementLines(cut)), c, &error));
    EXPECT_EQ(error, QStringLiteral("'' is not a valid integer value"));
}

TEST(ProgramConfig, FoldersSitBesideTheProgram)
{
    ProgramConfig c;
    c.ResFolder = QStringLiteral("classic");
    const ProgramFolders f = programFolders(QStringLiteral("/opt/quillor"), c);
    EXPECT_EQ(f.program, QStringLiteral("/opt/quillor/"));
    EXPECT_EQ(f.configFile, QStringLiteral("/opt/quillor/lamecore.dll"));
    EXPECT_EQ(f.sound, QStringLiteral("/opt/quillor/sounds/"));
    EXPECT_EQ(f.resource, QStringLiteral("/opt/quillor/sounds/classic/"));
    EXPECT_EQ(f.library, QStringLiteral("/opt/quillor/lib"));
    EXPECT_EQ(f.libraryAlt, QStringLiteral("/opt/quillor/../lib"));
    EXPECT_FALSE(f.documents.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(f.appData.endsWith(QStringLiteral("/Quillor/")));
}

TEST(ProgramConfig, ApplicationDataFolderIsCreatedOneLevelDeepElseFallsBack)
{
    QTemporaryDir dir;
    const QString base = dir.path();
    EXPECT_EQ(applicationDataFolder(base, QStringLiteral("Quillor")), base + QStringLiteral("/Quillor/"));
    EXPECT_TRUE(QDir(base + QStringLiteral("/Quillor")).exists());
    // A "/" in the title becomes a blank, not a deeper folder.
    EXPECT_EQ(applicationDataFolder(base, QStringLiteral("Quill/or")), base + QStringLiteral("/Quill or/"));
    // Under a folder that cannot hold it, the shell folder itself is used.
    const QString missing = base + QStringLiteral("/no/such");
    EXPECT_EQ(applicationDataFolder(missing, QStringLiteral("Quillor")), missing + QLatin1Char('/'));
}
