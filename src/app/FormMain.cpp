#include "FormMain.h"

#include <stdexcept>
#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QWindow>

#include "FormAbout.h"
#include "FormLog.h"
#include "Globals.h"
#include "MessageSeam.h"
#include "SkinButton.h"
#include "SkinLinkLabel.h"
#include "UtilFuncs.h"

namespace quillor {

TFormMain::TFormMain(const QString &programDir, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , programDir_(programDir)
{
    setObjectName(QStringLiteral("FormMain"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The designed client area; the skin picture sets the real size.
    resize(772, 547);
    createChrome();
    createPages();
    createActions();
    installDefaultHooks();
    createEngineLogger();

    connect(&wizard_, &WizardController::pageChanged, this, &TFormMain::renderPage);
    connect(&wizard_, &WizardController::captionsChanged, this, &TFormMain::renderCaptions);
    connect(&wizard_, &WizardController::downloadSummaryChanged, this,
            &TFormMain::renderDownloadSummary);
    connect(&wizard_, &WizardController::closeRequested, this, &QWidget::close);
}

TFormMain::~TFormMain()
{
    if (clipboardConnected_)
        disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
}

bool TFormMain::formCreate()
{
    const QString title = applicationTitle();

    // 1. Captions that name the product.
    setWindowTitle(title);
    for (auto [name, text] : {
             std::pair{"LabelFinishTitle1", "%1 has finished the conversion."},
             std::pair{"LabelFinishTitle2",
                       "To convert other files, click \"Finish\". Click \"Exit\" to quit %1."},
             std::pair{"LabelFinishedDownloading2",
                       "To convert other files, click \"Finish\". Click \"Exit\" to quit %1."},
             std::pair{"LabelFinishedDownloading1", "%1 has finished the downloading."}}) {
        if (auto *l = findChild<QLabel *>(QString::fromLatin1(name)))
            l->setText(QString::fromLatin1(text).arg(title));
    }

    // 2. The program configuration.
    const QString programDir = programDir_.isEmpty() ? programFolder() : EnsureTrailingBackslash(programDir_);
    ProgramConfig unread;
    folders_ = programFolders(programDir, unread);
    QString error;
    if (!loadProgramConfig(folders_.configFile, config_, &error)) {
        startupError_ = error;
        return false;
    }
    folders_ = programFolders(programDir, config_);
    labelVersion_->setText(QStringLiteral("Version: %1").arg(config_.Version));
    wizard_.setDownloadEnabled(config_.Download);
    wizard_.setMergeEnabled(config_.Merge);
    wizard_.setAppTitle(title);

    // 3. The chrome pictures and the skin layout.
    if (!pictures_.load(folders_.resource, &error)) {
        startupError_ = error;
        return false;
    }
    applySkin();

    // 4-6. Defaults of the settings; the per-user folder.
    const QString appData = folders_.appData;
    settings_ = UserSettings::defaults(config_, folders_.documents);

    // 7. The user's settings over the defaults; the first start centres the window.
    settingsFile_ = userSettingsFile(appData);
    firstStart_ = !LoadUserSettings(settings_, settingsFile_);
    if (firstStart_) {
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect s = screen->geometry();
            move((s.width() - width()) / 2, (s.height() - height()) / 2);
        }
    }

    // 9. Preset lists.
    if (startupHooks_.fillPresetLists)
        startupHooks_.fillPresetLists();

    // 10. Dropped files.
    setAcceptDrops(true);

    // 12-13. Position and captions of the page the design has active.
    RestoreFormPosition(QStringLiteral("Form"), this);
    wizard_.refreshPageCaptions();

    // 14. Media libraries. A failure is logged; the window still opens,
    // since the download side does not need them and conversions report
    // the missing libraries themselves.
    if (startupHooks_.loadMediaLibraries) {
        QString libError;
        if (!startupHooks_.loadMediaLibraries({folders_.library, folders_.libraryAlt}, &libError))
            appendLog(libError);
    }

    // 15. Clipboard.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &TFormMain::updateClipboardState);
    clipboardConnected_ = true;
    updateClipboardState();

    // 16-17. The first page; the page control has no tabs to hide.
    wizard_.goToFirstPage();
    renderPage(wizard_.page());

    // 18. Script host.
    if (startupHooks_.createScriptHost)
        startupHooks_.createScriptHost();

    // 19. Deferred start-up: runs once the event loop is going.
    QMetaObject::invokeMethod(this, &TFormMain::deferredStartup, Qt::QueuedConnection);
    created_ = true;
    return true;
}

void TFormMain::deferredStartup()
{
    show();
}

void TFormMain::setLogWindow(TFormLog *log)
{
    log_ = log;
    if (!log_)
        return;
    log_->restorePosition = [](QWidget *w) { RestoreFormPosition(QStringLiteral("FormLog"), w); };
    log_->savePosition = [](QWidget *w) { SaveFormPosition(QStringLiteral("FormLog"), w); };
    for (const QString &line : std::as_const(pendingLog_))
        log_->appendLine(line);
    pendingLog_.clear();
}

void TFormMain::createEngineLogger()
{
    try {
        ffLogger_ = std::make_unique<quillor::TFFLogger>();
    } catch (const std::logic_error &) {
        // Another window of this process already owns the engine's log
        // (only tests make two); its lines go to that window.
        return;
    }
    ffLogger_->SetLogLevel(quillor::llError);
    QPointer<TFormMain> self(this);
    ffLogger_->OnLog = [self](const void *, std::uint32_t threadId, quillor::TLogLevel level,
                              const std::string &message) {
        if (self)
            self->appendLog(QStringLiteral("#%1.%2: %3")
                                .arg(threadId)
                                .arg(static_cast<int>(level))
                                .arg(QString::fromStdString(message)));
    };
}

void TFormMain::appendLog(const QString &line)
{
    if (log_)
        log_->appendLine(line);
    else
        pendingLog_ << line;
}

void TFormMain::applySkin()
{
    layout_ = skinLayout(config_.Skin);
    skin_ = pictures_.main;
    setFixedSize(skin_.size());
    setMask(skinShapeMask(skin_));

    imageTopLogo_->setPixmap(pictures_.topLogo);
    imageTopLogo_->resize(pictures_.topLogo.deviceIndependentSize().toSize());
    imageLeftLogo_->setPixmap(pictures_.leftLogo);
    imageLeftLogo_->resize(pictures_.leftLogo.deviceIndependentSize().toSize());
    if (auto *l = findChild<QLabel *>(QStringLiteral("ImageDownloadVideo")))
        l->setPixmap(pictures_.downloadVideo);
    if (auto *l = findChild<QLabel *>(QStringLiteral("ImageConvertVideo")))
        l->setPixmap(pictures_.convertVideo);

    buttonMin_->setPictures(pictures_.minimise[0], pictures_.minimise[1], pictures_.minimise[2]);
    buttonClose_->setPictures(pictures_.close[0], pictures_.close[1], pictures_.close[2]);
    buttonMin_->move(layout_.minimise);
    buttonClose_->move(layout_.close);
    buttonMin_->setVisible(layout_.showMinClose);
    buttonClose_->setVisible(layout_.showMinClose);

    const std::pair<SkinButton *, QPoint> bottom[] = {{buttonHelp_, layout_.help},
                                                      {buttonLog_, layout_.log},
                                                      {buttonBack_, layout_.back},
                                                      {buttonNext_, layout_.next},
                                                      {buttonExit_, layout_.exit}};
    for (auto [button, at] : bottom) {
        button->setPictures(pictures_.bottom[0], pictures_.bottom[1], pictures_.bottom[2],
                            pictures_.bottom[3]);
        button->move(at);
        button->setTransparent(layout_.transparentButtons);
        button->setCaptionColour(layout_.transparentButtons ? QColor(Qt::white) : QColor(Qt::black));
    }

    pageControl_->move(layout_.pageArea);
    labelTitle_->move(layout_.titleLine);
    labelTitle_->resize(qMax(100, width() - layout_.titleLine.x() - 20), labelTitle_->height());
    QFont titleFont = labelTitle_->font();
    titleFont.setBold(layout_.boldTitle);
    labelTitle_->setFont(titleFont);
    QPalette titlePalette = labelTitle_->palette();
    titlePalette.setColor(QPalette::WindowText, layout_.titleColour);
    labelTitle_->setPalette(titlePalette);

    for (QLabel *l : {labelVersion_, static_cast<QLabel *>(labelMoreTools_)}) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, layout_.labelColour);
        l->setPalette(p);
    }
    if (layout_.versionLabelTop >= 0) {
        labelVersion_->move(labelVersion_->x(), layout_.versionLabelTop);
        labelVersion_->raise();
    }
    if (layout_.moreToolsLabelTop >= 0) {
        labelMoreTools_->move(labelMoreTools_->x(), layout_.moreToolsLabelTop);
        labelMoreTools_->raise();
    }
}

void TFormMain::renderPage(WizardPage page)
{
    if (QWidget *w = pageWidget(page))
        pageControl_->setCurrentWidget(w);
}

void TFormMain::renderCaptions(const PageCaptions &c)
{
    labelTitle_->setText(c.title);
    actionBack_->setText(c.back);
    actionNext_->setText(c.next);
    actionExit_->setText(c.exit);
    actionBack_->setEnabled(c.backEnabled);
    actionNext_->setEnabled(c.nextEnabled);
    actionExit_->setEnabled(c.exitEnabled);
    const std::pair<SkinButton *, QAction *> buttons[] = {
        {buttonBack_, actionBack_}, {buttonNext_, actionNext_}, {buttonExit_, actionExit_}};
    for (auto [button, action] : buttons) {
        button->setText(action->text());
        button->setEnabled(action->isEnabled());
    }
}

void TFormMain::renderDownloadSummary(int total, int succeeded, int failed)
{
    const std::pair<const char *, int> values[] = {
        {"LabelURLTotalFiles", total}, {"LabelURLSucedded", succeeded}, {"LabelURLFailed", failed}};
    for (auto [name, value] : values)
        if (auto *l = findChild<QLabel *>(QString::fromLatin1(name)))
            l->setText(QString::number(value));
}

QWidget *TFormMain::pageWidget(WizardPage page) const
{
    return pages_[static_cast<int>(page)];
}

void TFormMain::updateClipboardState()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    const bool hasText = data && data->hasText();
    const bool changed = hasText != clipboardHasText_;
    clipboardHasText_ = hasText;
    if (changed)
        emit clipboardTextChanged(hasText);
}

