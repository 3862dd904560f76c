// The convert flow through the window: files in, a format chosen, real
// conversions of short clips, the progress rows and labels, the summary,
// the finish sound and the shutdown offer.
#include <QRegularExpression>
#include <QTimer>

#include <sys/resource.h>
#include <csignal>

#include "ConvertWindow.h"
#include "FormShutdown.h"
#include "Previewer.h"

using namespace quillor;
using namespace quillor::testing;

namespace {
constexpr int kAudio = 2, kVideo = 0;

// A clip long enough to be caught while it converts.
std::string longClip()
{
    return test::MediaFixture("long-640x480.mp4",
                              "-f lavfi -i testsrc=size=640x480:rate=25:duration=40 -f lavfi -i "
                              "sine=frequency=440:duration=40 -c:v libx264 -preset ultrafast -c:a aac");
}
} // namespace

// Four files chosen, one of them unreadable: three rows, the failed-files
// dialog with that one, a log line. All three convert: "Finish." and
// "100%" on every row, percent and time labels while running, 3 / 3 / 0,
// and "done.wav".
TEST_F(ConvertWindow, ThreeFilesConvert)
{
    start();
    const QString junk = media.filePath(QStringLiteral("broken.mp4"));
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2048, 'x'));
    }
    flow->inputPage().AddMediaFiles({clip(test::H264AacMp4(), QStringLiteral("one.mp4")), junk,
                                     clip(test::AudioOnlyMp3(), QStringLiteral("two.mp3")),
                                     clip(test::Mpeg4Mp3Avi(), QStringLiteral("three.avi"))});
    EXPECT_EQ(flow->inputPage().grid()->rowCount(), 3);
    ASSERT_EQ(failedDialogs.size(), 1);
    ASSERT_EQ(failedDialogs[0].size(), 1);
    EXPECT_TRUE(failedDialogs[0][0].contains(QStringLiteral("broken.mp4")));
    EXPECT_EQ(log.lines().filter(QStringLiteral("File load error: ")).size(), 1);
    EXPECT_TRUE(flow->inputPage().grid()->item(1, kColDimension)->text().startsWith(QStringLiteral("Audio Encoder: mp3")));
    EXPECT_EQ(flow->inputPage().grid()->item(0, kColDimension)->text(), QStringLiteral("Dimension: 160 x 120"));

    window->settings().PlayASoundWhenFinished = true;
    chooseOutput(kVideo, "AVI", 3, outputDir());
    QStringList percents, elapsed;
    QObject::connect(&flow->run(), &ConversionRun::progressChanged, [&] {
        percents << text("LabelProgress");
        elapsed << text("LabelElapsed");
    });
    QStringList statuses;
    QObject::connect(&flow->run(), &ConversionRun::rowChanged,
                     [&](int row) { statuses << child<QTreeWidget>("ListViewConverting")->topLevelItem(row)->text(2); });
    convertAndWait();

    EXPECT_EQ(rowTexts(2), (QStringList{"Finish.", "Finish.", "Finish."}));
    EXPECT_EQ(rowTexts(3), (QStringList{"100%", "100%", "100%"}));
    EXPECT_EQ(rowTexts(0), (QStringList{"one.mp4", "two.mp3", "three.avi"}));
    EXPECT_TRUE(statuses.contains(QStringLiteral("Converting...")));
    EXPECT_FALSE(percents.filter(QRegularExpression(QStringLiteral("^[1-9][0-9]?%$"))).isEmpty()) << percents.join(' ').toStdString();
    EXPECT_FALSE(elapsed.filter(QRegularExpression(QStringLiteral("^\\d+:\\d\\d:\\d\\d$"))).isEmpty());
    EXPECT_EQ(summary(), (QStringList{"3", "3", "0"}));
    EXPECT_FALSE(child<QPlainTextEdit>("MemoErrorLog")->isVisibleTo(window.get()));
    EXPECT_EQ(sounds, QStringList{"done.wav"});
    EXPECT_TRUE(shutdowns.isEmpty());
    for (const char *name : {"one.avi", "two.avi", "three.avi"})
        EXPECT_GT(QFileInfo(outputDir() + QString::fromLatin1(name)).size(), 1000) << name;
    // Reset after the run.
    EXPECT_EQ(text("LabelProgress"), QStringLiteral("0%"));
    EXPECT_EQ(text("LabelCurrentFile"), QStringLiteral("..."));

    // Finish clears both lists and goes back to the input page.
    window->wizard().next();
    EXPECT_EQ(window->wizard().page(), WizardPage::Step1);
    EXPECT_EQ(flow->inputPage().grid()->rowCount(), 0);
    EXPECT_EQ(child<QTreeWidget>("ListViewConverting")->topLevelItemCount(), 0);
}

