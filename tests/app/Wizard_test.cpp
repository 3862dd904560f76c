// The wizard's page sequence, driven through the main window's buttons with
// questions answered through the message seam.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "FormMain.h"
#include "Globals.h"
#include "WindowFixture.h"

using namespace quillor;
using namespace quillor::testing;

namespace {

struct WindowUnderTest {
    explicit WindowUnderTest(bool download, bool merge)
        : folder(keys(download, merge))
        , seam(answers.handler())
        , window(folder.path())
    {
        created = window.formCreate();
        QApplication::processEvents(); // the deferred start-up shows the window
    }

    static ConfigKeys keys(bool download, bool merge)
    {
        ConfigKeys k = defaultConfigKeys();
        k["Download"] = download ? "True" : "False";
        k["Merge"] = merge ? "Yes" : "False";
        return k;
    }

    template <typename T = QWidget>
    T *child(const char *name)
    {
        return window.findChild<T *>(QString::fromLatin1(name));
    }
    QString text(const char *name)
    {
        if (auto *b = child<QAbstractButton>(name))
            return b->text();
        return child<QLabel>(name)->text();
    }
    bool enabled(const char *name) { return child(name)->isEnabled(); }
    void press(const char *name) { child<QAbstractButton>(name)->click(); }
    WizardPage shownPage()
    {
        const QString current = child<QStackedWidget>("PageControlMain")->currentWidget()->objectName();
        for (int i = 0; i < kWizardPageCount; ++i)
            if (wizardPageName(static_cast<WizardPage>(i)) == current)
                return static_cast<WizardPage>(i);
        ADD_FAILURE() << "unknown page " << current.toStdString();
        return WizardPage::Mode;
    }
    int inputRows() { return child<QTableWidget>("NextGrid")->rowCount(); }
    int links() { return child<QTreeWidget>("ListViewInputURL")->topLevelItemCount(); }
    void addLinks(int n)
    {
        for (int i = 0; i < n; ++i)
            child<QTreeWidget>("ListViewInputURL")
                ->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("https://v.example/%1").arg(i)}));
    }

    ScopedHome home;
    ProgramFolder folder;
    ScriptedAnswers answers;
    ScopedMessageHandler seam;
    TFormMain window;
    bool created = false;
};

const char *pageName(WizardPage p)
{
    static std::string names[kWizardPageCount];
    std::string &n = names[static_cast<int>(p)];
    n = wizardPageName(p).toStdString();
    return n.c_str();
}

} // namespace

TEST(Wizard, CaptionsAndEnabledStatesOfEveryPage)
{
    struct Row {
        WizardPage page;
        const char *title;
        const char *next;      // with Merge on, where it differs
        const char *nextMerge;
        bool nextEnabled;
        bool backWithDownload;
        bool backWithout;
        const char *exitWithDownload;
        const char *exitWithout;
    };
    const Row rows[] = {
        {WizardPage::Mode, "Welcome to Quillor! What do you want to do?", "Next", "Next", true, false, false,
         "Exit", "Exit"},
        {WizardPage::Step1,
         "Select the file(s) you want to convert. Use \"Move Up\" and \"Move Down\" to change the order.",
         "Next", "Next", true, true, false, "Cancel", "Exit"},
        {WizardPage::Step2, "Select an output mode and specify a path for the output files.", "Convert",
         "Join Now", true, true, true, "Cancel", "Cancel"},
        {WizardPage::Step3, "Conversion information.", "Next", "Next", false, false, false, "Cancel", "Cancel"},
        {WizardPage::Step4, "The conversion is finished.", "Finish", "Finish", true, false, false, "Exit", "Exit"},
        {WizardPage::Step5, "Copy a YouTube link from your browser address bar and Paste here", "Download",
         "Download", true, true, true, "Cancel", "Cancel"},
        {WizardPage::Step6, "Downloading information.", "Next", "Next", false, false, false, "Cancel", "Cancel"},
        {WizardPage::Step7, "The downloading is finished.", "Finish", "Finish", true, false, false, "Exit",
         "Exit"},
    };
    for (bool download : {false, true}) {
        for (bool merge : {false, true}) {
            WindowUnderTest w(download, merge);
            ASSERT_TRUE(w.created) << w.window.startupError().toStdString();
            for (const Row &r : rows) {
                SCOPED_TRACE(std::string(pageName(r.page)) + (download ? " download" : "")
                             + (merge ? " merge" : ""));
                w.window.wizard().showPage(r.page);
                EXPECT_EQ(w.shownPage(), r.page);
                EXPECT_EQ(w.text("LabelTitle"), QString::fromUtf8(r.title));
                EXPECT_EQ(w.text("ButtonNext"), QString::fromLatin1(merge ? r.nextMerge : r.next));
                EXPECT_EQ(w.text("ButtonBack"), QStringLiteral("Back"));
                EXPECT_EQ(w.text("ButtonExit"),
                          QString::fromLatin1(download ? r.exitWithDownload : r.exitWithout));
                EXPECT_EQ(w.enabled("ButtonNext"), r.nextEnabled);
                EXPECT_EQ(w.enabled("ButtonBack"), download ? r.backWithDownload : r.backWithout);
                EXPECT_TRUE(w.enabled("ButtonExit"));
            }
        }
    }
}

