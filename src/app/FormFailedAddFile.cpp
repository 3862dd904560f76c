#include "FormFailedAddFile.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

#include "UtilFuncs.h"

namespace quillor {

TFormFailedAddFile::TFormFailedAddFile(const QStringList &entries, const QString &supportLink,
                                       QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
    , supportLink_(supportLink)
{
    setObjectName(QStringLiteral("FormFailedAddFile"));
    setWindowTitle(QStringLiteral("Failed to Add Files"));
    setFixedSize(425, 290);

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ImageIcon"));
    icon->setGeometry(12, 12, 48, 48);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));

    auto *title = new QLabel(this);
    title->setObjectName(QStringLiteral("LabelTitle"));
    title->setWordWrap(true);
    title->setGeometry(70, 10, 345, 70);
    title->setText(QStringLiteral(
        "Failed to add the following files. The converter might not support the file type or "
        "might not support the codec that was used to compress the file. Click \"More "
        "Information\" to view a list of supported file types and releavant codecs."));

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("ListViewFiles"));
    list_->setGeometry(12, 86, 401, 158);
    list_->setColumnCount(1);
    list_->setHeaderLabels({QStringLiteral("File")});
    list_->setColumnWidth(0, 380);
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (const QString &entry : entries)
        list_->addTopLevelItem(new QTreeWidgetItem(QStringList{entry}));

    auto *more = new QPushButton(QStringLiteral("More Information..."), this);
    more->setObjectName(QStringLiteral("ButtonMoreInfo"));
    more->setAutoDefault(false);
    more->setGeometry(12, 254, 130, 25);
    connect(more, &QPushButton::clicked, this, [this] { OpenWithShell(supportLink_); });

    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("ButtonClose"));
    close->setDefault(true);
    close->setGeometry(338, 254, 75, 25);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

QStringList TFormFailedAddFile::listedFiles() const
{
    QStringList out;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        out << list_->topLevelItem(i)->text(0);
    return out;
}

} // namespace quillor
