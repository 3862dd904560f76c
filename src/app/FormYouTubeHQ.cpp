#include "FormYouTubeHQ.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillor {

TFormYouTubeHQ::TFormYouTubeHQ(QualityPreference &preference, QWidget *parent)
    : QDialog(parent), preference_(preference)
{
    setObjectName(QStringLiteral("FormYouTubeHQ"));
    setWindowTitle(QStringLiteral("Prefer YouTube high quality"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose, false);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("ListViewYouTubeHQ"));
    list_->setHeaderLabels({QStringLiteral("Type"), QStringLiteral("Format"), QStringLiteral("Video"),
                            QStringLiteral("Audio")});
    for (int c = 0; c < 4; ++c)
        list_->setColumnWidth(c, 80);
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setMinimumSize(340, 200);

    auto *buttons = new QVBoxLayout;
    const auto add = [&](const char *name, const char *caption, void (TFormYouTubeHQ::*slot)()) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    add("ButtonUp", "&Up", &TFormYouTubeHQ::ButtonUpClick);
    add("ButtonDown", "&Down", &TFormYouTubeHQ::ButtonDownClick);
    add("ButtonBestAvailable", "&Best Available", &TFormYouTubeHQ::ButtonBestAvailableClick);
    add("ButtonDefault", "&Default", &TFormYouTubeHQ::ButtonDefaultClick);
    buttons->addStretch();
    add("ButtonOK", "&OK", &TFormYouTubeHQ::ButtonOKClick)->setDefault(true);
    add("ButtonCancel", "&Cancel", &QDialog::reject);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    FillList();
}

void TFormYouTubeHQ::FillList()
{
    list_->clear();
    for (std::uint8_t value : preference_.Places) {
        const QualityKind *k = QualityKindOf(value);
        if (!k)
            continue;
        list_->addTopLevelItem(new QTreeWidgetItem(
            QStringList{QString::fromLatin1(k->ShortLabel), QString::fromLatin1(k->Format),
                        QString::fromLatin1(k->Video), QString::fromLatin1(k->Audio)}));
    }
}

void TFormYouTubeHQ::moveSelected(int delta)
{
    QTreeWidgetItem *item = list_->currentItem();
    const int row = item && item->isSelected() ? list_->indexOfTopLevelItem(item) : -1;
    const int target = row + delta;
    if (row >= 0 && target >= 0 && target < list_->topLevelItemCount()) {
        list_->takeTopLevelItem(row);
        list_->insertTopLevelItem(target, item);
        list_->setCurrentItem(item);
        item->setSelected(true);
        list_->scrollToItem(item);
    }
    list_->setFocus();
}

void TFormYouTubeHQ::ButtonUpClick() { moveSelected(-1); }
void TFormYouTubeHQ::ButtonDownClick() { moveSelected(+1); }

void TFormYouTubeHQ::ButtonDefaultClick()
{
    preference_.Places = QualityPreference::kDefaultOrder;
    FillList();
}

void TFormYouTubeHQ::ButtonBestAvailableClick()
{
    preference_.Places = QualityPreference::kBestAvailableOrder;
    FillList();
}

void TFormYouTubeHQ::ButtonOKClick()
{
    const int rows = std::min(list_->topLevelItemCount(), 8);
    for (int i = 0; i < rows; ++i)
        preference_.Places[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(QualityValueOfLabel(list_->topLevelItem(i)->text(0)));
    accept();
}

} // namespace quillor
