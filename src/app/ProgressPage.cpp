// The progress and summary pages of the convert flow.
#include "ConvertFlow.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>

#include "FormMain.h"
#include "SkinLinkLabel.h"
#include "UtilFuncs.h"

namespace quillor {

void ConvertFlow::setupProgressPage()
{
    listConverting_ = window_.findChild<QTreeWidget *>(QStringLiteral("ListViewConverting"));
    listConverting_->setColumnCount(5);
    listConverting_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Duration"), QStringLiteral("Status"),
                                      QStringLiteral("Progress"), QStringLiteral("Path")});
    listConverting_->setSelectionMode(QAbstractItemView::SingleSelection);
    const int widths[] = {150, 95, 90, 70};
    for (int i = 0; i < 4; ++i)
        listConverting_->setColumnWidth(i, widths[i]);
    auto label = [this](const char *name) { return window_.findChild<QLabel *>(QString::fromLatin1(name)); };
    labelCurrentFile_ = label("LabelCurrentFile");
    labelCurrentFileTitle_ = label("LabelCurrentFileTitle");
    labelEstimated_ = label("LabelEstimated");
    labelElapsed_ = label("LabelElapsed");
    labelTimeLeft_ = label("LabelTimeLeft");
    labelProgress_ = label("LabelProgress");
    progressBar_ = window_.findChild<QProgressBar *>(QStringLiteral("ProgressBar"));

    if (auto *preview = window_.findChild<QCheckBox *>(QStringLiteral("CheckBoxPreview")))
        connect(preview, &QCheckBox::toggled, this, &ConvertFlow::SetPreview);
    if (auto *open = window_.findChild<SkinLinkLabel *>(QStringLiteral("LabelOpenFolder"))) {
        open->setText(QStringLiteral("Open folder"));
        connect(open, &SkinLinkLabel::clicked, this, [this] { OpenWithShell(window_.settings().OutputFileDir); });
    }
}

void ConvertFlow::refreshRows()
{
    listConverting_->clear();
    for (int i = 0; i < static_cast<int>(run_->Rows().size()); ++i) {
        auto *item = new QTreeWidgetItem(listConverting_);
        Q_UNUSED(item);
        refreshRow(i);
    }
}

void ConvertFlow::refreshRow(int row)
{
    QTreeWidgetItem *item = listConverting_->topLevelItem(row);
    if (!item || row >= static_cast<int>(run_->Rows().size()))
        return;
    const TaskRow &r = run_->Rows()[row];
    for (int c = 0; c < 5; ++c)
        item->setText(c, r.Columns[c]);
}

void ConvertFlow::refreshProgress()
{
    labelCurrentFile_->setText(run_->CurrentFile());
    progressBar_->setValue(run_->ProgressValue());
    labelProgress_->setText(QStringLiteral("%1%").arg(progressBar_->value()));
    if (run_->ElapsedDays() >= 0) {
        const double elapsed = run_->ElapsedDays();
        const double estimated = run_->EstimatedDays();
        labelEstimated_->setText(FormatClockSpan(estimated));
        labelElapsed_->setText(FormatClockSpan(elapsed));
        // Inputs of unknown length can make the estimate smaller than the
        // time already spent; nothing is left then.
        labelTimeLeft_->setText(FormatClockSpan(std::max(0.0, estimated - elapsed)));
    }
}

} // namespace quillor
