// Start-up of the main window: configuration and picture failures, the
// skin layouts and shape, the log hand-over, and what closing writes.
#include <QRegularExpression>
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "FFLog.h"
#include "FormLog.h"
#include "FormMain.h"
#include "SkinButton.h"
#include "WindowFixture.h"

using namespace quillor;
using namespace quillor::testing;

namespace {

// Collects the addresses the window asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(const QString &scheme)
        : scheme_(scheme)
    {
        QDesktopServices::setUrlHandler(scheme_, this, "open");
    }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(scheme_); }
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }

private:
    QString scheme_;
};

} // namespace

TEST(FormMain, StartupFailuresNameTheFileAndTheProblem)
{
    struct Row {
        const char *name;
        const char *key;   // key changed, nullptr for none
        const char *value; // nullptr removes the key
        bool encode;
        const char *removeFile; // file removed from the program folder
        const char *expectInError;
    } rows[] = {
        {"no configuration", nullptr, nullptr, true, "lamecore.dll", "lamecore.dll"},
        {"configuration stored unencoded", nullptr, nullptr, false, nullptr, "lamecore.dll"},
        {"skin absent", "Skin", nullptr, true, nullptr, "lamecore.dll"},
        {"default class not a number", "DefaultClass", "two", true, nullptr, "'two' is not a valid integer"},
        {"skin picture missing", nullptr, nullptr, true, "sounds/skin/main.bmp", "main.bmp"},
        {"button picture missing", nullptr, nullptr, true, "sounds/skin/bottom_4.bmp", "bottom_4.bmp"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        ScopedHome home;
        ConfigKeys keys = defaultConfigKeys();
        if (r.key)
            keys[r.key] = r.value;
        ProgramFolder folder(keys, r.encode);
        if (r.removeFile)
            QFile::remove(folder.file(QString::fromLatin1(r.removeFile)));
        TFormMain window(folder.path());
        EXPECT_FALSE(window.formCreate());
        EXPECT_TRUE(window.startupError().contains(QString::fromLatin1(r.expectInError)))
            << window.startupError().toStdString();
        QApplication::processEvents();
        EXPECT_FALSE(window.isVisible());
        // Nothing was read, so closing writes nothing.
        window.close();
        EXPECT_FALSE(QFile::exists(home.settingsFile()) && !QFile(home.settingsFile()).size());
    }
}

TEST(FormMain, DownloadFlagInLowerCaseStartsOnTheInputPage)
{
    ScopedHome home;
    ConfigKeys keys = defaultConfigKeys();
    keys["Download"] = "yes";
    ProgramFolder folder(keys);
    TFormMain window(folder.path());
    ASSERT_TRUE(window.formCreate());
    EXPECT_EQ(window.wizard().page(), WizardPage::Step1);
    EXPECT_EQ(window.findChild<QStackedWidget *>("PageControlMain")->currentWidget()->objectName(),
              "TabSheetStep1");
}

TEST(FormMain, SkinLayoutsPlaceTheChrome)
{
    struct Row {
        const char *skin;
        QPoint minimise, help, exit, page, title;
        bool minCloseShown;
        bool transparent;
    } rows[] = {
        {"0", {696, 4}, {40, 510}, {672, 510}, {203, 74}, {24, 43}, true, false},
        {"1", {766, 3}, {25, 566}, {730, 566}, {240, 110}, {252, 70}, true, false},
        {"2", {696, 6}, {40, 513}, {672, 513}, {198, 74}, {24, 43}, true, false},
        {"3", {}, {10, 515}, {665, 515}, {203, 74}, {215, 55}, false, true},
        {"9", {696, 4}, {40, 510}, {672, 510}, {203, 74}, {24, 43}, true, false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string("Skin=") + r.skin);
        ScopedHome home;
        ConfigKeys keys = defaultConfigKeys();
        keys["Skin"] = r.skin;
        ProgramFolder folder(keys);
        TFormMain window(folder.path());
        ASSERT_TRUE(window.formCreate());
        QApplication::processEvents();
        auto *min = window.findChild<QWidget *>("ButtonMin");
        EXPECT_EQ(min->isVisible(), r.minCloseShown);
        EXPECT_EQ(window.findChild<QWidget *>("ButtonClose")->isVisible(), r.minCloseShown);
        if (r.minCloseShown)
            EXPECT_EQ(min->pos(), r.minimise);
        EXPECT_EQ(window.findChild<QWidget *>("ButtonHelp")->pos(), r.help);
        EXPECT_EQ(window.findChild<QWidget *>("ButtonExit")->pos(), r.exit);
        EXPECT_EQ(window.findChild<QWidget *>("PageControlMain")->pos(), r.page);
        EXPECT_EQ(window.findChild<QWidget *>("LabelTitle")->pos(), r.title);
        EXPECT_EQ(window.findChild<QLabel *>("LabelTitle")->font().bold(), !r.transparent);
        EXPECT_EQ(window.findChild<SkinButton *>("ButtonBack")->isTransparent(), r.transparent);
        // Buttons take the size of their pictures.
        EXPECT_EQ(window.findChild<QWidget *>("ButtonNext")->size(), QSize(88, 26));
    }
}

TEST(FormMain, SkinPictureSizesAndShapesTheWindow)
{
    ScopedHome home;
    ProgramFolder folder;
    TFormMain window(folder.path());
    ASSERT_TRUE(window.formCreate());
    EXPECT_EQ(window.size(), QSize(772, 547));
    const QRegion shape = window.mask();
    EXPECT_FALSE(shape.contains(QPoint(5, 5)));   // fuchsia corner
    EXPECT_FALSE(shape.contains(QPoint(19, 19)));
    EXPECT_TRUE(shape.contains(QPoint(20, 20)));
    EXPECT_TRUE(shape.contains(QPoint(400, 300)));
}

TEST(FormMain, LibraryFailureIsLoggedAndTheWindowStillOpens)
{
    ScopedHome home;
    ProgramFolder folder;
    TFormMain window(folder.path());
    QStringList tried;
    window.startupHooks().loadMediaLibraries = [&](const QStringList &folders, QString *error) {
        tried = folders;
        *error = QStringLiteral("Load library libavcodec.so.59 error: not found");
        return false;
    };
    bool scriptHost = false;
    window.startupHooks().createScriptHost = [&] { scriptHost = true; };
    ASSERT_TRUE(window.formCreate());
    EXPECT_EQ(tried, (QStringList{folder.path() + "/lib", folder.path() + "/../lib"}));
    EXPECT_TRUE(scriptHost);
    TFormLog log;
    window.setLogWindow(&log);
    EXPECT_EQ(log.lines(), QStringList{"Load library libavcodec.so.59 error: not found"});
    window.appendLog(QStringLiteral("later"));
    EXPECT_EQ(log.lines().size(), 2);
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    // The Log button shows the log window beside the still usable main window.
    window.findChild<QAbstractButton *>("ButtonLog")->click();
    EXPECT_TRUE(log.isVisible());
    EXPECT_FALSE(log.isModal());
}

TEST(FormMain, EngineErrorsBecomeLogLinesWithThreadAndLevel)
{
    ScopedHome home;
    ProgramFolder folder;
    TFormMain window(folder.path());
    TFormLog log;
    window.setLogWindow(&log);
    auto &logger = quillor::GetLogger();
    ASSERT_FALSE(logger.AutoCreated()) << "the window owns the engine's log";
    logger.LogMessage(nullptr, quillor::llError, "cannot open the output");
    logger.LogMessage(nullptr, quillor::llInfo, "below the window's threshold");
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^#\\d+\\.3: cannot open the output$"))
                    .match(log.lines().first())
                    .hasMatch())
        << log.lines().first().toStdString();
}

