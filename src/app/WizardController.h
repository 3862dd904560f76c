#pragma once
// The page sequence of the main window as an object of its own.
//
// The controller holds the active page and decides what Back, Next and Exit
// do on it; the window only renders what the controller says (title line,
// captions, enabled states) and forwards the three actions. Everything that
// concerns the contents of a page (the input list, the output page, the
// links, the runs) is reached through WizardHooks, which the window fills
// with its defaults and which the convert and download flows take over.
// Tests drive the same object without a window.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include "WizardPage.h"

namespace quillor {

// What the window shows for the active page.
struct PageCaptions {
    QString title;
    QString next;
    QString back;
    QString exit;
    bool nextEnabled = true;
    bool backEnabled = true;
    bool exitEnabled = true;
};

struct WizardHooks {
    // Questions (Yes/No, act on Yes) and notices (OK). The window routes
    // both through the message seam.
    std::function<bool(const QString &question)> ask;
    std::function<void(const QString &notice)> notify;

    // Mode page: is "Download video" checked (else "Convert")?
    std::function<bool()> downloadChecked;

    // Convert flow.
    std::function<int()> inputRowCount;
    std::function<void()> clearInputList;
    std::function<void()> showOutputPage;   // fill the output page from the settings
    std::function<void()> commitOutputPage; // store it into the settings
    std::function<QString()> outputFileDir; // the committed output folder
    std::function<void()> prepareProgressPage; // check boxes from the finish options
    std::function<void()> startConversion;  // runs as a queued call after the page shows
    std::function<void()> clearConversionTasks;
    std::function<void()> stopEncoder;      // stop and wait

    // Download flow.
    std::function<int()> linkCount;
    std::function<void()> clearLinkList;
    std::function<void()> showLinkPage;
    std::function<void()> commitLinkPage;
    std::function<QString()> outputURLDir;
    std::function<void()> startDownload;     // fill the download list, start the run
    std::function<void()> clearDownloadList;
    std::function<void()> resetDownloadStatus; // labels "...", progress 0
    std::function<void()> clearVideoTexts;     // per-video texts of the run
    std::function<void()> abortTransfers;
    std::function<QStringList()> downloadedFiles;
    std::function<void()> clearDownloadedFiles;
    std::function<void(const QStringList &paths)> addFilesToInput;
};

class WizardController : public QObject {
    Q_OBJECT
public:
    explicit WizardController(QObject *parent = nullptr);

    // Program configuration the sequence depends on.
    void setDownloadEnabled(bool on) { download_ = on; }
    bool downloadEnabled() const { return download_; }
    void setMergeEnabled(bool on) { merge_ = on; }
    bool mergeEnabled() const { return merge_; }
    void setAppTitle(const QString &title) { appTitle_ = title; }

    WizardHooks &hooks() { return hooks_; }

    WizardPage page() const { return page_; }
    WizardPage firstPage() const;
    PageCaptions captions() const { return captionsFor(page_); }
    PageCaptions captionsFor(WizardPage page) const;

    // Makes a page active under program control and refreshes the captions.
    void showPage(WizardPage page);
    void goToFirstPage();
    // Re-announces the captions of the active page.
    void refreshPageCaptions();

    // The three actions.
    void next();
    void back();
    void exit();

    // Summary pages, entered when a run has ended.
    void showConversionSummary();
    void showDownloadSummary(int totalFiles, int succeeded);

    // The download summary's "Convert the downloaded file(s) now!" button.
    void convertDownloaded();

    // Whether a folder is usable for output: it exists or it and its
    // missing parents can be created. An empty text is refused.
    static bool ensureFolder(const QString &folder);

signals:
    void pageChanged(quillor::WizardPage page);
    void captionsChanged(const quillor::PageCaptions &captions);
    void downloadSummaryChanged(int totalFiles, int succeeded, int failed);
    // The window is to close (Exit answered Yes on a closing page).
    void closeRequested();

private:
    bool ask(const QString &question) const;
    void notify(const QString &notice) const;
    void call(const std::function<void()> &hook) const
    {
        if (hook)
            hook();
    }

    WizardHooks hooks_;
    WizardPage page_;
    bool download_ = false;
    bool merge_ = false;
    QString appTitle_ = QStringLiteral("Quillor");
};

} // namespace quillor

Q_DECLARE_METATYPE(quillor::PageCaptions)
