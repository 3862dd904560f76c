// A conversion run without the window: tasks built from the input list,
// counters and rows as the tasks end, outputs kept apart.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "ConversionRun.h"
#include "FFDecode.h"
#include "FFEncode.h"
#include "InputList.h"
#include "MainThreadQueue.h"
#include "MediaFixtures.h"

using namespace quillor;

namespace {

class ConversionRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        if (!test::LoadEngineLibraries(&error))
            FAIL() << "cannot load the FFmpeg libraries: " << error;
        MainThreadQueue::instance().bindToCurrentThread();
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(out());
    }

    QString copy(const std::string &fixture, const QString &name)
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(QFile::copy(QString::fromStdString(fixture), path));
        return path;
    }
    QString out() const { return dir.filePath(QStringLiteral("out")); }

    FormatSelection mp3Selection() const
    {
        FormatSelection sel;
        const OutputFormat *mp3 = FindFormatByName("MP3");
        sel.Class = 2;
        sel.FormatIndex[2] = std::uint8_t(mp3->Index);
        sel.SetPresetOf(*mp3, 2);
        sel.OutputFolder = out().toStdString() + "/";
        return sel;
    }

    // Runs to the end, serving the main-thread calls as the window would.
    void runToEnd(ConversionRun &run, const FormatSelection &sel, const InputList &list)
    {
        bool ended = false;
        QObject::connect(&run, &ConversionRun::runEnded, [&] { ended = true; });
        run.Start(sel, list);
        ASSERT_TRUE(MainThreadQueue::instance().serveUntil([&] { return ended; }, std::chrono::seconds(60)));
    }

    QTemporaryDir dir;
    TFFEncoder encoder;
};

} // namespace

// The second of three inputs has gone when the run starts: it gets no task
// and is not counted; the finished duration adds the lengths of the inputs
// that were converted, not those of the input list's rows with the same
// numbers.
TEST_F(ConversionRunTest, InputThatCannotBeOpenedGetsNoTask)
{
    const QString a = copy(test::AudioOnlyMp3(), QStringLiteral("a.mp3"));
    const QString b = copy(test::H264AacMp4(), QStringLiteral("b.mp4"));
    const QString c = copy(test::Mpeg4Mp3Avi(), QStringLiteral("c.avi"));
    InputList list;
    TFFDecoder probe;
    list.AddMediaFiles(probe, {a, b, c});
    ASSERT_EQ(list.Count(), 3);
    QFile::remove(b);

    ConversionRun run(encoder);
    QStringList log;
    QObject::connect(&run, &ConversionRun::logLine, [&](const QString &l) { log << l; });
    runToEnd(run, mp3Selection(), list);

    EXPECT_EQ(run.TotalFiles(), 2);
    EXPECT_EQ(run.SuccessCount(), 2);
    EXPECT_EQ(run.EndedCount(), 2);
    EXPECT_EQ(log.filter(QStringLiteral("File load error: ")).size(), 1);
    EXPECT_EQ(log.count(QStringLiteral("File has been added to convert list.")), 2);
    ASSERT_EQ(run.Rows().size(), 2u);
    EXPECT_EQ(run.Rows()[0].Columns[0], QStringLiteral("a.mp3"));
    EXPECT_EQ(run.Rows()[1].Columns[0], QStringLiteral("c.avi"));
    for (const TaskRow &row : run.Rows()) {
        EXPECT_EQ(row.Columns[2], QStringLiteral("Finish."));
        EXPECT_EQ(row.Columns[3], QStringLiteral("100%"));
        EXPECT_EQ(row.Columns[4], dir.path() + QStringLiteral("/"));
    }
    EXPECT_EQ(run.FinishedDuration(), list.Row(0).RealDuration + list.Row(2).RealDuration);
    EXPECT_EQ(run.FinishedDuration(), run.TotalDuration());
    EXPECT_TRUE(QFileInfo::exists(out() + QStringLiteral("/a.mp3")));
    EXPECT_TRUE(QFileInfo::exists(out() + QStringLiteral("/c.mp3")));
    EXPECT_EQ(encoder.TaskCount(), 0); // cleared at the end
    EXPECT_TRUE(run.ErrorLines().isEmpty());
}