// The second of three inputs cannot be opened when the run starts: two
// tasks, one log line, 2 / 2 / 0.
TEST_F(ConvertWindow, SecondInputUnreadableAtRunTime)
{
    start();
    const QString second = clip(test::AudioOnlyMp3(), QStringLiteral("b.mp3"));
    flow->inputPage().AddMediaFiles({clip(test::AudioOnlyMp3(), QStringLiteral("a.mp3")), second,
                                     clip(test::AudioOnlyMp3(), QStringLiteral("c.mp3"))});
    QFile::remove(second);
    chooseOutput(kAudio, "WAV", 0, outputDir());
    convertAndWait();
    EXPECT_EQ(summary(), (QStringList{"2", "2", "0"}));
    EXPECT_EQ(rowTexts(0), (QStringList{"a.mp3", "c.mp3"}));
    EXPECT_EQ(log.lines().filter(QStringLiteral("File load error: ")).size(), 1);
    EXPECT_EQ(log.lines().count(QStringLiteral("File has been added to convert list.")), 2);
}

// An output that cannot be written while the task runs (the file-size
// limit of this process stands in for a full disk): "Failed.", its error
// line in the summary's memo, 1 / 0 / 1, "fail.wav".
TEST_F(ConvertWindow, OutputThatCannotBeWrittenFails)
{
    start();
    flow->inputPage().AddMediaFiles({clip(test::H264AacMp4(), QStringLiteral("big.mp4"))});
    window->settings().PlayASoundWhenFinished = true;
    chooseOutput(kAudio, "WAV", 0, outputDir());

    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 32 * 1024;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    convertAndWait();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(rowTexts(2), QStringList{"Failed."});
    EXPECT_EQ(summary(), (QStringList{"1", "0", "1"}));
    auto *memo = child<QPlainTextEdit>("MemoErrorLog");
    EXPECT_TRUE(memo->isVisibleTo(window.get()));
    EXPECT_TRUE(memo->toPlainText().startsWith(QStringLiteral("File (0): "))) << memo->toPlainText().toStdString();
    EXPECT_EQ(sounds, QStringList{"fail.wav"});
}

// Cancel while the second of three converts: rows 2 and 3 "Failed.",
// 3 / 1 / 2, and the second output is a shorter file that still plays.
TEST_F(ConvertWindow, CancelDuringSecondOfThree)
{
    start();
    flow->inputPage().AddMediaFiles({clip(test::AudioOnlyMp3(), QStringLiteral("first.mp3")),
                                     clip(longClip(), QStringLiteral("second.mp4")),
                                     clip(test::AudioOnlyMp3(), QStringLiteral("third.mp3"))});
    window->settings().PlayASoundWhenFinished = true;
    chooseOutput(kVideo, "AVI", 3, outputDir());
    QSignalSpy finished(flow.get(), &ConvertFlow::conversionFinished);
    bool cancelled = false;
    QObject::connect(&flow->run(), &ConversionRun::rowChanged, [&](int row) {
        // Once the second task has made some progress.
        if (row == 1 && !cancelled && flow->run().Rows()[1].Columns[3] != QStringLiteral("0%")) {
            cancelled = true;
            answers.answers << MessageButton::Yes;
            QTimer::singleShot(0, [&] { window->wizard().exit(); });
        }
    });
    window->wizard().next();
    ASSERT_TRUE(finished.wait(120000));
    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(answers.texts().contains(QStringLiteral("Do you really want to cancel the conversion?")));
    EXPECT_EQ(window->wizard().page(), WizardPage::Step4);
    EXPECT_EQ(rowTexts(2), (QStringList{"Finish.", "Failed.", "Failed."}));
    EXPECT_EQ(summary(), (QStringList{"3", "1", "2"}));
    EXPECT_EQ(sounds, QStringList{"fail.wav"});

    const auto probed = test::ProbeWithFFprobe((outputDir() + QStringLiteral("second.avi")).toStdString());
    ASSERT_TRUE(probed.count("format.duration")) << "the stopped output does not open";
    const double seconds = std::atof(probed.at("format.duration").c_str());
    EXPECT_GT(seconds, 0.0);
    EXPECT_LT(seconds, 39.0);
}

