#include "WizardController.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>

namespace quillor {

QString wizardPageName(WizardPage page)
{
    switch (page) {
    case WizardPage::Mode: return QStringLiteral("TabSheetMode");
    case WizardPage::Step1: return QStringLiteral("TabSheetStep1");
    case WizardPage::Step2: return QStringLiteral("TabSheetStep2");
    case WizardPage::Step3: return QStringLiteral("TabSheetStep3");
    case WizardPage::Step4: return QStringLiteral("TabSheetStep4");
    case WizardPage::Step5: return QStringLiteral("TabSheetStep5");
    case WizardPage::Step6: return QStringLiteral("TabSheetStep6");
    case WizardPage::Step7: return QStringLiteral("TabSheetStep7");
    }
    return {};
}

namespace {
const QString kCancelQuestion = QStringLiteral("Are you sure to cancel?");
const QString kCancelBackQuestion = QStringLiteral("Are you sure to cancel and go back?");
const QString kQuitQuestion = QStringLiteral("Are you sure to quit now?");
const QString kFolderNotice = QStringLiteral(
    "Fail to create directory! Please check if output folder have the right format!");
} // namespace

WizardController::WizardController(QObject *parent)
    : QObject(parent)
    , page_(WizardPage::Mode) // the page the window design has active
{
    qRegisterMetaType<quillor::WizardPage>("quillor::WizardPage");
    qRegisterMetaType<quillor::PageCaptions>("quillor::PageCaptions");
}

WizardPage WizardController::firstPage() const
{
    return download_ ? WizardPage::Mode : WizardPage::Step1;
}

PageCaptions WizardController::captionsFor(WizardPage page) const
{
    PageCaptions c;
    c.back = QStringLiteral("Back");
    c.next = QStringLiteral("Next");
    c.exit = QStringLiteral("Cancel");
    switch (page) {
    case WizardPage::Mode:
        c.title = QStringLiteral("Welcome to %1! What do you want to do?").arg(appTitle_);
        c.backEnabled = false;
        c.exit = QStringLiteral("Exit");
        break;
    case WizardPage::Step1:
        c.title = QStringLiteral("Select the file(s) you want to convert. "
                                 "Use \"Move Up\" and \"Move Down\" to change the order.");
        c.backEnabled = download_;
        c.exit = download_ ? QStringLiteral("Cancel") : QStringLiteral("Exit");
        break;
    case WizardPage::Step2:
        c.title = QStringLiteral("Select an output mode and specify a path for the output files.");
        c.next = merge_ ? QStringLiteral("Join Now") : QStringLiteral("Convert");
        break;
    case WizardPage::Step3:
        c.title = QStringLiteral("Conversion information.");
        c.nextEnabled = false;
        c.backEnabled = false;
        break;
    case WizardPage::Step4:
        c.title = QStringLiteral("The conversion is finished.");
        c.next = QStringLiteral("Finish");
        c.backEnabled = false;
        c.exit = QStringLiteral("Exit");
        break;
    case WizardPage::Step5:
        c.title = QStringLiteral("Copy a YouTube link from your browser address bar and Paste here");
        c.next = QStringLiteral("Download");
        break;
    case WizardPage::Step6:
        c.title = QStringLiteral("Downloading information.");
        c.nextEnabled = false;
        c.backEnabled = false;
        break;
    case WizardPage::Step7:
        c.title = QStringLiteral("The downloading is finished.");
        c.next = QStringLiteral("Finish");
        c.backEnabled = false;
        c.exit = QStringLiteral("Exit");
        break;
    }
    return c;
}

void WizardController::showPage(WizardPage page)
{
    const bool changed = page != page_;
    page_ = page;
    if (changed)
        emit pageChanged(page_);
    refreshPageCaptions();
}

void WizardController::goToFirstPage()
{
    showPage(firstPage());
}

void WizardController::refreshPageCaptions()
{
    emit captionsChanged(captions());
}

bool WizardController::ask(const QString &question) const
{
    return hooks_.ask && hooks_.ask(question);
}

void WizardController::notify(const QString &notice) const
{
    if (hooks_.notify)
        hooks_.notify(notice);
}

bool WizardController::ensureFolder(const QString &folder)
{
    // An empty folder box would become the file-system root once a
    // separator is ensured; nobody means that, so it is refused.
    QString path = folder.trimmed();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path.isEmpty() || path == QLatin1String("/"))
        return false;
    const QFileInfo info(path);
    if (info.exists())
        return info.isDir();
    return QDir().mkpath(path);
}

