// The input page's list: actions and their enabled states, dragging a row,
// dropped files on any page.
#include "ConvertWindow.h"

using namespace quillor;
using namespace quillor::testing;

namespace {
QStringList gridPaths(QTableWidget *grid)
{
    QStringList out;
    for (int i = 0; i < grid->rowCount(); ++i)
        out << QFileInfo(grid->item(i, kColFileFullName)->text()).fileName();
    return out;
}
QAction *action(TFormMain &w, const char *name)
{
    return w.findChild<QAction *>(QString::fromLatin1(name));
}
} // namespace

TEST_F(ConvertWindow, ListActionsFollowTheSelection)
{
    start();
    InputPage &page = flow->inputPage();
    EXPECT_FALSE(action(*window, "ActionClear")->isEnabled());
    EXPECT_EQ(action(*window, "ActionAdd")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(action(*window, "ActionDelete")->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(action(*window, "ActionClear")->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    EXPECT_EQ(action(*window, "ActionPlay")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));

    const QString mp3 = clip(test::AudioOnlyMp3(), QStringLiteral("a.mp3"));
    page.AddMediaFiles({mp3, clip(test::Mpeg4Mp3Avi(), QStringLiteral("b.avi")),
                        clip(test::AudioOnlyMp3(), QStringLiteral("c.mp3")), mp3});
    QTableWidget *grid = page.grid();
    EXPECT_EQ(gridPaths(grid), (QStringList{"a.mp3", "b.avi", "c.mp3", "a.mp3"})); // twice is twice
    EXPECT_EQ(grid->item(1, kColWidth)->text(), QStringLiteral("176"));
    EXPECT_EQ(grid->item(0, kColWidth)->text(), QStringLiteral("-1"));
    EXPECT_NE(grid->item(1, kColRealDuration)->text(), QStringLiteral("0"));

    page.selectRow(0);
    EXPECT_FALSE(action(*window, "ActionMoveUp")->isEnabled());
    EXPECT_TRUE(action(*window, "ActionMoveDown")->isEnabled());
    page.selectRow(3);
    EXPECT_TRUE(action(*window, "ActionMoveUp")->isEnabled());
    EXPECT_FALSE(action(*window, "ActionMoveDown")->isEnabled());

    action(*window, "ActionDelete")->trigger(); // the last row: the new last is selected
    EXPECT_EQ(page.selectedRow(), 2);
    action(*window, "ActionMoveUp")->trigger();
    EXPECT_EQ(gridPaths(grid), (QStringList{"a.mp3", "c.mp3", "b.avi"}));
    EXPECT_EQ(page.selectedRow(), 1);

    // Dragging the first row onto the last moves it there.
    window->show();
    window->wizard().showPage(WizardPage::Step1);
    QApplication::processEvents();
    QWidget *viewport = grid->viewport();
    const QPoint from(60, grid->rowViewportPosition(0) + 40);
    const QPoint to(60, grid->rowViewportPosition(2) + 40);
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &move);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    EXPECT_EQ(gridPaths(grid), (QStringList{"c.mp3", "b.avi", "a.mp3"}));
    EXPECT_EQ(flow->inputList().Row(2).FullName, mp3);

    action(*window, "ActionClear")->trigger();
    EXPECT_EQ(grid->rowCount(), 0);
    EXPECT_EQ(flow->inputList().Count(), 0);
    EXPECT_FALSE(action(*window, "ActionDelete")->isEnabled());
}

// Dropped items: folders and extensions the drop does not take are skipped
// without a word; files dropped while another page shows are added all
// the same.
TEST_F(ConvertWindow, DroppedFilesAreFilteredAndAddedOnAnyPage)
{
    start();
    window->show();
    const QString folderPath = media.filePath(QStringLiteral("folder.mp3"));
    QDir().mkpath(folderPath);
    const QString webm = clip(test::AudioOnlyMp3(), QStringLiteral("clip.webm"));
    const QString mp3 = clip(test::AudioOnlyMp3(), QStringLiteral("song.MP3"));
    window->wizard().showPage(WizardPage::Step2);

    // What the window's drop handler hands on.
    window->startupHooks().filesDropped({folderPath, webm, mp3});

    EXPECT_EQ(gridPaths(flow->inputPage().grid()), QStringList{"song.MP3"});
    EXPECT_TRUE(failedDialogs.isEmpty());
    EXPECT_EQ(busyDepth(), 0);
}

// The open dialog's filter keeps its four entries and also matches
// lower-case names.
TEST(OpenDialogFilter, FourEntriesThatMatchEitherCase)
{
    const QStringList filters = openDialogNameFilters().split(QStringLiteral(";;"));
    ASSERT_EQ(filters.size(), 4);
    EXPECT_TRUE(filters[0].startsWith(QStringLiteral("All Supported Formats (*.AVI *.avi *.AVM *.avm")));
    EXPECT_TRUE(filters[1].startsWith(QStringLiteral("All Video Formats (all types) (")));
    EXPECT_TRUE(filters[2].contains(QStringLiteral("*.DTS *.dts)")));
    EXPECT_EQ(filters[3], QStringLiteral("All Files (*.*)"));
}

// Add through the open dialog: three chosen files, one unreadable, give
// two rows, one failed-files entry and one log line; the folder of the
// first file is remembered for the next opening.
TEST_F(ConvertWindow, AddFromTheOpenDialog)
{
    start();
    const QString junk = media.filePath(QStringLiteral("sub/junk.avi"));
    QDir().mkpath(QFileInfo(junk).path());
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1024, '\0'));
    f.close();
    const QStringList chosen = {clip(test::AudioOnlyMp3(), QStringLiteral("sub/a.mp3")), junk,
                                clip(test::Mpeg4Mp3Avi(), QStringLiteral("b.avi"))};
    flow->inputPage().openDialog = [&] { return chosen; };
    action(*window, "ActionAdd")->trigger();
    EXPECT_EQ(gridPaths(flow->inputPage().grid()), (QStringList{"a.mp3", "b.avi"}));
    ASSERT_EQ(failedDialogs.size(), 1);
    EXPECT_EQ(failedDialogs[0].size(), 1);
    EXPECT_EQ(log.lines().filter(QStringLiteral("File load error: ")).size(), 1);
    EXPECT_EQ(window->settings().LastOpenDir, media.filePath(QStringLiteral("sub")) + QStringLiteral("/"));
    EXPECT_EQ(busyDepth(), 0);

    // Cancel adds nothing.
    flow->inputPage().openDialog = [] { return QStringList(); };
    action(*window, "ActionAdd")->trigger();
    EXPECT_EQ(flow->inputPage().grid()->rowCount(), 2);
}
