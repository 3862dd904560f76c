// The log window, the shutdown countdown, the failed-files dialog and the
// About dialog.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "FormAbout.h"
#include "FormFailedAddFile.h"
#include "FormLog.h"
#include "FormShutdown.h"
#include "ProgramConfig.h"
#include "UtilFuncs.h"
#include "WindowFixture.h"

using namespace quillor;
using namespace quillor::testing;

TEST(FormLog, SaveAddsLogExtensionAndEndsLinesWithCrLf)
{
    TFormLog log;
    log.appendLine(QStringLiteral("first"));
    log.appendLine(QStringLiteral("#1234.32: second"));
    QTemporaryDir dir;
    const struct {
        const char *chosen;
        const char *written;
    } rows[] = {{"session", "session.log"}, {"session.txt", "session.txt"}, {"my.log", "my.log"}};
    for (const auto &r : rows) {
        log.chooseSaveFile = [&](QWidget *) { return dir.filePath(QString::fromLatin1(r.chosen)); };
        log.findChild<QPushButton *>("ButtonSave")->click();
        QFile file(dir.filePath(QString::fromLatin1(r.written)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << r.chosen;
        EXPECT_EQ(file.readAll(), QByteArray("first\r\n#1234.32: second\r\n"));
    }
}

TEST(FormLog, UnwritableFileIsReportedAndLogKept)
{
    ScriptedAnswers answers;
    ScopedMessageHandler seam(answers.handler());
    TFormLog log;
    log.appendLine(QStringLiteral("kept"));
    log.chooseSaveFile = [](QWidget *) { return QStringLiteral("/nonexistent-folder/x.log"); };
    log.findChild<QPushButton *>("ButtonSave")->click();
    ASSERT_EQ(answers.seen.size(), 1);
    EXPECT_TRUE(answers.seen.first().text.contains("/nonexistent-folder/x.log"));
    EXPECT_EQ(log.lines(), QStringList{"kept"});
}

TEST(FormLog, DeleteAsksAndDisablesSavingForGood)
{
    ScriptedAnswers answers;
    ScopedMessageHandler seam(answers.handler());
    TFormLog log;
    log.appendLine(QStringLiteral("a"));
    auto *save = log.findChild<QPushButton *>("ButtonSave");

    answers.answers = {MessageButton::No};
    log.findChild<QPushButton *>("ButtonDelete")->click();
    EXPECT_EQ(log.lines(), QStringList{"a"});
    EXPECT_TRUE(save->isEnabled());
    ASSERT_EQ(answers.seen.size(), 1);
    EXPECT_EQ(answers.seen.first().text, "Really delete log file?");
    EXPECT_EQ(answers.seen.first().caption, "Delete log?");
    EXPECT_EQ(answers.seen.first().buttons,
              (QList<MessageButton>{MessageButton::Yes, MessageButton::No, MessageButton::Cancel}));

    answers.answers = {MessageButton::Yes};
    log.findChild<QPushButton *>("ButtonDelete")->click();
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(save->isEnabled());
    log.appendLine(QStringLiteral("b"));
    EXPECT_FALSE(save->isEnabled());
}

TEST(FormLog, ShowRestoresAndClosingSavesThePositionButKeepsTheText)
{
    TFormLog log;
    int restored = 0, saved = 0;
    log.restorePosition = [&](QWidget *) { ++restored; };
    log.savePosition = [&](QWidget *) { ++saved; };
    log.appendLine(QStringLiteral("line"));
    log.show();
    EXPECT_EQ(restored, 1);
    QTest::keyClick(&log, Qt::Key_Escape);
    EXPECT_FALSE(log.isVisible());
    EXPECT_EQ(saved, 1);
    log.show();
    EXPECT_EQ(restored, 2);
    log.findChild<QPushButton *>("ButtonOK")->click();
    EXPECT_EQ(saved, 2);
    EXPECT_EQ(log.lines(), QStringList{"line"});
    EXPECT_TRUE(log.windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST(FormLog, ButtonsAreCentredInTheBottomPanel)
{
    TFormLog log;
    log.resize(600, 200);
    log.show();
    auto *panel = log.findChild<QWidget *>("PanelBottom");
    auto *ok = log.findChild<QPushButton *>("ButtonOK");
    auto *del = log.findChild<QPushButton *>("ButtonDelete");
    auto *save = log.findChild<QPushButton *>("ButtonSave");
    const int g = save->geometry().right() + 1 - ok->x();
    EXPECT_EQ(ok->x(), panel->width() / 2 - g / 2);
    EXPECT_EQ(del->x(), ok->geometry().right() + 1 + 8);
    EXPECT_EQ(save->x(), del->geometry().right() + 1 + 8);
}

TEST(FormShutdown, CountsDownFromThirtyAndEndsWithOk)
{
    TFormShutdown dialog;
    EXPECT_EQ(dialog.timeOutText(), "Time left: 30");
    for (int expected = 29; expected >= 0; --expected) {
        dialog.tick();
        EXPECT_EQ(dialog.findChild<QLabel *>("LabelTimeOut")->text(), QStringLiteral("Time left: %1").arg(expected));
    }
    EXPECT_EQ(dialog.result(), 0);
    dialog.tick(); // the tick after 0
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(FormShutdown, CancelEscAndEnterReturnCancel)
{
    for (int key : {0, int(Qt::Key_Escape), int(Qt::Key_Return)}) {
        TFormShutdown dialog;
        dialog.setTickInterval(5);
        QTimer::singleShot(20, &dialog, [&] {
            if (key == 0)
                dialog.findChild<QPushButton *>("ButtonCancel")->click();
            else
                QTest::keyClick(&dialog, Qt::Key(key));
        });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected) << key;
        EXPECT_GT(dialog.secondsLeft(), 0);
    }
}

TEST(FormShutdown, LeftAloneItEndsWithOk)
{
    TFormShutdown dialog;
    dialog.setTickInterval(1);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(dialog.descriptionText().contains("Quillor"));
}

TEST(FormShutdown, CountdownPowersOffOnlyWhenNotCancelled)
{
    QList<ShutdownKind> calls;
    const ShutdownBackend previous = setShutdownBackend([&](ShutdownKind k) {
        calls << k;
        return true;
    });
    for (bool cancel : {true, false}) {
        QTimer::singleShot(0, [cancel] {
            auto *d = qobject_cast<TFormShutdown *>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            if (cancel)
                d->reject();
            else
                while (d->isVisible())
                    d->tick();
        });
        EXPECT_EQ(TFormShutdown::runCountdown(nullptr), !cancel);
    }
    setShutdownBackend(previous);
    EXPECT_EQ(calls, QList<ShutdownKind>{ShutdownKind::PowerOffShutdown});
}

TEST(FormFailedAddFile, ListsEveryEntryInOrder)
{
    QStringList entries;
    for (int i = 0; i < 10; ++i)
        entries << QStringLiteral("/media/clip%1.xyz: Invalid data found").arg(i);
    TFormFailedAddFile dialog(entries, QStringLiteral("https://help.example/support"));
    EXPECT_EQ(dialog.listedFiles(), entries);
    EXPECT_EQ(dialog.windowTitle(), "Failed to Add Files");
    QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Return); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
}

TEST(FormAbout, ShowsTitleVersionAndLinksAndIsNarrowerWithoutPicture)
{
    ProgramConfig config;
    config.Version = QStringLiteral("2.5.1");
    config.Copyright = QStringLiteral("Quillor Team");
    config.HelpHomePageLink = QStringLiteral("https://quillor.example/");
    config.HelpSupportLink = QStringLiteral("mailto:help@quillor.example");
    QPixmap picture(150, 260);
    picture.fill(Qt::blue);

    config.Skin = 0;
    TFormAbout withPicture(config, picture);
    EXPECT_EQ(withPicture.findChild<QLabel *>("LabalTitle")->text(), "Quillor 2.5.1");
    EXPECT_EQ(withPicture.findChild<QLabel *>("LabelVersion")->text(), "2.5.1");
    EXPECT_EQ(withPicture.findChild<QLabel *>("LabelWeb")->text(), "https://quillor.example/");
    EXPECT_EQ(withPicture.findChild<QLabel *>("LabelSupportEmail")->text(), "mailto:help@quillor.example");
    EXPECT_TRUE(withPicture.findChild<QLabel *>("LabelCopyright")->text().contains("Quillor Team"));

    config.Skin = 3;
    TFormAbout without(config, picture);
    withPicture.show();
    without.show();
    EXPECT_FALSE(without.findChild<QWidget *>("PanelLeft")->isVisible());
    EXPECT_TRUE(withPicture.findChild<QWidget *>("PanelLeft")->isVisible());
    EXPECT_LT(without.width(), withPicture.width());
    auto *pages = without.findChild<QWidget *>("PageControl");
    EXPECT_EQ(pages->x(), 10);
    EXPECT_EQ(without.width(), pages->geometry().right() + 1 + 15);
    EXPECT_EQ(without.findChild<QWidget *>("ButtonOK")->geometry().right(), pages->geometry().right());
}
