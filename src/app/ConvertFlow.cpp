#include "ConvertFlow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include "ConvertSound.h"
#include "FormMain.h"
#include "FormShutdown.h"
#include "Globals.h"
#include "InputPage.h"
#include "MainThreadQueue.h"
#include "OutputPage.h"
#include "Previewer.h"
#include "UtilFuncs.h"

namespace quillor {

ConvertFlow::ConvertFlow(TFormMain &window)
    : QObject(&window)
    , window_(window)
    , encoder_(std::make_unique<TFFEncoder>())
    , run_(std::make_unique<ConversionRun>(*encoder_))
{
    // The pages go with the flow, so no widget of the window reaches them
    // once the list they show is gone.
    inputPage_ = new InputPage(window_, inputList_, *encoder_->Decoder(), this);
    outputPage_ = new OutputPage(window_, this);
    setupProgressPage();
    installHooks();

    connect(run_.get(), &ConversionRun::logLine, &window_, &TFormMain::appendLog);
    connect(run_.get(), &ConversionRun::rowsReset, this, &ConvertFlow::refreshRows);
    connect(run_.get(), &ConversionRun::rowChanged, this, &ConvertFlow::refreshRow);
    connect(run_.get(), &ConversionRun::progressChanged, this, &ConvertFlow::refreshProgress);
    connect(run_.get(), &ConversionRun::runEnded, this, &ConvertFlow::FinishConversion);

    // Preview frames come from the task's thread; the window shows them on
    // the main thread while the task waits. False tells the task that its
    // preview was closed, so it sends no more.
    auto alive = previewAlive_;
    TCustomFFmpeg::SetPreviewWindowSink(
        [this, alive](TCustomFFmpeg *task, const TTaskPicture &picture, int frameNumber, int64_t pts) {
            bool open = false;
            if (!*alive)
                return false;
            MainThreadQueue::instance().send([&] {
                if (*alive)
                    open = previewFrame(task, picture, frameNumber, pts);
            });
            return open;
        });
}

ConvertFlow::~ConvertFlow()
{
    shutdownEncoder();
    TCustomFFmpeg::SetPreviewWindowSink(nullptr);
    delete inputPage_;
    delete outputPage_;
    delete previewer_.data();
}

void ConvertFlow::installHooks()
{
    StartupHooks &s = window_.startupHooks();
    s.fillPresetLists = [this] { outputPage_->LayoutAndFill(); };
    s.loadMediaLibraries = [this](const QStringList &folders, QString *error) {
        return LoadMediaLibraries(folders, error);
    };
    s.updateInputActions = [this] { inputPage_->ActionListUpdate(); };
    s.filesDropped = [this](const QStringList &paths) { inputPage_->FilesDropped(paths); };
    s.shutdownEncoder = [this] { shutdownEncoder(); };

    WizardHooks &h = window_.wizard().hooks();
    h.inputRowCount = [this] { return inputList_.Count(); };
    h.clearInputList = [this] { inputPage_->ActionClearExecute(); };
    h.showOutputPage = [this] { outputPage_->ShowOutputPage(); };
    h.commitOutputPage = [this] { outputPage_->CommitOutputPage(); };
    h.startConversion = [this] { StartConversion(); };
    h.clearConversionTasks = [this] { run_->ClearRows(); };
    h.stopEncoder = [this] { run_->Stop(); };
    h.addFilesToInput = [this](const QStringList &paths) {
        BeginBusy();
        inputPage_->AddMediaFiles(paths);
        EndBusy();
    };
}

bool ConvertFlow::LoadMediaLibraries(const QStringList &folders, QString *error)
{
    if (encoder_->LibrariesLoaded())
        return true;
    for (const QString &folder : folders) {
        if (QFileInfo(folder).isDir() && encoder_->LoadLibraries(QDir(folder).absolutePath().toStdString()))
            return true;
    }
    // Linux keeps the libraries in the system's own places.
    if (encoder_->LoadLibraries(std::string()))
        return true;
    if (error)
        *error = QString::fromStdString(encoder_->LastError());
    return false;
}

void ConvertFlow::shutdownEncoder()
{
    // The handlers first, so that nothing reaches the pages while the
    // window goes; then the engine, waiting for its tasks.
    run_->Detach();
    *previewAlive_ = false;
    encoder_->OnPreviewBitmap = nullptr;
    encoder_->OnVideoInputHook = nullptr;
    encoder_->OnVideoOutputHook = nullptr;
    encoder_->Stop(true);
    closePreview();
}

void ConvertFlow::StartConversion()
{
    QCoreApplication::processEvents(); // the progress page has just been shown
    run_->SetJoinMode(window_.config().Merge);
    const QStringList captions =
        run_->JoinMode()
            ? QStringList{QStringLiteral("Name"), QStringLiteral("Duration"), QStringLiteral("Width x Height"),
                          QStringLiteral("Aspect Ratio"), QStringLiteral("Path")}
            : QStringList{QStringLiteral("Name"), QStringLiteral("Duration"), QStringLiteral("Status"),
                          QStringLiteral("Progress"), QStringLiteral("Path")};
    listConverting_->setHeaderLabels(captions);
    labelCurrentFileTitle_->setText(run_->JoinMode() ? QStringLiteral("Output file:")
                                                     : QStringLiteral("Current file:"));
    previewClosed_.clear();
    run_->Start(SelectionFromSettings(window_.settings()), inputList_);
}

void ConvertFlow::FinishConversion()
{
    conversionErrorList() = run_->ErrorLines();
    const UserSettings &s = window_.settings();
    if (s.PlayASoundWhenFinished) {
        const bool allDone = run_->SuccessCount() >= run_->TotalFiles();
        PlaySoundFile(window_.folders().sound + (allDone ? QStringLiteral("done.wav") : QStringLiteral("fail.wav")));
    }
    if (s.ShutDownWhenFinished)
        TFormShutdown::runCountdown(&window_);
    ShowConversionSummary();
    emit conversionFinished();
}

void ConvertFlow::ShowConversionSummary()
{
    closePreview();
    window_.wizard().showConversionSummary();
    if (auto *memo = window_.findChild<QPlainTextEdit *>(QStringLiteral("MemoErrorLog"))) {
        const QStringList &errors = conversionErrorList();
        memo->setPlainText(errors.join(QLatin1Char('\n')));
        memo->setVisible(!errors.isEmpty());
    }
    window_.wizard().refreshPageCaptions();
    const std::pair<const char *, int> values[] = {{"LabelFinishTotalFiles", run_->TotalFiles()},
                                                   {"LabelFinishSuccessed", run_->SuccessCount()},
                                                   {"LabelFinishFailed", run_->TotalFiles() - run_->SuccessCount()}};
    for (auto [name, value] : values)
        if (auto *l = window_.findChild<QLabel *>(QString::fromLatin1(name)))
            l->setText(QString::number(value));
}

void ConvertFlow::SetPreview(bool on)
{
    encoder_->SetPreview(on);
    if (!on)
        closePreview();
}

bool ConvertFlow::previewFrame(TCustomFFmpeg *task, const TTaskPicture &picture, int frameNumber, std::int64_t pts)
{
    int index = -1;
    for (int i = 0; i < encoder_->TaskCount(); ++i)
        if (encoder_->Task(i) == task)
            index = i;
    if (index < 0 || previewClosed_.count(index) || !encoder_->Preview())
        return false;
    if (previewer_ && previewer_->taskIndex() != index)
        closePreview();
    if (!previewer_) {
        previewer_ = new TPreviewer(index, &window_);
        connect(previewer_, &TPreviewer::closed, this, [this](int closedTask) {
            // No more frames for that task, even while Preview stays on.
            previewClosed_.insert(closedTask);
            if (previewer_)
                previewer_->deleteLater();
        });
    }
    previewer_->ShowFrame(picture, frameNumber, pts);
    return true;
}

void ConvertFlow::closePreview()
{
    if (!previewer_)
        return;
    TPreviewer *p = previewer_;
    previewer_ = nullptr;
    p->CloseByProgram();
    p->deleteLater();
}

} // namespace quillor
