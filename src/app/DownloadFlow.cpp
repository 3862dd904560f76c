#include "DownloadFlow.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "DownloadShared.h"
#include "FormMain.h"
#include "FormYouTubeHQ.h"
#include "Globals.h"
#include "MessageSeam.h"
#include "SkinLinkLabel.h"
#include "UtilFuncs.h"

namespace quillor {

DownloadFlow::DownloadFlow(TFormMain &window)
    : QObject(&window), window_(window), run_(std::make_unique<TDownloadRun>(ShellDownloadFileNaming()))
{
    findWidgets();
    createActions();
    installHooks();
    connectRun();

    links_.OnRefused = [this](const QString &message) {
        MessageRequest request;
        request.type = MessageType::Information;
        request.caption = applicationTitle();
        request.text = message;
        request.buttons = {MessageButton::OK, MessageButton::Cancel};
        request.parent = &window_;
        return MessageSeam::show(request) != MessageButton::Cancel;
    };
    connect(&window_, &TFormMain::clipboardTextChanged, this, &DownloadFlow::ActionListURLUpdate);
    ActionListURLUpdate();
}

DownloadFlow::~DownloadFlow() = default;

void DownloadFlow::findWidgets()
{
    listInputURL_ = window_.findChild<QTreeWidget *>(QStringLiteral("ListViewInputURL"));
    listURLDownload_ = window_.findChild<QTreeWidget *>(QStringLiteral("ListViewURLDownload"));
    editURLOutput_ = window_.findChild<QLineEdit *>(QStringLiteral("EditURLOutput"));
    checkQuality_ = window_.findChild<QCheckBox *>(QStringLiteral("CheckBoxYouTubeQuality"));
    buttonQualityConfig_ = window_.findChild<QPushButton *>(QStringLiteral("ButtonYouTubeQualityConfig"));
    labelQuality_ = window_.findChild<QLabel *>(QStringLiteral("LabelYouTubeQuality"));
    progress_ = window_.findChild<QProgressBar *>(QStringLiteral("ProgressBarDownload"));

    if (listInputURL_) {
        listInputURL_->setHeaderLabels({QStringLiteral("Videos")});
        listInputURL_->setColumnWidth(0, 390);
        listInputURL_->setHeaderHidden(true);
        listInputURL_->setSelectionMode(QAbstractItemView::SingleSelection);
        listInputURL_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        connect(listInputURL_, &QTreeWidget::itemDoubleClicked, this, [this] { ListViewInputURLDblClick(); });
        connect(listInputURL_, &QTreeWidget::itemSelectionChanged, this, &DownloadFlow::ActionListURLUpdate);
    }
    if (listURLDownload_) {
        listURLDownload_->setColumnCount(7);
        listURLDownload_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Status"), QStringLiteral("Size"),
                                           QStringLiteral("Speed"), QStringLiteral("Progress"),
                                           QStringLiteral("URL"), QString()});
        const int widths[] = {380, 250, 80, 70, 70, 600};
        for (int c = 0; c < 6; ++c)
            listURLDownload_->setColumnWidth(c, widths[c]);
    }
    if (checkQuality_) {
        checkQuality_->setText(QStringLiteral("Prefer YouTube high quality"));
        connect(checkQuality_, &QCheckBox::clicked, this, &DownloadFlow::CheckBoxYouTubeQualityClick);
    }
    if (buttonQualityConfig_) {
        buttonQualityConfig_->setText(QStringLiteral("Config..."));
        connect(buttonQualityConfig_, &QPushButton::clicked, this, &DownloadFlow::ButtonYouTubeQualityConfigClick);
    }
    if (auto *open = window_.findChild<SkinLinkLabel *>(QStringLiteral("LabelURLOpenFolder"))) {
        open->setText(QStringLiteral("Open folder"));
        connect(open, &SkinLinkLabel::clicked, this, &DownloadFlow::LabelURLOpenFolderClick);
    }
}