TEST(FormMain, ClosingWritesSettingsAndBothWindowPositions)
{
    ScopedHome home;
    ProgramFolder folder;
    ScriptedAnswers answers;
    ScopedMessageHandler seam(answers.handler());
    {
        TFormMain window(folder.path());
        ASSERT_TRUE(window.formCreate());
        EXPECT_TRUE(window.firstStart());
        TFormLog log;
        window.setLogWindow(&log);
        QApplication::processEvents();
        window.move(10, 20); // on the 800 x 600 test screen
        window.settings().OutputFileDir = QStringLiteral("/data/out/");
        window.findChild<QAbstractButton *>("ButtonClose")->click(); // no question
        EXPECT_TRUE(answers.seen.isEmpty());
        EXPECT_FALSE(window.isVisible());
    }
    QFile file(home.settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("OutputFileDir=/data/out/"));
    EXPECT_TRUE(text.contains("[Form]"));
    EXPECT_TRUE(text.contains("[FormLog]"));

    // The next start reads them back and is no first start.
    TFormMain again(folder.path());
    ASSERT_TRUE(again.formCreate());
    EXPECT_FALSE(again.firstStart());
    EXPECT_EQ(again.settings().OutputFileDir, "/data/out/");
    EXPECT_EQ(again.pos(), QPoint(10, 20));
}

TEST(FormMain, HelpMenuEntriesAndF1OpenTheConfiguredTargets)
{
    ScopedHome home;
    ProgramFolder folder;
    UrlCatcher catcher(QStringLiteral("https"));
    TFormMain window(folder.path());
    ASSERT_TRUE(window.formCreate());
    QApplication::processEvents();

    QStringList entries;
    for (QAction *a : window.helpMenu()->actions())
        entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(entries, (QStringList{"Help Content", "How Tos && Tutorial Videos...", "-", "Home Page...",
                                    "More Free Tools...", "-", "Check for Updates...",
                                    "Contact Technical Support...", "-", "About"}));

    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_F1);
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened.first(), QUrl("https://help.example/content"));

    window.findChild<QAction *>("ActionContactTechnicalSupport")->trigger();
    EXPECT_EQ(catcher.opened.last(), QUrl("https://help.example/support"));
    // An empty target opens nothing.
    window.findChild<QAction *>("ActionHomePage")->trigger();
    EXPECT_EQ(catcher.opened.size(), 2);
}

