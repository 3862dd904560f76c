// The download run against the service simulator: counts, saved names,
// the attempts of the quality order, cancelling, and large bodies.
#include "DownloadRun.h"
#include "DownloadShared.h"
#include "ServiceSimulator.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quillor;
using namespace quillor::test;

namespace {

QJsonObject video(const QJsonValue &title, const QJsonObject &streams, int pageStatus = 200)
{
    return QJsonObject{{"title", title}, {"streams", streams}, {"page_status", pageStatus}};
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Flow {
    QTemporaryDir out;
    QTemporaryDir spool;
    TDownloadRun run{ShellDownloadFileNaming()};
    QStringList qualityTexts;
    QStringList scriptErrors;
    int total = -1, succeeded = -1;

    Flow()
    {
        run.PauseAfterScriptMs = 0;
        run.SpoolFolder = spool.path();
        QObject::connect(&run, &TDownloadRun::labelChanged, [this](const QString &name, const QString &text) {
            if (name == "LabelQuality" && (qualityTexts.isEmpty() || qualityTexts.last() != text))
                qualityTexts << text;
        });
        QObject::connect(&run, &TDownloadRun::scriptError, [this](const QString &m) { scriptErrors << m; });
    }

    // Runs the links to the end; false when the run did not finish in time.
    bool go(const QStringList &links)
    {
        QSignalSpy done(&run, &TDownloadRun::finished);
        run.StartDownloadRun(links, out.path() + "/");
        if (!done.wait(30000))
            return false;
        total = done.at(0).at(0).toInt();
        succeeded = done.at(0).at(1).toInt();
        return true;
    }
    QString saved(const QString &name) const { return out.path() + "/" + name; }
};

TEST(DownloadRun, SecondOfThreeFailsTheOthersAreSaved)
{
    ServiceSimulator sim({{"v1", video("First", {{"22", 3000}})},
                          {"v2", video("Second", {{"22", 3000}}, 500)},
                          {"v3", video("Third", {{"18", 5000}})}});
    Flow f;
    ASSERT_TRUE(f.go({watchLink("v1"), watchLink("v2"), watchLink("v3")}));
    EXPECT_EQ(f.total, 3);
    EXPECT_EQ(f.succeeded, 2);
    EXPECT_EQ(f.run.SavedFiles(), (QStringList{f.saved("First.mp4"), f.saved("Third.mp4")}));
    EXPECT_EQ(contents(f.saved("First.mp4")), expectedBody(22, 3000));
    EXPECT_EQ(contents(f.saved("Third.mp4")), expectedBody(18, 5000));
    EXPECT_EQ(f.run.Rows()[0].Status, "Finish.");
    EXPECT_EQ(f.run.Rows()[1].Status, "Failed.");
    EXPECT_EQ(f.run.Rows()[2].Status, "Finish.");
    EXPECT_EQ(f.run.Rows()[2].Url, "http://youtube.com/get_video_info?video_id=v3");
    EXPECT_EQ(f.run.Label("LabelURLStatus"), "...");
    EXPECT_EQ(folderEntries(f.out.path()), (QStringList{"First.mp4", "Third.mp4"}));
}

TEST(DownloadRun, TitlesBecomeSafeUniqueFileNames)
{
    ServiceSimulator sim({{"a", video("Same", {{"18", 100}})},
                          {"b", video("Same", {{"18", 200}})},
                          {"c", video("What: now?", {{"18", 300}})},
                          {"d", video(QJsonValue::Null, {{"18", 400}})},
                          {"e", video("Tom &amp; Jerry &#39;99", {{"18", 500}})}});
    Flow f;
    ASSERT_TRUE(f.go({watchLink("a"), watchLink("b"), watchLink("c"), watchLink("d"), watchLink("e")}));
    EXPECT_EQ(f.succeeded, 5);
    EXPECT_EQ(f.run.SavedFiles(),
              (QStringList{f.saved("Same.mp4"), f.saved("Same(1).mp4"), f.saved("What_ now_.mp4"),
                           f.saved(".mp4"), f.saved("Tom & Jerry '99.mp4")}));
    EXPECT_EQ(contents(f.saved("Same(1).mp4")), expectedBody(18, 200));
    EXPECT_EQ(contents(f.saved(".mp4")), expectedBody(18, 400));
}

TEST(DownloadRun, DefaultOrderWalksToTheFirstOfferedStream)
{
    ServiceSimulator sim({{"v", video("Clip", {{"5", 100}, {"22", 2000}})}});
    Flow f;
    ASSERT_TRUE(f.go({watchLink("v")}));
    EXPECT_EQ(f.succeeded, 1);
    EXPECT_EQ(f.run.SavedFiles(), QStringList{f.saved("Clip.mp4")});
    EXPECT_EQ(contents(f.saved("Clip.mp4")), expectedBody(22, 2000));
    EXPECT_EQ(f.qualityTexts,
              (QStringList{"[HQ18] - (MP4(H.264), 640 x 360, Stereo 44KHz AAC)",
                           "[HQ18] failed, try next: [HQ35]", "[HQ35] failed, try next: [HQ22]",
                           "[HQ22] - (MP4(H.264), 1280 x 720, Stereo 44KHz AAC)", "..."}));
    EXPECT_EQ(sim.streamRequests(), QStringList{"22"}); // absent streams are never requested
}

TEST(DownloadRun, WithoutPreferenceOnlyTheDefaultStreamIsTried)
{
    ServiceSimulator sim({{"v", video("Clip", {{"22", 100}})}, {"w", video("Other", {{"5", 300}})}});
    Flow f;
    f.run.Preference().Prefer = false;
    ASSERT_TRUE(f.go({watchLink("v"), watchLink("w")}));
    EXPECT_EQ(f.succeeded, 1);
    EXPECT_EQ(f.run.SavedFiles(), QStringList{f.saved("Other.flv")});
    EXPECT_EQ(f.qualityTexts, (QStringList{kDefaultQualityLabel, "..."}));
    EXPECT_EQ(sim.streamRequests(), QStringList{"5"});
}

TEST(DownloadRun, PreferenceWithOnlyTheDefaultStreamFailsAfterEightAttempts)
{
    ServiceSimulator sim({{"v", video("Clip", {{"5", 100}})}});
    Flow f;
    ASSERT_TRUE(f.go({watchLink("v")}));
    EXPECT_EQ(f.succeeded, 0);
    EXPECT_EQ(f.run.Rows()[0].Status, "Failed.");
    EXPECT_EQ(f.qualityTexts.count(), 1 + 7 + 1);
    EXPECT_EQ(f.qualityTexts[7], "[HQ34] failed, try next: [HQ37]");
    EXPECT_TRUE(sim.streamRequests().isEmpty());
    EXPECT_TRUE(folderEntries(f.out.path()).isEmpty());
}

TEST(DownloadRun, FailedStreamMovesToTheNextQuality)
{
    ServiceSimulator sim(
        {{"v", video("Clip", {{"18", QJsonObject{{"size", 100}, {"status", 404}}}, {"35", 700}})}});
    Flow f;
    ASSERT_TRUE(f.go({watchLink("v")}));
    EXPECT_EQ(f.run.SavedFiles(), QStringList{f.saved("Clip.flv")});
    EXPECT_EQ(sim.streamRequests(), (QStringList{"18", "35"}));
    EXPECT_EQ(contents(f.saved("Clip.flv")), expectedBody(35, 700));
}

TEST(DownloadRun, DocumentWithQuotesBackslashesAndBreaksIsRead)
{
    const QString url = "http://r1.video.youtube.com/videoplayback?id=v&itag=18";
    const QString entry = "itag=18&url=" + QString(QUrl::toPercentEncoding(url)) + "&sig=SIG18";
    const QString doc = "title=It's a \"test\" \\ with\r\nbreaks&url_encoded_fmt_stream_map=" +
                        QString(QUrl::toPercentEncoding(entry)) + "&end='";
    QJsonObject v = video("Quoted", {{"18", 900}});
    v["info"] = doc;
    ServiceSimulator sim({{"v", v}});
    Flow f;
    ASSERT_TRUE(f.go({watchLink("v")}));
    EXPECT_TRUE(f.scriptErrors.isEmpty()) << f.scriptErrors.join('\n').toStdString();
    EXPECT_EQ(f.run.SavedFiles(), QStringList{f.saved("Quoted.mp4")});
}

TEST(DownloadRun, CancelDuringTheSecondDownloadKeepsNothingOfIt)
{
    ServiceSimulator sim(
        {{"a", video("One", {{"18", 1000}})},
         {"b", video("Two", {{"18", QJsonObject{{"size", 4000000}, {"chunk", 16384}, {"delay_ms", 20}}}})},
         {"c", video("Three", {{"18", 1000}})}});
    Flow f;
    f.run.SpoolThreshold = 64 * 1024; // the partial body goes to the spool folder
    bool spooled = false;
    QObject::connect(&f.run, &TDownloadRun::rowChanged, [&](int row) {
        if (row == 1 && f.run.Rows()[1].Status == "Downloading..." && f.run.Running()) {
            const QString progress = f.run.Rows()[1].Progress;
            if (progress != "0%" && progress.left(progress.size() - 1).toInt() >= 5) {
                spooled = !folderEntries(f.spool.path()).isEmpty();
                EXPECT_EQ(folderEntries(f.out.path()), QStringList{"One.mp4"});
                f.run.Cancel();
            }
        }
    });
    ASSERT_TRUE(f.go({watchLink("a"), watchLink("b"), watchLink("c")}));
    EXPECT_EQ(f.total, 3);
    EXPECT_EQ(f.succeeded, 1);
    EXPECT_TRUE(spooled);
    EXPECT_EQ(folderEntries(f.out.path()), QStringList{"One.mp4"});
    EXPECT_TRUE(folderEntries(f.spool.path()).isEmpty());
    EXPECT_EQ(f.run.SavedFiles(), QStringList{f.saved("One.mp4")});
}

TEST(DownloadRun, CancelBetweenTransfersEndsTheRun)
{
    ServiceSimulator sim({{"a", video("One", {{"18", 1000}})}, {"b", video("Two", {{"18", 1000}})}});
    Flow f;
    f.run.PauseAfterScriptMs = 300;
    QObject::connect(&f.run, &TDownloadRun::labelChanged, [&](const QString &name, const QString &) {
        // The script has run: the run now waits on a timer, no transfer busy.
        if (name == "LabelURLCurrentFile" && f.run.Rows()[0].Name == "One")
            f.run.Cancel();
    });
    ASSERT_TRUE(f.go({watchLink("a"), watchLink("b")}));
    EXPECT_EQ(f.total, 2);
    EXPECT_EQ(f.succeeded, 0);
    EXPECT_TRUE(folderEntries(f.out.path()).isEmpty());
}

TEST(DownloadRun, LargeBodyIsSpooledAndMovedInWhole)
{
    const qint64 size = 3 * 1024 * 1024 + 17;
    ServiceSimulator sim({{"v", video("Big", {{"22", size}})}});
    Flow f;
    f.run.SpoolThreshold = 256 * 1024;
    bool outputStayedEmpty = true;
    QObject::connect(&f.run, &TDownloadRun::rowChanged, [&](int) {
        if (f.run.Rows()[0].Status == "Downloading...")
            outputStayedEmpty = outputStayedEmpty && folderEntries(f.out.path()).isEmpty();
    });
    ASSERT_TRUE(f.go({watchLink("v")}));
    EXPECT_TRUE(outputStayedEmpty);
    EXPECT_EQ(folderEntries(f.out.path()), QStringList{"Big.mp4"});
    EXPECT_TRUE(folderEntries(f.spool.path()).isEmpty());
    EXPECT_EQ(contents(f.saved("Big.mp4")), expectedBody(22, size));
    EXPECT_EQ(QFile(f.saved("Big.mp4")).permissions() & QFileDevice::ReadOther, QFileDevice::ReadOther);
}

TEST(DownloadRun, BodyThatCannotBeWrittenFailsTheAttempt)
{
    ServiceSimulator sim({{"v", video("Clip", {{"18", 200000}})}});
    Flow f;
    QSignalSpy failed(&f.run, &TDownloadRun::saveFailed);
    const QString folder = f.out.path() + "/gone";
    QDir().mkpath(folder);
    QObject::connect(&f.run, &TDownloadRun::rowChanged, [&](int) {
        if (f.run.Rows()[0].Status == "Downloading...")
            QDir(folder).removeRecursively();
    });
    QSignalSpy done(&f.run, &TDownloadRun::finished);
    f.run.StartDownloadRun({watchLink("v")}, folder + "/");
    ASSERT_TRUE(done.wait(30000));
    EXPECT_EQ(done.at(0).at(1).toInt(), 0);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(f.run.Rows()[0].Status, "Failed.");
    EXPECT_TRUE(f.run.SavedFiles().isEmpty());
    EXPECT_TRUE(folderEntries(f.spool.path()).isEmpty());
}

TEST(DownloadRun, RowTextsFollowTheTransfer)
{
    EXPECT_EQ(FormatDownloadSpeed(2048, 0), "2.00 KB/s");
    EXPECT_EQ(FormatDownloadSpeed(10240, 4), "2.50 KB/s");
    EXPECT_EQ(FormatDownloadSize(1572864), "1.50MB");
    EXPECT_EQ(FormatDownloadTime(3725), "01:02:05");

    ServiceSimulator sim({{"v", video("Clip", {{"18", 300000}})}});
    Flow f;
    ASSERT_TRUE(f.go({watchLink("v")}));
    const DownloadRow &row = f.run.Rows()[0];
    EXPECT_EQ(row.Name, "Clip");
    EXPECT_EQ(row.Size, "0.29MB");
    EXPECT_EQ(row.Progress, "100%");
    EXPECT_TRUE(row.Speed.endsWith(" KB/s"));
}

} // namespace
