#include "InputPage.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include "FormFailedAddFile.h"
#include "FormMain.h"
#include "Globals.h"
#include "InputList.h"
#include "MessageSeam.h"
#include "UtilFuncs.h"

namespace quillor {

const char kOpenDialogFilter[] =
    "All Supported Formats|*.AVI;*.AVM;*.ASF;*.WMV;*.AVS;*.FLV;*.MKV;*.MOV;*.3GP;*.MP4;*.MPG;*.MPEG;*.DAT;*.OGM;"
    "*.VOB;*.RM;*.RMVB;*.TS;*.TP;*.IFO;*.NSV;*.SWF;*.WEBM;*.MP3;*.AAC;*.WAV;*.WMA;*.CDA;*.FLAC;*.M4A;*.MID;*.MKA;"
    "*.MP2;*.MPA;*.MPC;*.APE;*.OFR;*.OGG;*.RA;*.WV;*.TTA;*.AC3;*.DTS;|All Video Formats (all types)|*.AVI;*.AVM;"
    "*.ASF;*.WMV;*.AVS;*.FLV;*.MKV;*.MOV;*.3GP;*.MP4;*.MPG;*.MPEG;*.DAT;*.OGM;*.VOB;*.RM;*.RMVB;*.TS;*.TP;*.IFO;"
    "*.NSV;*.SWF;*.WEBM;|All Audio Formats (all types)|*.MP3;*.AAC;*.WAV;*.WMA;*.CDA;*.FLAC;*.M4A;*.MID;*.MKA;"
    "*.MP2;*.MPA;*.MPC;*.APE;*.OFR;*.OGG;*.RA;*.WV;*.TTA;*.AC3;*.DTS;|All Files|*.*";

QString openDialogNameFilters()
{
    const QStringList parts = QString::fromLatin1(kOpenDialogFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            patterns << p;
            if (p.toLower() != p)
                patterns << p.toLower();
        }
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}

namespace {

constexpr int kSlideHeight = 90;

// The picture audio files show instead of a thumbnail.
QPixmap audioIcon()
{
    static QPixmap icon;
    if (icon.isNull()) {
        QImage image(118, 78, QImage::Format_RGB32);
        image.fill(QColor(52, 73, 94));
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(236, 240, 241));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(38, 48, 16, 12));
        p.drawEllipse(QRectF(66, 42, 16, 12));
        p.drawRect(QRectF(50, 18, 4, 36));
        p.drawRect(QRectF(78, 12, 4, 36));
        p.drawPolygon(QPolygonF({QPointF(50, 18), QPointF(82, 12), QPointF(82, 20), QPointF(50, 26)}));
        icon = QPixmap::fromImage(image);
    }
    return icon;
}

QPixmap thumbnailOf(const MediaFileInfo &info)
{
    if (info.AudioOnly)
        return audioIcon();
    if (info.Thumbnail.empty())
        return QPixmap();
    const QImage image(info.Thumbnail.bits.data(), info.Thumbnail.width, info.Thumbnail.height,
                       info.Thumbnail.stride, QImage::Format_BGR888);
    return QPixmap::fromImage(image.copy());
}

// Draws a row as a slide: the thumbnail on the left, the name and the
// three value lines beside it.
class SlideDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const bool selected = option.state & QStyle::State_Selected;
        p->save();
        p->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
        const QRect r = option.rect;
        const QPixmap thumb = index.data(Qt::DecorationRole).value<QPixmap>();
        const QRect box(r.left(), r.top(), 128, 88);
        p->fillRect(box, QColor(20, 20, 20));
        if (!thumb.isNull()) {
            const QPixmap scaled = thumb.scaled(box.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
            p->drawPixmap(box.left() + (box.width() - scaled.width()) / 2,
                          box.top() + (box.height() - scaled.height()) / 2, scaled);
        }
        const QAbstractItemModel *m = index.model();
        auto text = [&](int column) { return m->index(index.row(), column).data().toString(); };
        p->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
        QFont bold = option.font;
        bold.setBold(true);
        p->setFont(bold);
        const int x = r.left() + 136;
        p->drawText(QRect(x, r.top(), 280, 18), Qt::AlignLeft | Qt::AlignVCenter, text(kColFileMinName));
        p->setFont(option.font);
        const std::pair<int, int> lines[] = {{kColDuration, 33}, {kColBitrate, 49}, {kColDimension, 65}};
        for (auto [column, top] : lines)
            p->drawText(QRect(x, r.top() + top, 280, 16), Qt::AlignLeft | Qt::AlignVCenter, text(column));
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return {420, kSlideHeight};
    }
};

} // namespace

InputPage::InputPage(TFormMain &window, InputList &list, TFFDecoder &probe, QObject *parent)
    : QObject(parent)
    , window_(window)
    , list_(list)
    , probe_(probe)
{
    setupGrid();
    setupActions();
    showFailedFiles = [this](const QStringList &entries) {
        TFormFailedAddFile dialog(entries, window_.config().HelpSupportLink, &window_);
        dialog.move(window_.geometry().center() - dialog.rect().center());
        dialog.exec();
    };
    openDialog = [this] { return runOpenDialog(); };
}

