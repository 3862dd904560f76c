// quillor-cli download drives the same run headless.
#include "ServiceSimulator.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

#include <gtest/gtest.h>

using namespace quillor::test;

namespace {

struct CliResult {
    int exitCode = -1;
    QStringList lines;
    QString errors;
};

CliResult runCli(const QStringList &arguments, const QString &configHome)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", configHome); // no stored settings: the default order
    p.setProcessEnvironment(env);               // http_proxy set by the simulator
    p.start(QStringLiteral(QUILLOR_CLI), QStringList{"download"} + arguments);
    CliResult r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.errors = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QJsonObject video(const char *title, const QJsonObject &streams, int pageStatus = 200)
{
    return QJsonObject{{"title", title}, {"streams", streams}, {"page_status", pageStatus}};
}

TEST(CliDownload, PrintsSavedPathsAndTheCounts)
{
    ServiceSimulator sim({{"v1", video("First", {{"18", 1000}})},
                          {"v2", video("Broken", {{"18", 1000}}, 404)},
                          {"v3", video("Third", {{"5", 2000}, {"22", 3000}})}});
    QTemporaryDir out, config;
    const CliResult r = runCli({"--out", out.path(), watchLink("v1"), watchLink("v2"), watchLink("v3")},
                               config.path());
    EXPECT_EQ(r.exitCode, 1) << r.errors.toStdString();
    EXPECT_EQ(r.lines, (QStringList{out.path() + "/First.mp4", out.path() + "/Third.mp4",
                                    "total=3 succeeded=2 failed=1"}));
    EXPECT_TRUE(QDir(config.path()).entryList(QDir::Files).isEmpty()); // settings are only read
}

TEST(CliDownload, NoPreferTakesTheDefaultStreamAndRefusedLinksAreReported)
{
    ServiceSimulator sim({{"v", video("Clip", {{"5", 500}, {"22", 3000}})}});
    QTemporaryDir out, config;
    const CliResult r =
        runCli({"--out", out.path(), "--no-prefer", watchLink("v"), watchLink("v"), "youtube.com/watch?v=x"},
               config.path());
    EXPECT_EQ(r.exitCode, 0) << r.errors.toStdString();
    EXPECT_EQ(r.lines, (QStringList{out.path() + "/Clip.flv", "total=1 succeeded=1 failed=0"}));
    EXPECT_TRUE(r.errors.contains("This video is already in the download list."));
    EXPECT_TRUE(r.errors.contains("This is not a YouTube video link."));
    EXPECT_EQ(QFileInfo(out.path() + "/Clip.flv").size(), 500);
}

TEST(CliDownload, InterruptCancelsTheRunAndKeepsNothingPartial)
{
    ServiceSimulator sim(
        {{"a", video("One", {{"18", 1000}})},
         {"b", video("Two", {{"18", QJsonObject{{"size", 4000000}, {"chunk", 8192}, {"delay_ms", 20}}}})},
         {"c", video("Three", {{"18", 1000}})}});
    QTemporaryDir out, config;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QUILLOR_CLI),
            {"download", "--out", out.path(), watchLink("a"), watchLink("b"), watchLink("c")});
    ASSERT_TRUE(p.waitForReadyRead(30000)); // the first file is saved
    // Well into the second download.
    for (int i = 0; i < 200 && sim.streamRequests().size() < 2; ++i)
        QThread::msleep(50);
    QThread::msleep(300);
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(30000));
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines, (QStringList{out.path() + "/One.mp4", "total=3 succeeded=1 failed=2"}));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"One.mp4"});
}

TEST(CliDownload, BadArgumentsShowTheUsage)
{
    QTemporaryDir config;
    for (const QStringList &args : {QStringList{}, QStringList{"--out"}, QStringList{watchLink("v")},
                                    QStringList{"--bogus", "--out", "/tmp", watchLink("v")}}) {
        const CliResult r = runCli(args, config.path());
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.errors.contains("usage:"));
    }
}

} // namespace