void WizardController::next()
{
    switch (page_) {
    case WizardPage::Mode:
        if (!hooks_.downloadChecked || hooks_.downloadChecked()) {
            showPage(WizardPage::Step5);
            call(hooks_.showLinkPage);
        } else {
            showPage(WizardPage::Step1);
        }
        break;
    case WizardPage::Step1:
        if (hooks_.inputRowCount && hooks_.inputRowCount() > 0) {
            showPage(WizardPage::Step2);
            call(hooks_.showOutputPage);
        } else {
            notify(QStringLiteral("Please add the video files you want to convert"));
        }
        break;
    case WizardPage::Step2: {
        call(hooks_.commitOutputPage);
        const QString folder = hooks_.outputFileDir ? hooks_.outputFileDir() : QString();
        if (!ensureFolder(folder)) {
            notify(kFolderNotice);
            break;
        }
        showPage(WizardPage::Step3);
        call(hooks_.prepareProgressPage);
        // Queued, so that the progress page is painted before the tasks
        // are built.
        QMetaObject::invokeMethod(
            this, [this] { call(hooks_.startConversion); }, Qt::QueuedConnection);
        break;
    }
    case WizardPage::Step4:
        call(hooks_.clearInputList);
        call(hooks_.clearConversionTasks);
        goToFirstPage();
        break;
    case WizardPage::Step5: {
        call(hooks_.commitLinkPage);
        if (!hooks_.linkCount || hooks_.linkCount() == 0) {
            notify(QStringLiteral(
                "Please Copy & Paste the YouTube video links you want to download."));
            break;
        }
        const QString folder = hooks_.outputURLDir ? hooks_.outputURLDir() : QString();
        if (!ensureFolder(folder)) {
            notify(kFolderNotice);
            break;
        }
        showPage(WizardPage::Step6);
        call(hooks_.clearDownloadedFiles);
        call(hooks_.startDownload);
        break;
    }
    case WizardPage::Step7:
        call(hooks_.clearLinkList);
        call(hooks_.clearDownloadList);
        goToFirstPage();
        break;
    case WizardPage::Step3:
    case WizardPage::Step6:
        break; // Next is disabled while a run is going
    }
}

void WizardController::back()
{
    switch (page_) {
    case WizardPage::Step1:
        if (!download_)
            break; // Back is disabled without the download side
        if (ask(kCancelBackQuestion)) {
            call(hooks_.clearInputList);
            goToFirstPage();
        }
        break;
    case WizardPage::Step2:
        // Nothing is asked and nothing of the output page is stored.
        showPage(WizardPage::Step1);
        break;
    case WizardPage::Step5:
        if (ask(kCancelBackQuestion)) {
            call(hooks_.clearLinkList);
            goToFirstPage();
        }
        break;
    default:
        break;
    }
}

void WizardController::exit()
{
    switch (page_) {
    case WizardPage::Step1:
        if (download_) {
            if (ask(kCancelQuestion)) {
                call(hooks_.clearInputList);
                goToFirstPage();
            }
        } else if (ask(kQuitQuestion)) {
            emit closeRequested();
        }
        break;
    case WizardPage::Step2:
        if (ask(kCancelQuestion)) {
            call(hooks_.clearInputList);
            goToFirstPage();
        }
        break;
    case WizardPage::Step3:
        if (ask(QStringLiteral("Do you really want to cancel the conversion?"))) {
            // The run then ends through the encoder's end-of-run report,
            // which shows the summary like a finished run.
            call(hooks_.stopEncoder);
            refreshPageCaptions();
        }
        break;
    case WizardPage::Step5:
        if (ask(kCancelQuestion)) {
            call(hooks_.clearLinkList);
            goToFirstPage();
        }
        break;
    case WizardPage::Step6:
        // The transfers' abort reports end the run and show the summary.
        if (ask(QStringLiteral("Do you really want to cancel the downloading?")))
            call(hooks_.abortTransfers);
        break;
    case WizardPage::Mode:
    case WizardPage::Step4:
    case WizardPage::Step7:
        if (ask(kQuitQuestion))
            emit closeRequested();
        break;
    }
}

void WizardController::showConversionSummary()
{
    showPage(WizardPage::Step4);
}

void WizardController::showDownloadSummary(int totalFiles, int succeeded)
{
    call(hooks_.clearLinkList);
    call(hooks_.clearDownloadList);
    call(hooks_.clearVideoTexts);
    call(hooks_.resetDownloadStatus);
    showPage(WizardPage::Step7);
    emit downloadSummaryChanged(totalFiles, succeeded, totalFiles - succeeded);
}

void WizardController::convertDownloaded()
{
    const QStringList files = hooks_.downloadedFiles ? hooks_.downloadedFiles() : QStringList();
    if (files.isEmpty()) {
        notify(QStringLiteral("No file downloaded! Please try again."));
        return;
    }
    showPage(WizardPage::Step1);
    if (hooks_.addFilesToInput)
        hooks_.addFilesToInput(files);
}

} // namespace quillor