// The shutdown offer: power off only when the countdown runs out; a
// cancelled countdown leaves the machine alone; the summary shows either way.
TEST_F(ConvertWindow, ShutdownOnlyWhenTheCountdownRunsOut)
{
    struct Case {
        const char *name;
        bool letItRunOut;
        int expectedShutdowns;
    } cases[] = {{"countdown runs out", true, 1}, {"countdown cancelled", false, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        shutdowns.clear();
        flow.reset();
        window.reset();
        start();
        flow->inputPage().AddMediaFiles({clip(test::AudioOnlyMp3(), QString::fromLatin1(c.name) + ".mp3")});
        window->settings().ShutDownWhenFinished = true;
        chooseOutput(kAudio, "WAV", 0, outputDir());
        bool sawDialog = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<TFormShutdown *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            sawDialog = true;
            EXPECT_TRUE(shutdowns.isEmpty()); // nothing before the dialog closes
            if (c.letItRunOut)
                while (dialog->isVisible())
                    dialog->tick();
            else
                dialog->reject();
        });
        poll.start(20);
        convertAndWait();
        EXPECT_TRUE(sawDialog);
        EXPECT_EQ(shutdowns.size(), c.expectedShutdowns);
        if (c.expectedShutdowns)
            EXPECT_EQ(shutdowns.first(), ShutdownKind::PowerOffShutdown);
        EXPECT_EQ(summary(), (QStringList{"1", "1", "0"}));
    }
}

