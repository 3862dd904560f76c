// The widgets of the main window: the chrome around the pages, the eight
// pages with the controls that later work fills, and the actions.
#include "FormMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTreeWidget>

#include "FormLog.h"
#include "SkinButton.h"
#include "SkinLinkLabel.h"
#include "UtilFuncs.h"

namespace quillor {

namespace {
QPushButton *pushButton(QWidget *parent, const QString &name, const QString &text, const QRect &g)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(g);
    return b;
}

QTreeWidget *listView(QWidget *parent, const QString &name, const QStringList &columns,
                      const QRect &g)
{
    auto *v = new QTreeWidget(parent);
    v->setObjectName(name);
    v->setGeometry(g);
    v->setRootIsDecorated(false);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setHeaderLabels(columns);
    return v;
}
} // namespace

QLabel *TFormMain::label(QWidget *parent, const QString &name, const QString &text,
                         const QRect &geometry)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    return l;
}

void TFormMain::createChrome()
{
    imageTopLogo_ = new QLabel(this);
    imageTopLogo_->setObjectName(QStringLiteral("ImageTopLogo"));
    imageTopLogo_->move(16, 6);
    imageTopLogo_->installEventFilter(this);
    imageLeftLogo_ = new QLabel(this);
    imageLeftLogo_->setObjectName(QStringLiteral("ImageLeftLogo"));
    imageLeftLogo_->move(16, 80);
    imageLeftLogo_->installEventFilter(this);

    labelTitle_ = label(this, QStringLiteral("LabelTitle"), QString(), QRect(24, 43, 720, 22));
    QFont bold = labelTitle_->font();
    bold.setBold(true);
    labelTitle_->setFont(bold);

    labelVersion_ = label(this, QStringLiteral("LabelVersion"), QString(), QRect(24, 470, 170, 16));
    labelMoreTools_ = new SkinLinkLabel(this);
    labelMoreTools_->setObjectName(QStringLiteral("LabelMoreTools"));
    labelMoreTools_->setText(QStringLiteral("more free tools..."));
    labelMoreTools_->setGeometry(24, 486, 170, 16);
    connect(labelMoreTools_, &SkinLinkLabel::clicked, this,
            [this] { OpenWithShell(config_.HelpMoreFreeToolsLink); });

    pageControl_ = new QStackedWidget(this);
    pageControl_->setObjectName(QStringLiteral("PageControlMain"));
    pageControl_->setGeometry(203, 74, 560, 430);

    auto button = [this](const QString &name, const QString &text, QPoint at) {
        auto *b = new SkinButton(this);
        b->setObjectName(name);
        b->setText(text);
        b->setGeometry(QRect(at, QSize(90, 26)));
        return b;
    };
    buttonMin_ = button(QStringLiteral("ButtonMin"), QString(), {696, 4});
    buttonMin_->resize(24, 20);
    buttonClose_ = button(QStringLiteral("ButtonClose"), QString(), {728, 4});
    buttonClose_->resize(24, 20);
    buttonHelp_ = button(QStringLiteral("ButtonHelp"), QStringLiteral("Help"), {40, 510});
    buttonLog_ = button(QStringLiteral("ButtonLog"), QStringLiteral("Log"), {138, 510});
    buttonBack_ = button(QStringLiteral("ButtonBack"), QStringLiteral("Back"), {426, 510});
    buttonNext_ = button(QStringLiteral("ButtonNext"), QStringLiteral("Next"), {522, 510});
    buttonExit_ = button(QStringLiteral("ButtonExit"), QStringLiteral("Exit"), {672, 510});

    connect(buttonMin_, &SkinButton::clicked, this, &QWidget::showMinimized);
    // The close button closes without a question.
    connect(buttonClose_, &SkinButton::clicked, this, &QWidget::close);
    connect(buttonHelp_, &SkinButton::clicked, this, &TFormMain::actionHelpExecute);
    connect(buttonLog_, &SkinButton::clicked, this, &TFormMain::actionLogExecute);
}