// Two inputs of one run that map to the same output name get two files;
// a file already in the folder is never replaced.
TEST_F(ConversionRunTest, SameOutputNameWithinOneRunIsKeptApart)
{
    const QString first = copy(test::AudioOnlyMp3(), QStringLiteral("one/clip.mp3"));
    const QString second = copy(test::Mpeg4Mp3Avi(), QStringLiteral("two/clip.avi"));
    QFile existing(out() + QStringLiteral("/clip.mp3"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("mine");
    existing.close();

    InputList list;
    TFFDecoder probe;
    list.AddMediaFiles(probe, {first, second});
    ConversionRun run(encoder);
    runToEnd(run, mp3Selection(), list);

    EXPECT_EQ(run.SuccessCount(), 2);
    QFile kept(out() + QStringLiteral("/clip.mp3"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("mine"));
    EXPECT_GT(QFileInfo(out() + QStringLiteral("/clip(1).mp3")).size(), 1000);
    EXPECT_GT(QFileInfo(out() + QStringLiteral("/clip(2).mp3")).size(), 1000);
}

// Nothing could be made: the run ends at once with nothing counted.
TEST_F(ConversionRunTest, RunWithoutTasksEndsAtOnce)
{
    const QString a = copy(test::AudioOnlyMp3(), QStringLiteral("a.mp3"));
    InputList list;
    TFFDecoder probe;
    list.AddMediaFiles(probe, {a});
    QFile::remove(a);
    ConversionRun run(encoder);
    runToEnd(run, mp3Selection(), list);
    EXPECT_EQ(run.TotalFiles(), 0);
    EXPECT_EQ(run.SuccessCount(), 0);
    EXPECT_TRUE(run.Rows().empty());
}

// Join mode: one task of every input, one "Output_Merge" file next to an
// existing one, one row per input.
TEST_F(ConversionRunTest, JoinModeMakesOneMergedOutput)
{
    const QString a = copy(test::AudioOnlyMp3(), QStringLiteral("a.mp3"));
    const QString b = copy(test::Mpeg4Mp3Avi(), QStringLiteral("b.avi"));
    const QString c = copy(test::AudioOnlyMp3(), QStringLiteral("c.mp3"));
    QFile existing(out() + QStringLiteral("/Output_Merge.mp3"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();

    InputList list;
    TFFDecoder probe;
    list.AddMediaFiles(probe, {a, b, c});
    ConversionRun run(encoder);
    run.SetJoinMode(true);
    runToEnd(run, mp3Selection(), list);

    EXPECT_EQ(run.TotalFiles(), 1);
    EXPECT_EQ(run.SuccessCount(), 1);
    ASSERT_EQ(run.Rows().size(), 3u);
    const QString merged = out() + QStringLiteral("/Output_Merge(1).mp3");
    EXPECT_EQ(run.Rows()[1].Columns[4], merged);
    EXPECT_EQ(run.Rows()[1].Columns[2], QStringLiteral("176x144"));
    EXPECT_EQ(run.Rows()[0].Columns[2], QStringLiteral("Finish.")); // the task's row
    EXPECT_EQ(QFileInfo(out() + QStringLiteral("/Output_Merge.mp3")).size(), 0);
    const auto probed = test::ProbeWithFFprobe(merged.toStdString());
    ASSERT_TRUE(probed.count("format.duration"));
    EXPECT_NEAR(std::atof(probed.at("format.duration").c_str()), 6.0, 0.3);
}

// The estimate scales the time spent by the share of the total done; long
// inputs (beyond 2^31 microseconds) do not overflow it.
TEST(RunEstimate, ScalesElapsedTimeByTheShareDone)
{
    const double minute = 1.0 / 1440;
    struct Case {
        const char *name;
        std::int64_t total, finished, current;
        double elapsed, expected;
    } cases[] = {
        {"first report of a run", 60'000'000, 0, 15'000'000, 1 * minute, 4 * minute},
        {"second task half done", 60'000'000, 30'000'000, 15'000'000, 3 * minute, 4 * minute},
        {"inputs of 40 minutes", 2 * 2'400'000'000LL, 2'400'000'000LL, 1'200'000'000LL, 30 * minute, 40 * minute},
        {"nothing reported yet", 60'000'000, 0, 0, 1 * minute, 60'000'000 * minute},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(EstimateRunDays(c.total, c.elapsed, c.finished, c.current), c.expected, 1e-9);
    }
}