TEST(Wizard, FirstPageFollowsTheDownloadFlag)
{
    for (bool download : {false, true}) {
        WindowUnderTest w(download, false);
        ASSERT_TRUE(w.created);
        EXPECT_EQ(w.shownPage(), download ? WizardPage::Mode : WizardPage::Step1);
        EXPECT_TRUE(w.window.isVisible());
    }
}

namespace {
enum class Press { Next, Back, Exit, ConvertDownloaded };
enum class Folder { Untouched, NewNested, UnderAFile, Empty };

struct Transition {
    const char *name;
    bool download;
    WizardPage from;
    Press press;
    QList<MessageButton> answers;
    WizardPage to;
    const char *message; // the question or notice shown, "" for none
    bool closed = false;
    int inputRows = 0;   // rows in the input list before
    int linkRows = 0;    // links before
    int inputAfter = -1; // rows expected after, -1: as before
    int linksAfter = -1;
    Folder folder = Folder::Untouched;
    bool convertChecked = false;
    int downloaded = 0;
};

const MessageButton Y = MessageButton::Yes;
const MessageButton N = MessageButton::No;
const WizardPage Mode = WizardPage::Mode, S1 = WizardPage::Step1, S2 = WizardPage::Step2,
                 S3 = WizardPage::Step3, S4 = WizardPage::Step4, S5 = WizardPage::Step5,
                 S6 = WizardPage::Step6, S7 = WizardPage::Step7;
const char *kQuit = "Are you sure to quit now?";
const char *kCancel = "Are you sure to cancel?";
const char *kCancelBack = "Are you sure to cancel and go back?";
const char *kFolder = "Fail to create directory! Please check if output folder have the right format!";

Transition t(const char *name, bool download, WizardPage from, Press press, QList<MessageButton> answers,
             WizardPage to, const char *message)
{
    Transition r;
    r.name = name;
    r.download = download;
    r.from = from;
    r.press = press;
    r.answers = answers;
    r.to = to;
    r.message = message;
    return r;
}
Transition withInput(Transition r, int rows, int after = -1)
{
    r.inputRows = rows;
    r.inputAfter = after;
    return r;
}
Transition withLinks(Transition r, int rows, int after = -1)
{
    r.linkRows = rows;
    r.linksAfter = after;
    return r;
}
Transition withFolder(Transition r, Folder f)
{
    r.folder = f;
    return r;
}
Transition closes(Transition r)
{
    r.closed = true;
    return r;
}
} // namespace

