#pragma once
// Lists the files of a batch that could not be added to the input list.

#include <QDialog>
#include <QStringList>

class QTreeWidget;

namespace quillor {

class TFormFailedAddFile : public QDialog {
    Q_OBJECT
public:
    // `entries` in the order they were tried; `supportLink` is opened by
    // "More Information...".
    TFormFailedAddFile(const QStringList &entries, const QString &supportLink,
                       QWidget *parent = nullptr);

    QStringList listedFiles() const;

private:
    QTreeWidget *list_;
    QString supportLink_;
};

} // namespace quillor
