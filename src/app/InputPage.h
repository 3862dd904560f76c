#pragma once
// The input page: the slide-style list of files to convert with its
// actions, the open dialog and dropped files. The rows themselves live in
// the widget-free InputList; this object shows them and forwards the user's
// actions to it.

#include <QObject>
#include <QPoint>
#include <QStringList>

#include <functional>

class QAction;
class QFileDialog;
class QMenu;
class QTableWidget;

namespace quillor {

class InputList;
class TFFDecoder;
class TFormMain;

// Grid columns the other pages read.
enum InputGridColumn {
    kColMainImage = 0,
    kColFileMinName = 1,
    kColDuration = 2,
    kColBitrate = 3,
    kColDimension = 4,
    kColFileFullName = 5,
    kColRealDuration = 13,
    kColWidth = 14,
    kColHeight = 15,
    kColAspectRatio = 16,
    kInputGridColumns = 17,
};

// The open dialog's filter as the program has always offered it.
extern const char kOpenDialogFilter[];
// The same filter in the form QFileDialog takes, with lower-case patterns
// beside the upper-case ones (file names are case-sensitive here).
QString openDialogNameFilters();

class InputPage : public QObject {
    Q_OBJECT
public:
    InputPage(TFormMain &window, InputList &list, TFFDecoder &probe, QObject *parent = nullptr);

    // Probes and appends the files; shows the failed-files dialog for those
    // the probe could not open.
    void AddMediaFiles(const QStringList &paths);
    // Dropped files: folders are skipped, only media extensions are taken.
    void FilesDropped(const QStringList &paths);

    void ActionAddExecute();
    void ActionDeleteExecute();
    void ActionClearExecute();
    void ActionMoveUpExecute();
    void ActionMoveDownExecute();
    void ActionPlayExecute();
    void ActionListUpdate();
    // Moves a row as dragging it does.
    void MoveRow(int from, int to);

    QTableWidget *grid() const { return grid_; }
    int selectedRow() const;
    void selectRow(int row);
    // Refills the grid from the list.
    void Refresh();

    // Seams: the open dialog (returns the chosen files, empty on Cancel) and
    // the failed-files dialog.
    std::function<QStringList()> openDialog;
    std::function<void(const QStringList &entries)> showFailedFiles;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupGrid();
    void setupActions();
    void fillRow(int row);
    QStringList runOpenDialog();

    TFormMain &window_;
    InputList &list_;
    TFFDecoder &probe_;
    QTableWidget *grid_ = nullptr;
    QFileDialog *dialog_ = nullptr;
    QMenu *popup_ = nullptr;
    QAction *actionAdd_ = nullptr, *actionDelete_ = nullptr, *actionClear_ = nullptr;
    QAction *actionMoveUp_ = nullptr, *actionMoveDown_ = nullptr, *actionPlay_ = nullptr;
    int dragRow_ = -1;
    bool dragging_ = false;
    QPoint dragStart_;
};

} // namespace quillor
