// Host.ReadText and Host.WriteText on a temporary folder.
#include "ScriptHarness.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace quillor;
using quillor::test::ScriptHarness;

namespace {

class HostFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString Path(const QString &name) const { return dir.filePath(name); }

    void Put(const QString &name, const QByteArray &bytes) const
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray Get(const QString &name) const
    {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // Runs a script with `dir` set to the folder (ending in "/").
    ScriptHarness &Run(ScriptHarness &h, const QString &text) const
    {
        h.Run(QStringLiteral("var dir = '%1/';\n").arg(dir.path()) + text);
        EXPECT_TRUE(h.errors.empty()) << h.FirstErrorMessage().toStdString();
        return h;
    }
};

} // namespace

TEST_F(HostFiles, ReadTextDecodesTheFile)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        QString expected;
    };
    const Case cases[] = {
        {"utf8.txt", QByteArray("caf\xC3\xA9\nline 2"), QString::fromUtf8("caf\xC3\xA9\nline 2")},
        {"bom.txt", QByteArray("\xEF\xBB\xBFtext"), QStringLiteral("text")},
        // Even length with a zero second byte: 16-bit text.
        {"wide.txt", QByteArray("h\0i\0\xE9\0", 6), QString::fromUtf8("hi\xC3\xA9")},
        // Odd length: 8-bit, whatever the second byte.
        {"odd.txt", QByteArray("a\0b", 3), QString::fromUtf8("a\0b", 3)},
        {"empty.txt", QByteArray(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Put(c.name, c.bytes);
        ScriptHarness h;
        Run(h, QStringLiteral("Host.Echo(Host.ReadText(dir + '%1'));").arg(c.name));
        EXPECT_EQ(h.echoes, QStringList{c.expected});
    }
}

TEST_F(HostFiles, ReadTextOfWhatCannotBeReadIsEmpty)
{
    ScriptHarness h;
    Run(h, "Host.Echo('[' + Host.ReadText(dir + 'missing.txt') + ']');\n"
           "Host.Echo('[' + Host.ReadText(dir) + ']');\n"
           "Host.Echo('[' + Host.ReadText('') + ']');");
    EXPECT_EQ(h.echoes, (QStringList{"[]", "[]", "[]"}));
}

TEST_F(HostFiles, WriteTextReplacesTheFile)
{
    Put("old.txt", "a much longer text that was there before");
    ScriptHarness h;
    Run(h, QString::fromUtf8("Host.WriteText(dir + 'new.txt', 'caf\xC3\xA9');\n"
                             "Host.WriteText(dir + 'old.txt', 'short');\n"
                             "Host.Echo(Host.ReadText(dir + 'new.txt'));"));
    EXPECT_EQ(Get("new.txt"), QByteArray("caf\xC3\xA9"));
    EXPECT_EQ(Get("old.txt"), QByteArray("short"));
    EXPECT_EQ(h.echoes, QStringList{QString::fromUtf8("caf\xC3\xA9")});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "no temporary file is left";
}

TEST_F(HostFiles, WriteTextWithNothingToWriteLeavesTheFileAlone)
{
    Put("keep.txt", "kept");
    ScriptHarness h;
    Run(h, "Host.WriteText(dir + 'keep.txt', '');\n"
           "Host.WriteText(dir + 'keep.txt', undefined);\n"
           "Host.WriteText(dir + 'none.txt', '');");
    EXPECT_EQ(Get("keep.txt"), QByteArray("kept"));
    EXPECT_FALSE(QFile::exists(Path("none.txt")));
}

TEST_F(HostFiles, WriteTextThatCannotBeDoneIsSkipped)
{
    ScriptHarness h;
    Run(h, "Host.WriteText(dir + 'no/such/folder/x.txt', 'text');\n"
           "Host.WriteText(dir, 'text');\n"
           "Host.Echo('went on');");
    EXPECT_EQ(h.echoes, QStringList{"went on"});
    EXPECT_FALSE(QFile::exists(Path("no")));
}