TEST(Wizard, EveryTransitionOfThePageSequence)
{
    const Transition rows[] = {
        t("mode next, download checked", true, Mode, Press::Next, {}, S5, ""),
        [] {
            auto r = t("mode next, convert checked", true, Mode, Press::Next, {}, S1, "");
            r.convertChecked = true;
            return r;
        }(),
        t("mode back is disabled", true, Mode, Press::Back, {}, Mode, ""),
        closes(t("mode exit yes", true, Mode, Press::Exit, {Y}, Mode, kQuit)),
        t("mode exit no", true, Mode, Press::Exit, {N}, Mode, kQuit),

        t("input next without rows", true, S1, Press::Next, {}, S1,
          "Please add the video files you want to convert"),
        withInput(t("input next with rows", false, S1, Press::Next, {}, S2, ""), 2),
        withInput(t("input back yes", true, S1, Press::Back, {Y}, Mode, kCancelBack), 2, 0),
        withInput(t("input back no", true, S1, Press::Back, {N}, S1, kCancelBack), 2),
        withInput(t("input back without download is disabled", false, S1, Press::Back, {}, S1, ""), 2),
        withInput(t("input exit yes with download", true, S1, Press::Exit, {Y}, Mode, kCancel), 2, 0),
        withInput(t("input exit no with download", true, S1, Press::Exit, {N}, S1, kCancel), 2),
        closes(withInput(t("input exit yes without download", false, S1, Press::Exit, {Y}, S1, kQuit), 2)),
        withInput(t("input exit no without download", false, S1, Press::Exit, {N}, S1, kQuit), 2),

        withFolder(withInput(t("output next creates the folder", true, S2, Press::Next, {}, S3, ""), 1),
                   Folder::NewNested),
        withFolder(withInput(t("output next, folder cannot be made", true, S2, Press::Next, {}, S2, kFolder), 1),
                   Folder::UnderAFile),
        withFolder(withInput(t("output next, folder box empty", true, S2, Press::Next, {}, S2, kFolder), 1),
                   Folder::Empty),
        withInput(t("output back keeps the rows", true, S2, Press::Back, {}, S1, ""), 3),
        withInput(t("output exit yes, download", true, S2, Press::Exit, {Y}, Mode, kCancel), 3, 0),
        withInput(t("output exit yes, no download", false, S2, Press::Exit, {Y}, S1, kCancel), 3, 0),
        withInput(t("output exit no", true, S2, Press::Exit, {N}, S2, kCancel), 3),

        t("progress next is disabled", true, S3, Press::Next, {}, S3, ""),
        t("progress back is disabled", true, S3, Press::Back, {}, S3, ""),
        t("progress exit yes stops and ends the run", true, S3, Press::Exit, {Y}, S4,
          "Do you really want to cancel the conversion?"),
        t("progress exit no", true, S3, Press::Exit, {N}, S3, "Do you really want to cancel the conversion?"),

        withInput(t("summary finish, download", true, S4, Press::Next, {}, Mode, ""), 2, 0),
        withInput(t("summary finish, no download", false, S4, Press::Next, {}, S1, ""), 2, 0),
        t("summary back is disabled", true, S4, Press::Back, {}, S4, ""),
        closes(t("summary exit yes", true, S4, Press::Exit, {Y}, S4, kQuit)),
        t("summary exit no", true, S4, Press::Exit, {N}, S4, kQuit),

        t("links next without links", true, S5, Press::Next, {}, S5,
          "Please Copy & Paste the YouTube video links you want to download."),
        withFolder(withLinks(t("links next downloads", true, S5, Press::Next, {}, S6, ""), 2), Folder::NewNested),
        withFolder(withLinks(t("links next, folder cannot be made", true, S5, Press::Next, {}, S5, kFolder), 2),
                   Folder::UnderAFile),
        withLinks(t("links back yes", true, S5, Press::Back, {Y}, Mode, kCancelBack), 2, 0),
        withLinks(t("links back no", true, S5, Press::Back, {N}, S5, kCancelBack), 2),
        withLinks(t("links exit yes", true, S5, Press::Exit, {Y}, Mode, kCancel), 2, 0),
        withLinks(t("links exit no", true, S5, Press::Exit, {N}, S5, kCancel), 2),

        t("download progress next is disabled", true, S6, Press::Next, {}, S6, ""),
        t("download progress exit yes aborts and ends the run", true, S6, Press::Exit, {Y}, S7,
          "Do you really want to cancel the downloading?"),
        t("download progress exit no", true, S6, Press::Exit, {N}, S6,
          "Do you really want to cancel the downloading?"),

        withLinks(t("download summary finish", true, S7, Press::Next, {}, Mode, ""), 2, 0),
        closes(t("download summary exit yes", true, S7, Press::Exit, {Y}, S7, kQuit)),
        t("convert downloaded without files", true, S7, Press::ConvertDownloaded, {}, S7,
          "No file downloaded! Please try again."),
        [] {
            auto r = t("convert downloaded files", true, S7, Press::ConvertDownloaded, {}, S1, "");
            r.downloaded = 2;
            r.inputAfter = 2;
            return r;
        }(),
    };

    for (const Transition &r : rows) {
        for (bool merge : {false, true}) {
            SCOPED_TRACE(std::string(r.name) + (merge ? ", merge" : ""));
            WindowUnderTest w(r.download, merge);
            ASSERT_TRUE(w.created);
            w.answers.answers = r.answers;
            QTemporaryDir scratch;
            downloadedFilesList().clear();
            for (int i = 0; i < r.downloaded; ++i)
                downloadedFilesList() << scratch.filePath(QStringLiteral("video%1.mp4").arg(i));

            w.window.wizard().hooks().addFilesToInput(QStringList(r.inputRows, QStringLiteral("/tmp/a.mp4")));
            w.addLinks(r.linkRows);
            if (r.convertChecked)
                w.child<QRadioButton>("RadioButtonConvertVideo")->setChecked(true);
            w.window.wizard().showPage(r.from);
            QString target;
            if (r.folder != Folder::Untouched) {
                QFile file(scratch.filePath(QStringLiteral("plain-file")));
                file.open(QIODevice::WriteOnly);
                target = r.folder == Folder::NewNested    ? scratch.filePath(QStringLiteral("a/b/c"))
                         : r.folder == Folder::UnderAFile ? scratch.filePath(QStringLiteral("plain-file/sub"))
                                                          : QString();
                w.child<QLineEdit>(r.from == S2 ? "EditOutputDir" : "EditURLOutput")->setText(target);
            }

            switch (r.press) {
            case Press::Next: w.press("ButtonNext"); break;
            case Press::Back: w.press("ButtonBack"); break;
            case Press::Exit: w.press("ButtonExit"); break;
            case Press::ConvertDownloaded: w.press("ButtonConvertDownloaded"); break;
            }
            QApplication::processEvents(); // runs the posted run start / run end

            EXPECT_EQ(w.answers.texts(), *r.message ? QStringList{QString::fromLatin1(r.message)} : QStringList{});
            EXPECT_EQ(w.window.isVisible(), !r.closed);
            if (r.closed)
                continue;
            EXPECT_STREQ(pageName(w.shownPage()), pageName(r.to));
            EXPECT_EQ(w.inputRows(), r.inputAfter < 0 ? r.inputRows : r.inputAfter);
            EXPECT_EQ(w.links(), r.linksAfter < 0 ? r.linkRows : r.linksAfter);
            if (r.folder == Folder::NewNested)
                EXPECT_TRUE(QFileInfo(target).isDir());
            // Every page the sequence lands on shows its own captions.
            EXPECT_EQ(w.text("LabelTitle"), w.window.wizard().captionsFor(r.to).title);
            EXPECT_EQ(w.text("ButtonNext"), w.window.wizard().captionsFor(r.to).next);
        }
    }
}