void DownloadFlow::createActions()
{
    const auto make = [this](const char *name, const char *caption, void (DownloadFlow::*slot)()) {
        auto *a = new QAction(QString::fromLatin1(caption), &window_);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    actionPaste_ = make("ActionURLPaste", "&Paste", &DownloadFlow::ActionURLPasteExecute);
    actionRemove_ = make("ActionURLRemove", "&Remove", &DownloadFlow::ActionURLRemoveExecute);
    actionEmpty_ = make("ActionURLEmpty", "&Empty", &DownloadFlow::ActionURLEmptyExecute);
    actionSelect_ = make("ActionURLSelect", "Select...", &DownloadFlow::ActionURLSelectExecute);
    actionPaste_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    actionPaste_->setShortcutContext(Qt::WidgetShortcut);

    for (auto [button, action] : {std::pair{"ButtonURLPaste", actionPaste_}, std::pair{"ButtonURLRemove", actionRemove_},
                                  std::pair{"ButtonURLEmpty", actionEmpty_}, std::pair{"ButtonURLSelect", actionSelect_}}) {
        auto *b = window_.findChild<QPushButton *>(QString::fromLatin1(button));
        if (!b)
            continue;
        b->setText(action->text());
        connect(b, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, b, [b, action = action] { b->setEnabled(action->isEnabled()); });
    }
    if (listInputURL_) {
        listInputURL_->addAction(actionPaste_);
        auto *menu = new QMenu(listInputURL_);
        menu->addAction(actionPaste_);
        menu->addAction(actionRemove_);
        listInputURL_->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(listInputURL_, &QWidget::customContextMenuRequested, menu, [this, menu](const QPoint &pos) {
            ActionListURLUpdate();
            menu->popup(listInputURL_->viewport()->mapToGlobal(pos));
        });
    }
}

QString DownloadFlow::QualityCaption() const
{
    const QualityPreference p = PreferenceFromSettings(window_.settings());
    return p.QualityCaptionFor(checkQuality_ ? checkQuality_->isChecked() : p.Prefer);
}

void DownloadFlow::installHooks()
{
    WizardHooks &h = window_.wizard().hooks();
    h.linkCount = [this] { return links_.Count(); };
    h.clearLinkList = [this] { ActionURLEmptyExecute(); };
    h.showLinkPage = [this] {
        editURLOutput_->setText(window_.settings().OutputURLDir);
        checkQuality_->setChecked(window_.settings().PreferYouTubeQuality);
        CheckBoxYouTubeQualityClick();
        ActionListURLUpdate();
    };
    h.commitLinkPage = [this] {
        window_.settings().OutputURLDir = EnsureTrailingBackslash(editURLOutput_->text());
        window_.settings().PreferYouTubeQuality = checkQuality_->isChecked();
    };
    h.startDownload = [this] {
        run_->Preference() = PreferenceFromSettings(window_.settings());
        run_->StartDownloadRun(links_.Links(), window_.settings().OutputURLDir);
    };
    h.clearDownloadList = [this] {
        if (listURLDownload_)
            listURLDownload_->clear();
    };
    h.clearVideoTexts = [] {};
    h.abortTransfers = [this] { run_->Cancel(); };
}

void DownloadFlow::connectRun()
{
    TDownloadRun &run = *run_;
    connect(&run, &TDownloadRun::rowsReset, this, [this] {
        if (!listURLDownload_)
            return;
        listURLDownload_->clear();
        for (int i = 0; i < run_->Rows().size(); ++i) {
            listURLDownload_->addTopLevelItem(new QTreeWidgetItem);
            renderRow(i);
        }
    });
    connect(&run, &TDownloadRun::rowChanged, this, &DownloadFlow::renderRow);
    connect(&run, &TDownloadRun::labelChanged, this, [this](const QString &name, const QString &text) {
        if (QLabel *l = statusLabel(name))
            l->setText(text);
    });
    connect(&run, &TDownloadRun::progressChanged, this, [this](int percent) {
        if (progress_)
            progress_->setValue(percent);
    });
    connect(&run, &TDownloadRun::fileSaved, this, [](const QString &path) { downloadedFilesList() << path; });
    connect(&run, &TDownloadRun::scriptError, this,
            [this](const QString &message) { MessageSeam::notify(message, &window_); });
    connect(&run, &TDownloadRun::saveFailed, this, [this](const QString &path, const QString &reason) {
        window_.appendLog(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    });
    connect(&run, &TDownloadRun::finished, this, [this](int total, int succeeded) {
        window_.wizard().showDownloadSummary(total, succeeded);
    });
}

QLabel *DownloadFlow::statusLabel(const QString &name) const
{
    return window_.findChild<QLabel *>(name);
}

void DownloadFlow::renderRow(int row)
{
    if (!listURLDownload_ || row < 0 || row >= run_->Rows().size())
        return;
    QTreeWidgetItem *item = listURLDownload_->topLevelItem(row);
    if (!item)
        return;
    const DownloadRow &r = run_->Rows()[row];
    const QString texts[] = {r.Name, r.Status, r.Size, r.Speed, r.Progress, r.Url};
    for (int c = 0; c < 6; ++c)
        item->setText(c, texts[c]);
}

void DownloadFlow::refreshLinkView(int select)
{
    if (!listInputURL_)
        return;
    listInputURL_->setUpdatesEnabled(false);
    listInputURL_->clear();
    for (const VideoLinkItem &item : links_.Items())
        listInputURL_->addTopLevelItem(new QTreeWidgetItem(QStringList{item.Link}));
    listInputURL_->setUpdatesEnabled(true);
    if (select >= 0 && select < listInputURL_->topLevelItemCount()) {
        QTreeWidgetItem *item = listInputURL_->topLevelItem(select);
        listInputURL_->setCurrentItem(item);
        item->setSelected(true);
        listInputURL_->scrollToItem(item);
    }
    ActionListURLUpdate();
}

void DownloadFlow::ActionURLPasteExecute()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasText())
        return;
    links_.Paste(data->text());
    refreshLinkView();
}

