#pragma once
// A main window with the convert flow on a throw-away program folder and
// home, questions answered from a script, the finish sound and the power
// off recorded instead of done.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

#include "ConvertFlow.h"
#include "ConvertSound.h"
#include "FormLog.h"
#include "FormMain.h"
#include "InputPage.h"
#include "MainThreadPump.h"
#include "MediaFixtures.h"
#include "OutputPage.h"
#include "UtilFuncs.h"
#include "WindowFixture.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace quillor::testing {

inline ConfigKeys convertConfigKeys()
{
    ConfigKeys keys = defaultConfigKeys();
    keys["Download"] = "False";
    for (const char *flag : {"AVI", "MP4", "FLV", "MOV", "IPOD", "MP3", "WAV", "OGG"})
        keys[flag] = "True";
    return keys;
}

class ConvertWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        installMainThreadPump();
        std::string error;
        ASSERT_TRUE(test::LoadEngineLibraries(&error)) << error;
        previousSound_ = setSoundPlayer([this](const QString &file) { sounds << QFileInfo(file).fileName(); });
        previousShutdown_ = setShutdownBackend([this](ShutdownKind kind) {
            shutdowns << kind;
            return true;
        });
        ASSERT_TRUE(media.isValid());
    }

    void TearDown() override
    {
        flow.reset();
        window.reset();
        setSoundPlayer(std::move(previousSound_));
        setShutdownBackend(std::move(previousShutdown_));
    }

    // `programDir` empty: a program folder of the test's own with `keys`.
    void start(const ConfigKeys &keys = convertConfigKeys(), const QString &programDir = QString())
    {
        folder = std::make_unique<ProgramFolder>(keys);
        window = std::make_unique<TFormMain>(programDir.isEmpty() ? folder->path() : programDir);
        flow = std::make_unique<ConvertFlow>(*window);
        flow->inputPage().showFailedFiles = [this](const QStringList &entries) { failedDialogs << entries; };
        ASSERT_TRUE(window->formCreate()) << window->startupError().toStdString();
        window->setLogWindow(&log);
        QApplication::processEvents();
    }

    // A copy of a fixture under a name of the test's own.
    QString clip(const std::string &fixture, const QString &name)
    {
        const QString path = media.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(QFile::copy(QString::fromStdString(fixture), path));
        return path;
    }
    QString outputDir() const { return media.filePath(QStringLiteral("out")) + QStringLiteral("/"); }

    template <class T> T *child(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QString text(const char *labelName) const { return child<QLabel>(labelName)->text(); }

    // Input page -> output page; picks the format and preset and the folder.
    void chooseOutput(int formatClass, const char *format, int preset, const QString &folderText)
    {
        ASSERT_EQ(window->wizard().page(), WizardPage::Step1);
        window->wizard().next();
        ASSERT_EQ(window->wizard().page(), WizardPage::Step2);
        const OutputFormat *f = FindFormatByName(format);
        flow->outputPage().classButton(formatClass)->click();
        flow->outputPage().formatButton(*f)->click();
        flow->outputPage().presetBox(*f)->setCurrentIndex(preset);
        child<QLineEdit>("EditOutputDir")->setText(folderText);
    }

    // Convert; returns when the summary shows.
    void convertAndWait(int seconds = 120)
    {
        QSignalSpy finished(flow.get(), &ConvertFlow::conversionFinished);
        window->wizard().next();
        ASSERT_EQ(window->wizard().page(), WizardPage::Step3);
        ASSERT_TRUE(finished.count() > 0 || finished.wait(seconds * 1000)) << "the run did not end";
        ASSERT_EQ(window->wizard().page(), WizardPage::Step4);
    }

    QStringList rowTexts(int column) const
    {
        QStringList out;
        auto *list = child<QTreeWidget>("ListViewConverting");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(column);
        return out;
    }
    QStringList summary() const
    {
        return {text("LabelFinishTotalFiles"), text("LabelFinishSuccessed"), text("LabelFinishFailed")};
    }

    ScopedHome home;
    QTemporaryDir media;
    ScriptedAnswers answers;
    ScopedMessageHandler messages{answers.handler()};
    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<ConvertFlow> flow;
    TFormLog log;
    QStringList sounds;
    QList<ShutdownKind> shutdowns;
    QList<QStringList> failedDialogs;

private:
    SoundPlayer previousSound_;
    ShutdownBackend previousShutdown_;
};

} // namespace quillor::testing