TEST(Wizard, ConversionStartsOnlyAfterTheProgressPageIsUp)
{
    WindowUnderTest w(false, false);
    ASSERT_TRUE(w.created);
    QTemporaryDir out;
    int started = 0;
    WizardPage pageAtStart = WizardPage::Mode;
    w.window.wizard().hooks().startConversion = [&] {
        ++started;
        pageAtStart = w.window.wizard().page();
    };
    w.window.settings().PlayASoundWhenFinished = true;
    w.window.wizard().hooks().addFilesToInput({QStringLiteral("/tmp/x.mp4")});
    w.press("ButtonNext");
    w.child<QLineEdit>("EditOutputDir")->setText(out.path());
    w.press("ButtonNext");
    EXPECT_EQ(started, 0);
    EXPECT_EQ(w.shownPage(), WizardPage::Step3);
    EXPECT_TRUE(w.child<QAbstractButton>("CheckBoxPlayASound")->isChecked());
    EXPECT_FALSE(w.child<QAbstractButton>("CheckBoxShutdown")->isChecked());
    QApplication::processEvents();
    EXPECT_EQ(started, 1);
    EXPECT_EQ(pageAtStart, WizardPage::Step3);
    // The committed folder carries its trailing separator.
    EXPECT_EQ(w.window.settings().OutputFileDir, out.path() + "/");
}

TEST(Wizard, BackFromOutputPageDoesNotStoreItsChoices)
{
    WindowUnderTest w(false, false);
    ASSERT_TRUE(w.created);
    const QString before = w.window.settings().OutputFileDir;
    w.window.wizard().hooks().addFilesToInput({QStringLiteral("/tmp/x.mp4")});
    w.press("ButtonNext");
    EXPECT_EQ(w.child<QLineEdit>("EditOutputDir")->text(), before);
    w.child<QLineEdit>("EditOutputDir")->setText(QStringLiteral("/somewhere/else"));
    w.press("ButtonBack");
    EXPECT_EQ(w.window.settings().OutputFileDir, before);
    EXPECT_EQ(w.inputRows(), 1);
}

TEST(Wizard, DownloadSummaryShowsTheRunsCounters)
{
    WindowUnderTest w(true, false);
    ASSERT_TRUE(w.created);
    w.addLinks(3);
    w.window.wizard().showPage(WizardPage::Step6);
    w.window.wizard().showDownloadSummary(5, 3);
    EXPECT_EQ(w.shownPage(), WizardPage::Step7);
    EXPECT_EQ(w.text("LabelURLTotalFiles"), "5");
    EXPECT_EQ(w.text("LabelURLSucedded"), "3");
    EXPECT_EQ(w.text("LabelURLFailed"), "2");
    EXPECT_EQ(w.links(), 0);
    EXPECT_EQ(w.text("LabelURLStatus"), "...");
    EXPECT_EQ(w.text("LabelProgressBarDownload"), "0%");
}

TEST(Wizard, FinishReturnsToModePageWithTheRadioButtonsAsLeft)
{
    WindowUnderTest w(true, false);
    ASSERT_TRUE(w.created);
    w.child<QRadioButton>("RadioButtonConvertVideo")->setChecked(true);
    w.window.wizard().showPage(WizardPage::Step4);
    w.press("ButtonNext");
    EXPECT_EQ(w.shownPage(), WizardPage::Mode);
    EXPECT_TRUE(w.child<QRadioButton>("RadioButtonConvertVideo")->isChecked());
}