void TFormMain::installDefaultHooks()
{
    WizardHooks &h = wizard_.hooks();
    h.ask = [this](const QString &q) { return MessageSeam::ask(q, this); };
    h.notify = [this](const QString &n) { MessageSeam::notify(n, this); };
    h.downloadChecked = [this] { return radioDownload_->isChecked(); };

    h.inputRowCount = [this] { return inputGrid_->rowCount(); };
    h.clearInputList = [this] { inputGrid_->setRowCount(0); };
    h.showOutputPage = [this] { editOutputDir_->setText(settings_.OutputFileDir); };
    h.commitOutputPage = [this] {
        settings_.OutputFileDir = EnsureTrailingBackslash(editOutputDir_->text());
    };
    h.outputFileDir = [this] { return settings_.OutputFileDir; };
    h.prepareProgressPage = [this] {
        checkPlaySound_->setChecked(settings_.PlayASoundWhenFinished);
        checkShutdown_->setChecked(settings_.ShutDownWhenFinished);
    };
    h.clearConversionTasks = [this] { listConverting_->clear(); };
    // Until the conversion run is wired in there is nothing to stop: a
    // cancelled run ends at once, as a finished run would.
    h.stopEncoder = [this] {
        QMetaObject::invokeMethod(
            this, [this] { wizard_.showConversionSummary(); }, Qt::QueuedConnection);
    };

    h.linkCount = [this] { return listInputURL_->topLevelItemCount(); };
    h.clearLinkList = [this] { listInputURL_->clear(); };
    h.showLinkPage = [this] {
        editURLOutput_->setText(settings_.OutputURLDir);
        checkQuality_->setChecked(settings_.PreferYouTubeQuality);
    };
    h.commitLinkPage = [this] {
        settings_.OutputURLDir = EnsureTrailingBackslash(editURLOutput_->text());
        settings_.PreferYouTubeQuality = checkQuality_->isChecked();
    };
    h.outputURLDir = [this] { return settings_.OutputURLDir; };
    h.startDownload = [this] {
        listURLDownload_->clear();
        for (int i = 0; i < listInputURL_->topLevelItemCount(); ++i)
            listURLDownload_->addTopLevelItem(
                new QTreeWidgetItem(QStringList{listInputURL_->topLevelItem(i)->text(0)}));
        downloadRunTotal_ = listInputURL_->topLevelItemCount();
    };
    h.clearDownloadList = [this] { listURLDownload_->clear(); };
    h.resetDownloadStatus = [this] {
        for (const char *name : {"LabelURLCurrentFile", "LabelURLStatus", "LabelSpeed",
                                 "LabelURLElapsedTime", "LabelURLTimeLeft", "LabelQuality"})
            if (auto *l = findChild<QLabel *>(QString::fromLatin1(name)))
                l->setText(QStringLiteral("..."));
        progressDownload_->setValue(0);
        if (auto *l = findChild<QLabel *>(QStringLiteral("LabelProgressBarDownload")))
            l->setText(QStringLiteral("0%"));
    };
    // Until the download run is wired in, aborting ends the run at once
    // with nothing saved.
    h.abortTransfers = [this] {
        if (wizard_.page() != WizardPage::Step6)
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (wizard_.page() == WizardPage::Step6)
                    wizard_.showDownloadSummary(downloadRunTotal_, 0);
            },
            Qt::QueuedConnection);
    };
    h.downloadedFiles = [] { return downloadedFilesList(); };
    h.clearDownloadedFiles = [] { downloadedFilesList().clear(); };
    h.addFilesToInput = [this](const QStringList &paths) {
        for (const QString &path : paths) {
            const int row = inputGrid_->rowCount();
            inputGrid_->insertRow(row);
            inputGrid_->setItem(row, 0, new QTableWidgetItem(QFileInfo(path).fileName()));
            inputGrid_->setItem(row, 1, new QTableWidgetItem(path));
        }
    };
}

