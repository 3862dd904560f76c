#pragma once
// The dialog that orders the eight high-quality stream kinds. It works on
// the caller's preference: "Default" and "Best Available" change it at
// once (and stay even if the dialog is then cancelled); OK takes the order
// of the rows.

#include <QDialog>

#include "QualityPreference.h"

class QTreeWidget;

namespace quillor {

class TFormYouTubeHQ : public QDialog {
    Q_OBJECT
public:
    TFormYouTubeHQ(QualityPreference &preference, QWidget *parent = nullptr);

    QTreeWidget *list() const { return list_; }

    void FillList();
    void ButtonUpClick();
    void ButtonDownClick();
    void ButtonDefaultClick();
    void ButtonBestAvailableClick();
    void ButtonOKClick();

private:
    void moveSelected(int delta);

    QualityPreference &preference_;
    QTreeWidget *list_ = nullptr;
};

} // namespace quillor