void TFormMain::createPages()
{
    for (int i = 0; i < kWizardPageCount; ++i) {
        auto *page = new QWidget;
        page->setObjectName(wizardPageName(static_cast<WizardPage>(i)));
        pages_[i] = page;
        pageControl_->addWidget(page);
    }

    // Mode page.
    QWidget *mode = pages_[static_cast<int>(WizardPage::Mode)];
    radioDownload_ = new QRadioButton(QStringLiteral("Download video from YouTube"), mode);
    radioDownload_->setObjectName(QStringLiteral("RadioButtonDownloadVideo"));
    radioDownload_->setGeometry(40, 40, 480, 24);
    radioDownload_->setChecked(true);
    auto *imageDownload = new SkinLinkLabel(mode);
    imageDownload->setObjectName(QStringLiteral("ImageDownloadVideo"));
    imageDownload->setGeometry(60, 70, 440, 120);
    radioConvert_ = new QRadioButton(
        QStringLiteral("Convert audio/video (previously downloaded) from file"), mode);
    radioConvert_->setObjectName(QStringLiteral("RadioButtonConvertVideo"));
    radioConvert_->setGeometry(40, 220, 480, 24);
    auto *imageConvert = new SkinLinkLabel(mode);
    imageConvert->setObjectName(QStringLiteral("ImageConvertVideo"));
    imageConvert->setGeometry(60, 250, 440, 120);
    connect(imageDownload, &SkinLinkLabel::clicked, this, [this] {
        radioDownload_->setChecked(true);
        radioDownload_->setFocus();
    });
    connect(imageConvert, &SkinLinkLabel::clicked, this, [this] {
        radioConvert_->setChecked(true);
        radioConvert_->setFocus();
    });

    // Input files.
    QWidget *step1 = pages_[static_cast<int>(WizardPage::Step1)];
    inputGrid_ = new QTableWidget(0, 2, step1);
    inputGrid_->setObjectName(QStringLiteral("NextGrid"));
    inputGrid_->setGeometry(0, 0, 560, 380);
    inputGrid_->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("Path")});
    inputGrid_->horizontalHeader()->setStretchLastSection(true);
    inputGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    inputGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    int x = 0;
    for (auto [name, text] : {std::pair{"ButtonAdd", "Add..."}, std::pair{"ButtonDelete", "Remove"},
                              std::pair{"ButtonClear", "Clear"}, std::pair{"ButtonMoveUp", "Move Up"},
                              std::pair{"ButtonMoveDown", "Move Down"},
                              std::pair{"ButtonPlay", "Play"}}) {
        pushButton(step1, QString::fromLatin1(name), QString::fromLatin1(text),
                   QRect(x, 392, 86, 28));
        x += 94;
    }

    // Output folder and format.
    QWidget *step2 = pages_[static_cast<int>(WizardPage::Step2)];
    x = 0;
    for (auto [name, text] : {std::pair{"ButtonToFormatVideo", "Video"},
                              std::pair{"ButtonToFormatDevice", "Device"},
                              std::pair{"ButtonToFormatAudio", "Audio"}}) {
        pushButton(step2, QString::fromLatin1(name), QString::fromLatin1(text),
                   QRect(x, 0, 120, 30));
        x += 126;
    }
    auto *formats = new QStackedWidget(step2);
    formats->setObjectName(QStringLiteral("RzPageControlToFormat"));
    formats->setGeometry(0, 36, 560, 300);
    for (const char *name : {"TabSheetToFormatVideo", "TabSheetToFormatDevice", "TabSheetToFormatAudio"}) {
        auto *sheet = new QWidget;
        sheet->setObjectName(QString::fromLatin1(name));
        formats->addWidget(sheet);
    }
    label(step2, QStringLiteral("LabelOutputDir"), QStringLiteral("Output folder:"),
          QRect(0, 356, 100, 24));
    editOutputDir_ = new QLineEdit(step2);
    editOutputDir_->setObjectName(QStringLiteral("EditOutputDir"));
    editOutputDir_->setGeometry(100, 356, 360, 26);
    auto *select = pushButton(step2, QStringLiteral("ButtonSelectDir"), QStringLiteral("Select..."),
                              QRect(470, 355, 90, 28));
    connect(select, &QPushButton::clicked, this, &TFormMain::buttonSelectDirClick);

    // Conversion progress.
    QWidget *step3 = pages_[static_cast<int>(WizardPage::Step3)];
    listConverting_ = listView(step3, QStringLiteral("ListViewConverting"),
                               {QStringLiteral("File"), QStringLiteral("Status")}, QRect(0, 0, 560, 200));
    label(step3, QStringLiteral("LabelCurrentFileTitle"), QStringLiteral("Current file:"),
          QRect(0, 210, 150, 20));
    label(step3, QStringLiteral("LabelCurrentFile"), QStringLiteral("..."), QRect(160, 210, 400, 20));
    label(step3, QStringLiteral("LabelEstimatedTitle"), QStringLiteral("Estimated overall time:"),
          QRect(0, 232, 150, 20));
    label(step3, QStringLiteral("LabelEstimated"), QStringLiteral("..."), QRect(160, 232, 400, 20));
    label(step3, QStringLiteral("LabelElapsedTitle"), QStringLiteral("Elapsed time:"),
          QRect(0, 254, 150, 20));
    label(step3, QStringLiteral("LabelElapsed"), QStringLiteral("..."), QRect(160, 254, 400, 20));
    label(step3, QStringLiteral("LabelTimeLeftTitle"), QStringLiteral("Time left:"), QRect(0, 276, 150, 20));
    label(step3, QStringLiteral("LabelTimeLeft"), QStringLiteral("..."), QRect(160, 276, 400, 20));
    label(step3, QStringLiteral("LabelProgressTitle"), QStringLiteral("Overall Progress:"),
          QRect(0, 300, 150, 20));
    auto *progress = new QProgressBar(step3);
    progress->setObjectName(QStringLiteral("ProgressBar"));
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->setTextVisible(false);
    progress->setGeometry(160, 300, 340, 20);
    label(step3, QStringLiteral("LabelProgress"), QStringLiteral("0%"), QRect(508, 300, 52, 20));
    checkPlaySound_ = new QCheckBox(QStringLiteral("&Play a sound when conversion is finished"), step3);
    checkPlaySound_->setObjectName(QStringLiteral("CheckBoxPlayASound"));
    checkPlaySound_->setGeometry(0, 336, 420, 22);
    checkShutdown_ = new QCheckBox(QStringLiteral("&Shut down the computer after all tasks are finished"),
                                   step3);
    checkShutdown_->setObjectName(QStringLiteral("CheckBoxShutdown"));
    checkShutdown_->setGeometry(0, 360, 420, 22);
    auto *preview = new QCheckBox(QStringLiteral("Preview"), step3);
    preview->setObjectName(QStringLiteral("CheckBoxPreview"));
    preview->setGeometry(440, 336, 120, 22);
    connect(checkPlaySound_, &QCheckBox::clicked, this,
            [this](bool on) { settings_.PlayASoundWhenFinished = on; });
    connect(checkShutdown_, &QCheckBox::clicked, this,
            [this](bool on) { settings_.ShutDownWhenFinished = on; });

    // Conversion summary.
    QWidget *step4 = pages_[static_cast<int>(WizardPage::Step4)];
    label(step4, QStringLiteral("LabelFinishTitle1"), QString(), QRect(0, 0, 560, 22));
    label(step4, QStringLiteral("LabelFinishTitle2"), QString(), QRect(0, 24, 560, 22));
    label(step4, QStringLiteral("LabelFinishTotalFilesTitle"), QStringLiteral("Total files:"),
          QRect(0, 60, 120, 20));
    label(step4, QStringLiteral("LabelFinishTotalFiles"), QStringLiteral("0"), QRect(130, 60, 100, 20));
    label(step4, QStringLiteral("LabelFinishSuccessedTitle"), QStringLiteral("Successed:"),
          QRect(0, 82, 120, 20));
    label(step4, QStringLiteral("LabelFinishSuccessed"), QStringLiteral("0"), QRect(130, 82, 100, 20));
    label(step4, QStringLiteral("LabelFinishFailedTitle"), QStringLiteral("Failed:"), QRect(0, 104, 120, 20));
    label(step4, QStringLiteral("LabelFinishFailed"), QStringLiteral("0"), QRect(130, 104, 100, 20));
    auto *errors = new QPlainTextEdit(step4);
    errors->setObjectName(QStringLiteral("MemoErrorLog"));
    errors->setReadOnly(true);
    errors->setGeometry(0, 132, 560, 230);
    auto *openFolder = new SkinLinkLabel(step4);
    openFolder->setObjectName(QStringLiteral("LabelOpenFolder"));
    openFolder->setText(QStringLiteral("Open output folder"));
    openFolder->setGeometry(0, 372, 200, 20);

    // Video links and download folder.
    QWidget *step5 = pages_[static_cast<int>(WizardPage::Step5)];
    listInputURL_ = listView(step5, QStringLiteral("ListViewInputURL"), {QStringLiteral("Link")},
                             QRect(0, 0, 560, 280));
    x = 0;
    for (auto [name, text] : {std::pair{"ButtonURLPaste", "Paste"}, std::pair{"ButtonURLRemove", "Remove"},
                              std::pair{"ButtonURLEmpty", "Empty"}}) {
        pushButton(step5, QString::fromLatin1(name), QString::fromLatin1(text), QRect(x, 288, 90, 28));
        x += 98;
    }
    checkQuality_ = new QCheckBox(QStringLiteral("Prefer quality"), step5);
    checkQuality_->setObjectName(QStringLiteral("CheckBoxYouTubeQuality"));
    checkQuality_->setGeometry(0, 324, 200, 22);
    pushButton(step5, QStringLiteral("ButtonYouTubeQualityConfig"), QStringLiteral("Quality..."),
               QRect(210, 322, 90, 26));
    label(step5, QStringLiteral("LabelYouTubeQuality"), QString(), QRect(310, 324, 250, 22));
    label(step5, QStringLiteral("LabelURLOutput"), QStringLiteral("Output folder:"), QRect(0, 358, 100, 24));
    editURLOutput_ = new QLineEdit(step5);
    editURLOutput_->setObjectName(QStringLiteral("EditURLOutput"));
    editURLOutput_->setGeometry(100, 358, 360, 26);
    pushButton(step5, QStringLiteral("ButtonURLSelect"), QStringLiteral("Select..."),
               QRect(470, 357, 90, 28));

    // Download progress.
    QWidget *step6 = pages_[static_cast<int>(WizardPage::Step6)];
    listURLDownload_ = listView(step6, QStringLiteral("ListViewURLDownload"),
                                {QStringLiteral("Link"), QStringLiteral("Status")}, QRect(0, 0, 560, 220));
    int y = 228;
    for (auto [name, caption] : {std::pair{"LabelURLCurrentFile", "Current file:"},
                                 std::pair{"LabelURLStatus", "Status:"}, std::pair{"LabelSpeed", "Speed:"},
                                 std::pair{"LabelURLElapsedTime", "Elapsed time:"},
                                 std::pair{"LabelURLTimeLeft", "Time left:"},
                                 std::pair{"LabelQuality", "Quality:"}}) {
        label(step6, QString::fromLatin1(name) + QStringLiteral("Title"), QString::fromLatin1(caption),
              QRect(0, y, 120, 20));
        label(step6, QString::fromLatin1(name), QStringLiteral("..."), QRect(130, y, 430, 20));
        y += 22;
    }
    progressDownload_ = new QProgressBar(step6);
    progressDownload_->setObjectName(QStringLiteral("ProgressBarDownload"));
    progressDownload_->setRange(0, 100);
    progressDownload_->setTextVisible(false);
    progressDownload_->setGeometry(0, y + 6, 490, 20);
    label(step6, QStringLiteral("LabelProgressBarDownload"), QStringLiteral("0%"),
          QRect(500, y + 6, 60, 20));

    // Download summary.
    QWidget *step7 = pages_[static_cast<int>(WizardPage::Step7)];
    label(step7, QStringLiteral("LabelFinishedDownloading1"), QString(), QRect(0, 0, 560, 22));
    label(step7, QStringLiteral("LabelFinishedDownloading2"), QString(), QRect(0, 24, 560, 22));
    y = 60;
    for (auto [name, caption] : {std::pair{"LabelURLTotalFiles", "Total files:"},
                                 std::pair{"LabelURLSucedded", "Successed:"},
                                 std::pair{"LabelURLFailed", "Failed:"}}) {
        label(step7, QString::fromLatin1(name) + QStringLiteral("Title"), QString::fromLatin1(caption),
              QRect(0, y, 120, 20));
        label(step7, QString::fromLatin1(name), QStringLiteral("0"), QRect(130, y, 100, 20));
        y += 22;
    }
    auto *convertDownloaded = pushButton(step7, QStringLiteral("ButtonConvertDownloaded"),
                                         QStringLiteral("Convert the downloaded file(s) now! "),
                                         QRect(0, 140, 300, 32));
    connect(convertDownloaded, &QPushButton::clicked, &wizard_, &WizardController::convertDownloaded);
    auto *openURLFolder = new SkinLinkLabel(step7);
    openURLFolder->setObjectName(QStringLiteral("LabelURLOpenFolder"));
    openURLFolder->setText(QStringLiteral("Open download folder"));
    openURLFolder->setGeometry(0, 184, 200, 20);
}

