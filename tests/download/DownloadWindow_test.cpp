// The download side through the main window (offscreen): the link page's
// commands, a run from the link page to the summary, and the hand-off of
// the saved files to the input list.
#include "DownloadFlow.h"
#include "FormMain.h"
#include "FormYouTubeHQ.h"
#include "Globals.h"
#include "ServiceSimulator.h"
#include "../app/WindowFixture.h"

#if __has_include("ConvertFlow.h")
#include "ConvertFlow.h"
#define QUILLOR_HAVE_CONVERT_FLOW 1
#endif

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace quillor;
using namespace quillor::test;
using namespace quillor::testing;

namespace {

struct DownloadWindow {
    ScopedHome home;
    ProgramFolder folder;
    ScriptedAnswers answers;
    ScopedMessageHandler seam{answers.handler()};
    TFormMain window{folder.path()};
#ifdef QUILLOR_HAVE_CONVERT_FLOW
    ConvertFlow convert{window};
#endif
    DownloadFlow flow{window};
    bool created = false;

    DownloadWindow()
    {
        created = window.formCreate();
        QApplication::processEvents();
        flow.run().PauseAfterScriptMs = 0;
    }
    template <class T> T *child(const char *name) { return window.findChild<T *>(QString::fromLatin1(name)); }
    QString label(const char *name) { return child<QLabel>(name)->text(); }
    QStringList linkTexts()
    {
        QStringList out;
        auto *list = child<QTreeWidget>("ListViewInputURL");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(0);
        return out;
    }
};

void setClipboardText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    QApplication::processEvents();
}

TEST(DownloadWindow, LinkPageCommandsFollowTheClipboardAndTheList)
{
    DownloadWindow w;
    ASSERT_TRUE(w.created) << w.window.startupError().toStdString();
    w.window.wizard().next(); // mode page: download is the default choice
    ASSERT_EQ(w.window.wizard().page(), WizardPage::Step5);

    setClipboardText("http://www.youtube.com/watch?v=a\r\n\r\nhttp://www.youtube.com/watch?v=b");
    EXPECT_TRUE(w.flow.actionPaste()->isEnabled());
    EXPECT_FALSE(w.flow.actionEmpty()->isEnabled());
    w.flow.actionPaste()->trigger();
    EXPECT_EQ(w.linkTexts(), (QStringList{"http://www.youtube.com/watch?v=a", "http://www.youtube.com/watch?v=b"}));
    EXPECT_TRUE(w.answers.seen.isEmpty());
    EXPECT_TRUE(w.flow.actionEmpty()->isEnabled());

    QImage image(4, 4, QImage::Format_RGB32);
    QGuiApplication::clipboard()->setImage(image);
    QApplication::processEvents();
    EXPECT_FALSE(w.flow.actionPaste()->isEnabled());
    EXPECT_EQ(w.linkTexts().size(), 2); // a clipboard change never touches the list

    auto *list = w.child<QTreeWidget>("ListViewInputURL");
    list->setCurrentItem(list->topLevelItem(1));
    EXPECT_TRUE(w.flow.actionRemove()->isEnabled());
    w.flow.actionRemove()->trigger();
    EXPECT_EQ(w.linkTexts(), QStringList{"http://www.youtube.com/watch?v=a"});
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    w.flow.actionEmpty()->trigger();
    EXPECT_TRUE(w.linkTexts().isEmpty());

    // A refused line asks OK/Cancel with the link first.
    setClipboardText("youtube.com/watch?v=c");
    w.flow.actionPaste()->trigger();
    ASSERT_EQ(w.answers.seen.size(), 1);
    EXPECT_EQ(w.answers.seen[0].text, "youtube.com/watch?v=c\n\r\n\rThis is not a YouTube video link.");
    EXPECT_EQ(w.answers.seen[0].buttons, (QList<MessageButton>{MessageButton::OK, MessageButton::Cancel}));
}

TEST(DownloadWindow, QualityGroupAndDialog)
{
    DownloadWindow w;
    ASSERT_TRUE(w.created);
    w.window.wizard().next();
    auto *check = w.child<QCheckBox>("CheckBoxYouTubeQuality");
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(w.label("LabelYouTubeQuality"),
              "Prefer: [HQ18] > [HQ35] > [HQ22] > [HQ6] > [HQ13] > [HQ17] > [HQ34] > [HQ37]");
    check->click();
    EXPECT_EQ(w.label("LabelYouTubeQuality"), kDefaultQualityLabel);
    EXPECT_FALSE(w.child<QWidget>("ButtonYouTubeQualityConfig")->isEnabled());

    QualityPreference p;
    TFormYouTubeHQ dialog(p);
    auto *list = dialog.list();
    ASSERT_EQ(list->topLevelItemCount(), 8);
    list->setCurrentItem(list->topLevelItem(2)); // [HQ22]
    dialog.ButtonUpClick();
    dialog.ButtonUpClick();
    dialog.ButtonUpClick(); // already first: stays
    dialog.ButtonOKClick();
    EXPECT_EQ(p.Places, (std::array<std::uint8_t, 8>{3, 1, 2, 0, 4, 5, 6, 7}));
    TFormYouTubeHQ again(p);
    again.ButtonBestAvailableClick();
    again.reject();
    EXPECT_EQ(p.Places, QualityPreference::kBestAvailableOrder); // kept although cancelled
}

