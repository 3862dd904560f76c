#pragma once
// The main window: a borderless, skinned wizard window.
//
// Construction builds the widgets; formCreate() runs the start-up sequence
// (configuration, chrome, settings, libraries, clipboard, first page, script
// host) and reports a failure instead of throwing, so the program entry can
// show it and exit. The page sequence itself lives in WizardController; the
// window renders it and supplies default page hooks until the convert and
// download flows take them over.

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

#include "FFLog.h"
#include "FormLog.h"
#include "ProgramConfig.h"
#include "SkinLayout.h"
#include "SkinPictures.h"
#include "UserSettings.h"
#include "WizardController.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QRadioButton;
class QStackedWidget;
class QTableWidget;
class QTreeWidget;

namespace quillor {

class SkinButton;
class SkinLinkLabel;

// Work of the start-up sequence that belongs to other parts of the program.
// Each is optional; an empty hook is skipped.
struct StartupHooks {
    // Lays out the format buttons and fills every format's preset list.
    std::function<void()> fillPresetLists;
    // Loads the media libraries from the given folders in order; false and
    // error set when none could be loaded.
    std::function<bool(const QStringList &folders, QString *error)> loadMediaLibraries;
    // Creates the script host with the objects "Form" and "Host".
    std::function<void()> createScriptHost;
    // The input list's actions' update, run once when the window shows.
    std::function<void()> updateInputActions;
    // Files dropped on the window.
    std::function<void(const QStringList &paths)> filesDropped;
    // Close: detach the encoder's handlers and stop it (waiting).
    std::function<void()> shutdownEncoder;
};

class TFormMain : public QWidget {
    Q_OBJECT
public:
    // `programDir` is the folder the configuration, the pictures and the
    // libraries are looked up in; empty means the running program's folder.
    explicit TFormMain(const QString &programDir = QString(), QWidget *parent = nullptr);
    ~TFormMain() override;

    // The start-up sequence. False when it cannot go on; startupError()
    // then names the file and the problem.
    bool formCreate();
    QString startupError() const { return startupError_; }
    bool firstStart() const { return firstStart_; }

    // The log window, which start-up lines and later reports go to; lines
    // written before it is attached are kept and handed over.
    void setLogWindow(TFormLog *log);
    TFormLog *logWindow() const { return log_; }
    void appendLog(const QString &line);

    WizardController &wizard() { return wizard_; }
    StartupHooks &startupHooks() { return startupHooks_; }
    const ProgramConfig &config() const { return config_; }
    const ProgramFolders &folders() const { return folders_; }
    UserSettings &settings() { return settings_; }
    QString settingsFile() const { return settingsFile_; }
    bool clipboardHasText() const { return clipboardHasText_; }
    const SkinPictures &pictures() const { return pictures_; }

    // Chrome and page actions.
    void actionHelpExecute();
    void actionLogExecute();
    void actionAboutExecute();
    void buttonSelectDirClick();

    QMenu *helpMenu() const { return helpMenu_; }
    QPoint helpMenuPosition() const;

    // Runs a callback at the first paint of the first page (start-up timing).
    void onFirstPagePaint(std::function<void()> callback);

signals:
    void clipboardTextChanged(bool hasText);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createChrome();
    void createPages();
    void createActions();
    void installDefaultHooks();
    void createEngineLogger();
    void applySkin();
    void renderPage(WizardPage page);
    void renderCaptions(const PageCaptions &captions);
    void renderDownloadSummary(int total, int succeeded, int failed);
    void deferredStartup();
    void formCloseQuery();
    void formClose();
    void updateClipboardState();
    bool beginDrag(QMouseEvent *event);
    QWidget *pageWidget(WizardPage page) const;
    QLabel *label(QWidget *parent, const QString &name, const QString &text, const QRect &geometry);

    QString programDir_;
    QString startupError_;
    bool firstStart_ = false;
    bool created_ = false;
    ProgramConfig config_;
    ProgramFolders folders_;
    UserSettings settings_;
    QString settingsFile_;
    SkinPictures pictures_;
    SkinLayout layout_;
    QImage skin_;
    WizardController wizard_;
    StartupHooks startupHooks_;
    QPointer<TFormLog> log_;
    // The engine's log ends here and becomes lines of the log window.
    std::unique_ptr<quillor::TFFLogger> ffLogger_;
    QStringList pendingLog_;
    bool clipboardHasText_ = false;
    bool clipboardConnected_ = false;
    int downloadRunTotal_ = 0;
    std::function<void()> firstPaint_;

    // Dragging the borderless window.
    bool dragging_ = false;
    QPoint dragOffset_;

    // Chrome.
    QLabel *imageTopLogo_ = nullptr;
    QLabel *imageLeftLogo_ = nullptr;
    QLabel *labelTitle_ = nullptr;
    QLabel *labelVersion_ = nullptr;
    SkinLinkLabel *labelMoreTools_ = nullptr;
    SkinButton *buttonMin_ = nullptr;
    SkinButton *buttonClose_ = nullptr;
    SkinButton *buttonHelp_ = nullptr;
    SkinButton *buttonLog_ = nullptr;
    SkinButton *buttonBack_ = nullptr;
    SkinButton *buttonNext_ = nullptr;
    SkinButton *buttonExit_ = nullptr;
    QStackedWidget *pageControl_ = nullptr;
    QWidget *pages_[kWizardPageCount] = {};
    QAction *actionBack_ = nullptr;
    QAction *actionNext_ = nullptr;
    QAction *actionExit_ = nullptr;
    QMenu *helpMenu_ = nullptr;

    // Page contents the wizard itself touches.
    QRadioButton *radioDownload_ = nullptr;
    QRadioButton *radioConvert_ = nullptr;
    QTableWidget *inputGrid_ = nullptr;
    QLineEdit *editOutputDir_ = nullptr;
    QTreeWidget *listConverting_ = nullptr;
    QCheckBox *checkPlaySound_ = nullptr;
    QCheckBox *checkShutdown_ = nullptr;
    QTreeWidget *listInputURL_ = nullptr;
    QLineEdit *editURLOutput_ = nullptr;
    QCheckBox *checkQuality_ = nullptr;
    QTreeWidget *listURLDownload_ = nullptr;
    QProgressBar *progressDownload_ = nullptr;
};

} // namespace quillor