TEST(FormMain, HelpMenuOpensUnderTheHelpButton)
{
    for (const char *skin : {"0", "2"}) {
        ScopedHome home;
        ConfigKeys keys = defaultConfigKeys();
        keys["Skin"] = skin;
        ProgramFolder folder(keys);
        TFormMain window(folder.path());
        ASSERT_TRUE(window.formCreate());
        QApplication::processEvents();
        auto *help = window.findChild<QWidget *>("ButtonHelp");
        const QPoint expected = window.mapToGlobal(
            QPoint(help->x() + (QByteArray(skin) == "2" ? 5 : 0), help->y() + help->height()));
        EXPECT_EQ(window.helpMenuPosition(), expected) << skin;
    }
}

TEST(FormMain, KeyboardShortcutsDriveTheWizard)
{
    ScopedHome home;
    ProgramFolder folder;
    ScriptedAnswers answers;
    ScopedMessageHandler seam(answers.handler());
    TFormMain window(folder.path());
    ASSERT_TRUE(window.formCreate());
    QApplication::processEvents();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QTest::keyClick(&window, Qt::Key_N, Qt::AltModifier); // mode page: download is checked
    EXPECT_EQ(window.wizard().page(), WizardPage::Step5);
    answers.answers = {MessageButton::Yes};
    QTest::keyClick(&window, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(answers.texts(), QStringList{"Are you sure to cancel and go back?"});
    EXPECT_EQ(window.wizard().page(), WizardPage::Mode);
    answers.answers = {MessageButton::No};
    QTest::keyClick(&window, Qt::Key_F4, Qt::AltModifier);
    EXPECT_EQ(answers.texts().last(), "Are you sure to quit now?");
    EXPECT_TRUE(window.isVisible());
}

TEST(FormMain, ShownWindowHidesVersionLabelsAndCanBeDraggedBySkinAndLogos)
{
    ScopedHome home;
    ProgramFolder folder;
    TFormMain window(folder.path());
    int inputActionsUpdated = 0;
    window.startupHooks().updateInputActions = [&] { ++inputActionsUpdated; };
    ASSERT_TRUE(window.formCreate());
    QApplication::processEvents();
    EXPECT_EQ(inputActionsUpdated, 1);
    EXPECT_FALSE(window.findChild<QWidget *>("LabelVersion")->isVisible());
    EXPECT_FALSE(window.findChild<QWidget *>("LabelMoreTools")->isVisible());
    EXPECT_EQ(window.findChild<QLabel *>("LabelVersion")->text(), "Version: 9.8.7");

    for (const char *handle : {"", "ImageTopLogo", "ImageLeftLogo"}) {
        SCOPED_TRACE(handle);
        QWidget *target = *handle ? window.findChild<QWidget *>(handle) : &window;
        const QPoint at = *handle ? QPoint(5, 5) : QPoint(400, 30); // skin above the pages
        window.move(0, 0);
        QTest::mousePress(target, Qt::LeftButton, {}, at);
        QTest::mouseMove(target, at + QPoint(30, 12));
        QTest::mouseRelease(target, Qt::LeftButton, {}, at + QPoint(30, 12));
        EXPECT_EQ(window.pos(), QPoint(30, 12));
    }
    // An empty spot of a page is no drag handle.
    QWidget *page = window.findChild<QWidget *>("TabSheetMode");
    window.move(0, 0);
    QTest::mousePress(page, Qt::LeftButton, {}, QPoint(500, 400));
    QTest::mouseMove(page, QPoint(530, 412));
    QTest::mouseRelease(page, Qt::LeftButton, {}, QPoint(530, 412));
    EXPECT_EQ(window.pos(), QPoint(0, 0));
}

TEST(FormMain, BottomButtonsShowTheirStatePictures)
{
    ScopedHome home;
    ProgramFolder folder;
    TFormMain window(folder.path());
    ASSERT_TRUE(window.formCreate());
    QApplication::processEvents();
    auto *back = window.findChild<SkinButton *>("ButtonBack"); // disabled on the mode page
    auto *next = window.findChild<SkinButton *>("ButtonNext");
    EXPECT_EQ(back->pictureState(), 3);
    EXPECT_EQ(next->pictureState(), 0);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), next->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(next, &enter);
    EXPECT_EQ(next->pictureState(), 1);
    next->setDown(true);
    EXPECT_EQ(next->pictureState(), 2);
    next->setDown(false);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(next, &leave);
    EXPECT_EQ(next->pictureState(), 0);
}

#include "FormMain_test.moc"