// A real clip, so that the hand-off can probe it.
QString makeClip(const QString &folder)
{
    const QString path = folder + "/clip.flv";
    QProcess ff;
    ff.start("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1",
                        "-c:v", "flv1", path});
    ff.waitForFinished(30000);
    return path;
}

TEST(DownloadWindow, RunEndsOnTheSummaryAndHandsTheFilesOn)
{
    QTemporaryDir fixtures;
    const QString clip = makeClip(fixtures.path());
    ASSERT_TRUE(QFile::exists(clip));
    ServiceSimulator sim({{"v1", QJsonObject{{"title", "Clip: one"}, {"streams", QJsonObject{{"5", QJsonObject{{"file", clip}}}}}}},
                          {"v2", QJsonObject{{"title", "Gone"}, {"page_status", 404}}}});
    DownloadWindow w;
    ASSERT_TRUE(w.created);
    QTemporaryDir out;
    w.window.wizard().next();
    w.child<QCheckBox>("CheckBoxYouTubeQuality")->setChecked(false);
    w.child<QLineEdit>("EditURLOutput")->setText(out.path());
    setClipboardText(watchLink("v1") + "\n" + watchLink("v2"));
    w.flow.actionPaste()->trigger();

    QSignalSpy done(&w.flow.run(), &TDownloadRun::finished);
    w.window.wizard().next(); // "Download"
    EXPECT_EQ(w.window.wizard().page(), WizardPage::Step6);
    ASSERT_TRUE(done.wait(30000));
    QApplication::processEvents();
    EXPECT_EQ(w.window.wizard().page(), WizardPage::Step7);
    EXPECT_EQ(w.label("LabelURLTotalFiles"), "2");
    EXPECT_EQ(w.label("LabelURLSucedded"), "1");
    EXPECT_EQ(w.label("LabelURLFailed"), "1");
    EXPECT_EQ(w.label("LabelURLStatus"), "...");
    EXPECT_TRUE(w.linkTexts().isEmpty());
    const QString saved = out.path() + "/Clip_ one.flv";
    EXPECT_EQ(downloadedFilesList(), QStringList{saved});
    EXPECT_EQ(QFileInfo(saved).size(), QFileInfo(clip).size());

    w.answers.seen.clear();
    w.window.wizard().convertDownloaded();
    QApplication::processEvents();
    EXPECT_EQ(w.window.wizard().page(), WizardPage::Step1);
    auto *grid = w.child<QTableWidget>("NextGrid");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_TRUE(w.answers.seen.isEmpty()) << w.answers.texts().join('\n').toStdString(); // probed fine
    EXPECT_EQ(downloadedFilesList(), QStringList{saved}); // the hand-off leaves the list as it is
}

TEST(DownloadWindow, CancelDuringTheSecondOfThree)
{
    ServiceSimulator sim(
        {{"a", QJsonObject{{"title", "One"}, {"streams", QJsonObject{{"18", 1000}}}}},
         {"b", QJsonObject{{"title", "Two"},
                           {"streams", QJsonObject{{"18", QJsonObject{{"size", 4000000}, {"chunk", 8192}, {"delay_ms", 20}}}}}}},
         {"c", QJsonObject{{"title", "Three"}, {"streams", QJsonObject{{"18", 1000}}}}}});
    DownloadWindow w;
    ASSERT_TRUE(w.created);
    QTemporaryDir out;
    w.window.wizard().next();
    w.child<QLineEdit>("EditURLOutput")->setText(out.path());
    setClipboardText(watchLink("a") + "\n" + watchLink("b") + "\n" + watchLink("c"));
    w.flow.actionPaste()->trigger();
    bool asked = false;
    QObject::connect(&w.flow.run(), &TDownloadRun::rowChanged, [&](int row) {
        if (row == 1 && !asked && w.flow.run().Rows()[1].Status == "Downloading...") {
            asked = true;
            w.answers.answers = {MessageButton::Yes};
            w.window.wizard().exit(); // "Cancel" on the progress page
        }
    });
    QSignalSpy done(&w.flow.run(), &TDownloadRun::finished);
    w.window.wizard().next();
    ASSERT_TRUE(done.wait(30000));
    QApplication::processEvents();
    EXPECT_EQ(w.window.wizard().page(), WizardPage::Step7);
    EXPECT_EQ(w.label("LabelURLTotalFiles"), "3");
    EXPECT_EQ(w.label("LabelURLSucedded"), "1");
    EXPECT_EQ(w.label("LabelURLFailed"), "2");
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"One.mp4"});
}

TEST(DownloadWindow, NothingSavedMeansNothingToConvert)
{
    ServiceSimulator sim({{"v", QJsonObject{{"title", "x"}, {"page_status", 500}}}});
    DownloadWindow w;
    ASSERT_TRUE(w.created);
    QTemporaryDir out;
    w.window.wizard().next();
    w.child<QLineEdit>("EditURLOutput")->setText(out.path());
    setClipboardText(watchLink("v"));
    w.flow.actionPaste()->trigger();
    QSignalSpy done(&w.flow.run(), &TDownloadRun::finished);
    w.window.wizard().next();
    ASSERT_TRUE(done.wait(30000));
    QApplication::processEvents();
    EXPECT_EQ(w.label("LabelURLSucedded"), "0");
    w.window.wizard().convertDownloaded();
    EXPECT_EQ(w.answers.texts(), QStringList{"No file downloaded! Please try again."});
    EXPECT_EQ(w.window.wizard().page(), WizardPage::Step7);
}

} // namespace