void TFormMain::actionHelpExecute()
{
    helpMenu_->popup(helpMenuPosition());
}

QPoint TFormMain::helpMenuPosition() const
{
    const QPoint local(buttonHelp_->x() + layout_.helpMenuOffset,
                       buttonHelp_->y() + buttonHelp_->height());
    return mapToGlobal(local);
}

void TFormMain::actionLogExecute()
{
    if (!log_)
        return;
    log_->show();
    log_->raise();
}

void TFormMain::actionAboutExecute()
{
    TFormAbout::showAbout(config_, pictures_.leftLogo, this);
}

void TFormMain::buttonSelectDirClick()
{
    QString folder = settings_.OutputFileDir;
    if (!BrowseForFolder(this, folder, QStringLiteral("Please select a folder")))
        return;
    editOutputDir_->setText(EnsureTrailingBackslash(folder));
    settings_.OutputFileDir = editOutputDir_->text();
}

void TFormMain::onFirstPagePaint(std::function<void()> callback)
{
    firstPaint_ = std::move(callback);
    for (QWidget *page : pages_)
        page->installEventFilter(this);
}

void TFormMain::paintEvent(QPaintEvent *)
{
    if (skin_.isNull())
        return;
    QPainter p(this);
    p.drawImage(0, 0, skin_);
}

void TFormMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // These two labels are kept for their texts but never shown.
    labelVersion_->hide();
    labelMoreTools_->hide();
    if (startupHooks_.updateInputActions)
        startupHooks_.updateInputActions();
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    formCloseQuery();
    formClose();
    event->accept();
    if (log_)
        log_->hide();
}

void TFormMain::formCloseQuery()
{
    if (startupHooks_.shutdownEncoder)
        startupHooks_.shutdownEncoder();
    if (wizard_.hooks().abortTransfers)
        wizard_.hooks().abortTransfers();
    if (clipboardConnected_) {
        disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
        clipboardConnected_ = false;
    }
}

void TFormMain::formClose()
{
    if (!created_)
        return; // nothing was read, so nothing is written back
    // Each save reports its own failure; the saves after a failed one are
    // skipped and the window closes all the same.
    if (!SaveUserSettings(settings_, settingsFile_))
        return;
    if (!SaveFormPosition(QStringLiteral("Form"), this))
        return;
    if (log_)
        SaveFormPosition(QStringLiteral("FormLog"), log_);
}

bool TFormMain::beginDrag(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    if (QWindow *w = windowHandle(); w && w->startSystemMove())
        return true; // the window manager moves it
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    return true;
}

void TFormMain::mousePressEvent(QMouseEvent *event)
{
    // Presses that reach the window from inside the page area are not on
    // the skin and do not move it.
    const bool onPage = pageControl_->geometry().contains(event->position().toPoint());
    if (onPage || !beginDrag(event))
        QWidget::mousePressEvent(event);
}

void TFormMain::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - dragOffset_);
    else
        QWidget::mouseMoveEvent(event);
}

void TFormMain::mouseReleaseEvent(QMouseEvent *event)
{
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

void TFormMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (!paths.isEmpty() && startupHooks_.filesDropped)
        startupHooks_.filesDropped(paths);
    event->acceptProposedAction();
}

bool TFormMain::eventFilter(QObject *watched, QEvent *event)
{
    // The logos are drag handles of the window, like the skin around them.
    if (watched == imageTopLogo_ || watched == imageLeftLogo_) {
        auto *me = static_cast<QMouseEvent *>(event);
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (beginDrag(me))
                return true;
            break;
        case QEvent::MouseMove:
            if (dragging_) {
                mouseMoveEvent(me);
                return true;
            }
            break;
        case QEvent::MouseButtonRelease:
            dragging_ = false;
            break;
        default:
            break;
        }
    }
    if (firstPaint_ && event->type() == QEvent::Paint && watched == pageWidget(wizard_.page())) {
        auto callback = std::move(firstPaint_);
        firstPaint_ = nullptr;
        // After this paint has finished.
        QMetaObject::invokeMethod(this, callback, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quillor