void DownloadFlow::ActionURLRemoveExecute()
{
    if (!listInputURL_)
        return;
    QList<int> rows;
    for (QTreeWidgetItem *item : listInputURL_->selectedItems())
        rows << listInputURL_->indexOfTopLevelItem(item);
    if (!rows.isEmpty())
        refreshLinkView(links_.Remove(rows));
    listInputURL_->setFocus();
}

void DownloadFlow::ActionURLEmptyExecute()
{
    links_.Empty();
    refreshLinkView();
}

void DownloadFlow::ActionURLSelectExecute()
{
    QString folder = window_.settings().OutputURLDir;
    if (!BrowseForFolder(&window_, folder, QStringLiteral("Please select a folder")))
        return;
    editURLOutput_->setText(EnsureTrailingBackslash(folder));
    window_.settings().OutputURLDir = editURLOutput_->text();
}

void DownloadFlow::ActionListURLUpdate()
{
    actionPaste_->setEnabled(window_.clipboardHasText());
    actionRemove_->setEnabled(listInputURL_ && !listInputURL_->selectedItems().isEmpty());
    actionEmpty_->setEnabled(links_.Count() > 0);
    actionSelect_->setEnabled(true);
}

void DownloadFlow::ListViewInputURLDblClick()
{
    if (!listInputURL_ || listInputURL_->selectedItems().isEmpty() || !listInputURL_->currentItem())
        return;
    OpenWithShell(listInputURL_->currentItem()->text(0));
}

void DownloadFlow::CheckBoxYouTubeQualityClick()
{
    if (buttonQualityConfig_)
        buttonQualityConfig_->setEnabled(checkQuality_->isChecked());
    if (labelQuality_)
        labelQuality_->setText(QualityCaption());
}

void DownloadFlow::ButtonYouTubeQualityConfigClick()
{
    QualityPreference p = PreferenceFromSettings(window_.settings());
    TFormYouTubeHQ dialog(p, &window_);
    dialog.adjustSize();
    dialog.move(window_.x() + (window_.width() - dialog.width()) / 2,
                window_.y() + (window_.height() - dialog.height()) / 2);
    const bool ok = dialog.exec() == QDialog::Accepted;
    // "Default" and "Best Available" count even when the dialog was cancelled.
    p.Prefer = window_.settings().PreferYouTubeQuality;
    StorePreference(p, window_.settings());
    if (ok && labelQuality_)
        labelQuality_->setText(QualityCaption());
}

void DownloadFlow::LabelURLOpenFolderClick()
{
    OpenWithShell(window_.settings().OutputURLDir);
}

} // namespace quillor