void InputPage::setupGrid()
{
    grid_ = window_.findChild<QTableWidget *>(QStringLiteral("NextGrid"));
    grid_->clear();
    grid_->setRowCount(0);
    grid_->setColumnCount(kInputGridColumns);
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(kSlideHeight);
    grid_->horizontalHeader()->setStretchLastSection(false);
    for (int c = 1; c < kInputGridColumns; ++c)
        grid_->setColumnHidden(c, true);
    grid_->setColumnWidth(0, grid_->width() - 20);
    grid_->setShowGrid(false);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setItemDelegateForColumn(0, new SlideDelegate(grid_));
    grid_->setContextMenuPolicy(Qt::CustomContextMenu);
    grid_->viewport()->installEventFilter(this);
    connect(grid_, &QTableWidget::itemSelectionChanged, this, &InputPage::ActionListUpdate);
    connect(grid_, &QTableWidget::cellDoubleClicked, this, [this] { ActionPlayExecute(); });
}

void InputPage::setupActions()
{
    QWidget *page = grid_->parentWidget();
    auto action = [&](const char *name, const QString &text, const QKeySequence &key) {
        auto *a = new QAction(text, page);
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        page->addAction(a);
        return a;
    };
    actionAdd_ = action("ActionAdd", QStringLiteral("&Add File(s)..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    actionDelete_ = action("ActionDelete", QStringLiteral("&Delete"), QKeySequence(Qt::Key_Delete));
    actionClear_ = action("ActionClear", QStringLiteral("&Clear"), QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    actionMoveUp_ = action("ActionMoveUp", QStringLiteral("&Move Up"), QKeySequence());
    actionMoveDown_ = action("ActionMoveDown", QStringLiteral("M&ove Down"), QKeySequence());
    actionPlay_ = action("ActionPlay", QStringLiteral("&Play"), QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(actionAdd_, &QAction::triggered, this, &InputPage::ActionAddExecute);
    connect(actionDelete_, &QAction::triggered, this, &InputPage::ActionDeleteExecute);
    connect(actionClear_, &QAction::triggered, this, &InputPage::ActionClearExecute);
    connect(actionMoveUp_, &QAction::triggered, this, &InputPage::ActionMoveUpExecute);
    connect(actionMoveDown_, &QAction::triggered, this, &InputPage::ActionMoveDownExecute);
    connect(actionPlay_, &QAction::triggered, this, &InputPage::ActionPlayExecute);

    const std::pair<const char *, QAction *> buttons[] = {
        {"ButtonAdd", actionAdd_},       {"ButtonDelete", actionDelete_},     {"ButtonClear", actionClear_},
        {"ButtonMoveUp", actionMoveUp_}, {"ButtonMoveDown", actionMoveDown_}, {"ButtonPlay", actionPlay_}};
    for (auto [name, a] : buttons) {
        if (auto *b = page->findChild<QAbstractButton *>(QString::fromLatin1(name))) {
            connect(b, &QAbstractButton::clicked, a, &QAction::trigger);
            connect(a, &QAction::changed, b, [a, b] { b->setEnabled(a->isEnabled()); });
        }
    }

    popup_ = new QMenu(grid_);
    popup_->setObjectName(QStringLiteral("PopupMenuNextGrid"));
    popup_->addAction(actionAdd_);
    popup_->addAction(actionDelete_);
    popup_->addAction(actionClear_);
    popup_->addSeparator();
    popup_->addAction(actionMoveUp_);
    popup_->addAction(actionMoveDown_);
    popup_->addSeparator();
    popup_->addAction(actionPlay_);
    connect(grid_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { popup_->popup(grid_->viewport()->mapToGlobal(at)); });
    ActionListUpdate();
}

int InputPage::selectedRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = grid_->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void InputPage::selectRow(int row)
{
    if (row < 0 || row >= grid_->rowCount())
        grid_->clearSelection();
    else
        grid_->selectRow(row);
    ActionListUpdate();
}

void InputPage::fillRow(int row)
{
    const MediaFileInfo &info = list_.Row(row);
    auto set = [&](int column, const QString &text) {
        auto *item = new QTableWidgetItem(text);
        grid_->setItem(row, column, item);
        return item;
    };
    QFont bold = window_.font();
    bold.setBold(true);
    const QString shortName = QFontMetrics(bold).elidedText(info.FullName, Qt::ElideMiddle, 255);
    QTableWidgetItem *image = set(kColMainImage, QString());
    image->setData(Qt::DecorationRole, thumbnailOf(info));
    image->setToolTip(info.FullName);
    set(kColFileMinName, shortName);
    set(kColDuration, info.DurationText);
    set(kColBitrate, info.BitrateText);
    set(kColDimension, info.DimensionText);
    set(kColFileFullName, info.FullName);
    set(kColRealDuration, QString::number(info.RealDuration));
    set(kColWidth, QString::number(info.Width));
    set(kColHeight, QString::number(info.Height));
    set(kColAspectRatio, QString::number(info.AspectRatio));
}

void InputPage::Refresh()
{
    const int selected = selectedRow();
    grid_->setRowCount(list_.Count());
    for (int i = 0; i < list_.Count(); ++i)
        fillRow(i);
    selectRow(std::min(selected, list_.Count() - 1));
}

void InputPage::AddMediaFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    failedFilesList().clear();
    QCoreApplication::processEvents();
    // Rows show as they are probed; the window keeps painting meanwhile,
    // but takes no input until the batch is done.
    const AddFilesResult result = list_.AddMediaFiles(probe_, paths, [this](int row) {
        grid_->setRowCount(row + 1);
        fillRow(row);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    for (const QString &line : result.LogLines)
        window_.appendLog(line);
    ActionListUpdate();
    if (!result.FatalError.isEmpty()) {
        window_.appendLog(QString::fromLatin1(kFileLoadErrorPrefix) + result.FatalError);
        MessageRequest request;
        request.type = MessageType::Error;
        request.caption = applicationTitle();
        request.text = result.FatalError;
        request.buttons = {MessageButton::OK};
        request.parent = &window_;
        MessageSeam::show(request);
        return;
    }
    failedFilesList() << result.Failed;
    if (!failedFilesList().isEmpty() && showFailedFiles)
        showFailedFiles(failedFilesList());
}

void InputPage::FilesDropped(const QStringList &paths)
{
    BeginBusy();
    QStringList accepted;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isDir())
            continue;
        if (IsMediaExtension(ExtractExtension(path)))
            accepted << path;
    }
    AddMediaFiles(accepted);
    EndBusy();
}

QStringList InputPage::runOpenDialog()
{
    if (!dialog_) {
        dialog_ = new QFileDialog(&window_);
        dialog_->setObjectName(QStringLiteral("OpenDialog"));
        dialog_->setFileMode(QFileDialog::ExistingFiles);
        dialog_->setOption(QFileDialog::ReadOnly, false);
        dialog_->setNameFilters(openDialogNameFilters().split(QStringLiteral(";;")));
        dialog_->setSizeGripEnabled(true);
    }
    dialog_->setDirectory(window_.settings().LastOpenDir);
    if (dialog_->exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog_->selectedFiles();
    if (files.size() > 1)
        dialog_->selectFile(QString());
    return files;
}

void InputPage::ActionAddExecute()
{
    const QStringList files = openDialog ? openDialog() : QStringList();
    if (files.isEmpty())
        return;
    BeginBusy();
    AddMediaFiles(files);
    EndBusy();
    window_.settings().LastOpenDir = EnsureTrailingBackslash(QFileInfo(files.first()).absolutePath());
}

void InputPage::ActionDeleteExecute()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const int next = list_.Delete(row);
    grid_->removeRow(row);
    selectRow(next);
}

void InputPage::ActionClearExecute()
{
    list_.Clear();
    grid_->setRowCount(0);
    ActionListUpdate();
}

void InputPage::MoveRow(int from, int to)
{
    if (!list_.Move(from, to))
        return;
    const int low = std::min(from, to), high = std::max(from, to);
    for (int i = low; i <= high; ++i)
        fillRow(i);
    selectRow(to);
}

void InputPage::ActionMoveUpExecute()
{
    const int row = selectedRow();
    if (row > 0)
        MoveRow(row, row - 1);
}

void InputPage::ActionMoveDownExecute()
{
    const int row = selectedRow();
    if (row >= 0 && row + 1 < list_.Count())
        MoveRow(row, row + 1);
}

void InputPage::ActionPlayExecute()
{
    const int row = selectedRow();
    if (row >= 0)
        OpenWithShell(list_.Row(row).FullName);
}

void InputPage::ActionListUpdate()
{
    const InputActionStates s = InputList::ActionStates(list_.Count(), selectedRow());
    actionAdd_->setEnabled(true);
    actionDelete_->setEnabled(s.Delete);
    actionClear_->setEnabled(s.Clear);
    actionMoveUp_->setEnabled(s.MoveUp);
    actionMoveDown_->setEnabled(s.MoveDown);
    actionPlay_->setEnabled(s.Play);
}

bool InputPage::eventFilter(QObject *watched, QEvent *event)
{
    // Dragging a row to another place moves it there.
    if (watched == grid_->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::LeftButton) {
                dragRow_ = grid_->rowAt(me->position().toPoint().y());
                dragStart_ = me->position().toPoint();
                dragging_ = false;
            }
            break;
        }
        case QEvent::MouseMove: {
            auto *me = static_cast<QMouseEvent *>(event);
            if (dragRow_ >= 0 && (me->buttons() & Qt::LeftButton)
                && (me->position().toPoint() - dragStart_).manhattanLength() >= QApplication::startDragDistance())
                dragging_ = true;
            if (dragging_)
                return true;
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto *me = static_cast<QMouseEvent *>(event);
            const int from = dragRow_;
            const bool moved = dragging_;
            dragRow_ = -1;
            dragging_ = false;
            if (moved && from >= 0) {
                int to = grid_->rowAt(me->position().toPoint().y());
                if (to < 0)
                    to = list_.Count() - 1;
                if (to != from)
                    MoveRow(from, to);
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quillor