void TFormMain::createActions()
{
    actionBack_ = new QAction(QStringLiteral("Back"), this);
    actionBack_->setObjectName(QStringLiteral("ActionBack"));
    actionBack_->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::ALT | Qt::Key_B)});
    actionNext_ = new QAction(QStringLiteral("Next"), this);
    actionNext_->setObjectName(QStringLiteral("ActionNext"));
    actionNext_->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Right), QKeySequence(Qt::ALT | Qt::Key_N)});
    actionExit_ = new QAction(QStringLiteral("Exit"), this);
    actionExit_->setObjectName(QStringLiteral("ActionExit"));
    actionExit_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    for (QAction *a : {actionBack_, actionNext_, actionExit_}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
    connect(actionBack_, &QAction::triggered, &wizard_, &WizardController::back);
    connect(actionNext_, &QAction::triggered, &wizard_, &WizardController::next);
    connect(actionExit_, &QAction::triggered, &wizard_, &WizardController::exit);
    connect(buttonBack_, &SkinButton::clicked, actionBack_, &QAction::trigger);
    connect(buttonNext_, &SkinButton::clicked, actionNext_, &QAction::trigger);
    connect(buttonExit_, &SkinButton::clicked, actionExit_, &QAction::trigger);

    helpMenu_ = new QMenu(this);
    helpMenu_->setObjectName(QStringLiteral("PopupMenuHelp"));
    auto entry = [this](const QString &name, const QString &text, QString ProgramConfig::*link) {
        auto *a = new QAction(text, this);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, link] { OpenWithShell(config_.*link); });
        helpMenu_->addAction(a);
        return a;
    };
    QAction *content = entry(QStringLiteral("ActionHelpContent"), QStringLiteral("Help Content"),
                             &ProgramConfig::HelpContectLink);
    content->setShortcut(QKeySequence(Qt::Key_F1));
    content->setShortcutContext(Qt::WindowShortcut);
    addAction(content); // F1 anywhere in the window
    entry(QStringLiteral("ActionHowTosTutorialVideos"), QStringLiteral("How Tos && Tutorial Videos..."),
          &ProgramConfig::HelpHowTosTutorialVideosLink);
    helpMenu_->addSeparator();
    entry(QStringLiteral("ActionHomePage"), QStringLiteral("Home Page..."), &ProgramConfig::HelpHomePageLink);
    entry(QStringLiteral("ActionMoreFreeTools"), QStringLiteral("More Free Tools..."),
          &ProgramConfig::HelpMoreFreeToolsLink);
    helpMenu_->addSeparator();
    entry(QStringLiteral("ActionCheckforUpdates"), QStringLiteral("Check for Updates..."),
          &ProgramConfig::HelpCheckForUpdatesLink);
    entry(QStringLiteral("ActionContactTechnicalSupport"), QStringLiteral("Contact Technical Support..."),
          &ProgramConfig::HelpSupportLink);
    helpMenu_->addSeparator();
    auto *about = new QAction(QStringLiteral("About"), this);
    about->setObjectName(QStringLiteral("ActionAbout"));
    connect(about, &QAction::triggered, this, &TFormMain::actionAboutExecute);
    helpMenu_->addAction(about);
}

} // namespace quillor