// Join mode: three inputs become one "Output_Merge" file beside an existing
// one; the page describes the joined inputs.
TEST_F(ConvertWindow, JoinModeRunMakesOneMergedFile)
{
    ConfigKeys keys = convertConfigKeys();
    keys["Merge"] = "True";
    start(keys);
    QDir().mkpath(outputDir());
    QFile existing(outputDir() + QStringLiteral("Output_Merge.wav"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep");
    existing.close();
    flow->inputPage().AddMediaFiles({clip(test::AudioOnlyMp3(), QStringLiteral("a.mp3")),
                                     clip(test::Mpeg4Mp3Avi(), QStringLiteral("b.avi")),
                                     clip(test::AudioOnlyMp3(), QStringLiteral("c.mp3"))});
    chooseOutput(kAudio, "WAV", 0, outputDir());
    EXPECT_EQ(window->wizard().captions().next, QStringLiteral("Join Now"));
    convertAndWait();

    auto *list = child<QTreeWidget>("ListViewConverting");
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("Width x Height"));
    EXPECT_EQ(list->headerItem()->text(3), QStringLiteral("Aspect Ratio"));
    EXPECT_EQ(text("LabelCurrentFileTitle"), QStringLiteral("Output file:"));
    const QString merged = outputDir() + QStringLiteral("Output_Merge(1).wav");
    EXPECT_EQ(rowTexts(4), (QStringList{merged, merged, merged}));
    EXPECT_EQ(summary(), (QStringList{"1", "1", "0"}));
    QFile kept(outputDir() + QStringLiteral("Output_Merge.wav"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("keep"));
    const auto probed = test::ProbeWithFFprobe(merged.toStdString());
    ASSERT_TRUE(probed.count("format.duration"));
    EXPECT_NEAR(std::atof(probed.at("format.duration").c_str()), 6.0, 0.3);
    QStringList outputs = QDir(outputDir()).entryList(QDir::Files);
    EXPECT_EQ(outputs, (QStringList{"Output_Merge(1).wav", "Output_Merge.wav"}));
}

// An output folder that cannot be made stops at the output page with the
// notice; nothing runs.
TEST_F(ConvertWindow, FolderThatCannotBeCreatedStaysOnTheOutputPage)
{
    start();
    flow->inputPage().AddMediaFiles({clip(test::AudioOnlyMp3(), QStringLiteral("a.mp3"))});
    const QString file = media.filePath(QStringLiteral("plain-file"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    chooseOutput(kAudio, "WAV", 0, file + QStringLiteral("/below"));
    window->wizard().next();
    QApplication::processEvents();
    EXPECT_EQ(window->wizard().page(), WizardPage::Step2);
    EXPECT_TRUE(answers.texts().contains(
        QStringLiteral("Fail to create directory! Please check if output folder have the right format!")));
    EXPECT_EQ(flow->encoder().TaskCount(), 0);
}

// Preview during a conversion: frames show in a window captioned with the
// time stamp; turning Preview off closes it; closing it stops its frames;
// the conversion goes on to its end.
TEST_F(ConvertWindow, PreviewFollowsTheCheckBox)
{
    start();
    flow->inputPage().AddMediaFiles({clip(longClip(), QStringLiteral("long.mp4"))});
    chooseOutput(kVideo, "AVI", 3, outputDir());
    QSignalSpy finished(flow.get(), &ConvertFlow::conversionFinished);
    window->wizard().next();
    auto *preview = child<QCheckBox>("CheckBoxPreview");

    preview->setChecked(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return flow->previewer() && flow->previewer()->framesShown() >= 2; }, 20000));
    EXPECT_TRUE(flow->previewer()->isVisible());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"))
                    .match(flow->previewer()->windowTitle())
                    .hasMatch())
        << flow->previewer()->windowTitle().toStdString();
    EXPECT_EQ(flow->previewer()->size(), QSize(640, 480));

    preview->setChecked(false);
    EXPECT_EQ(flow->previewer(), nullptr);

    preview->setChecked(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return flow->previewer() && flow->previewer()->framesShown() >= 1; }, 20000));
    QPointer<TPreviewer> closed = flow->previewer();
    closed->close(); // by the user
    const int shown = closed ? closed->framesShown() : 0;
    QTest::qWait(400);
    EXPECT_TRUE(!flow->previewer() || flow->previewer() == closed.data());
    if (closed)
        EXPECT_EQ(closed->framesShown(), shown);

    ASSERT_TRUE(finished.count() > 0 || finished.wait(120000));
    EXPECT_EQ(rowTexts(2), QStringList{"Finish."});
    preview->setChecked(false);
}

// Closing the window during a run stops the engine first and writes the
// settings.
TEST_F(ConvertWindow, ClosingDuringARunStopsTheEngineAndKeepsSettings)
{
    start();
    flow->inputPage().AddMediaFiles({clip(longClip(), QStringLiteral("long.mp4"))});
    chooseOutput(kVideo, "AVI", 3, outputDir());
    window->wizard().next();
    ASSERT_TRUE(QTest::qWaitFor([&] { return flow->run().Rows().size() == 1 && flow->run().Rows()[0].Columns[2] == QStringLiteral("Converting..."); }, 20000));
    window->close();
    EXPECT_EQ(flow->encoder().TaskCount() > 0 ? flow->encoder().Task(0)->Running() : false, false);
    QFile settings(home.settingsFile());
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray text = settings.readAll();
    EXPECT_TRUE(text.contains("OutputFileDir=" + outputDir().toUtf8())) << text.toStdString();
    EXPECT_TRUE(text.contains("OutputFormatClass=0"));
}
