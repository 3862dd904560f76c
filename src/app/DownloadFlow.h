#pragma once
// The download side of the main window: the link page, the progress rows
// and status lines, the summary's folder link, and the page hooks of the
// wizard. The work itself is done by TVideoLinkList and TDownloadRun; this
// object only connects them to the window's widgets.
//
// Create it right after the window and before formCreate(), like the
// convert flow; it lives as long as the window.

#include <QObject>
#include <QPointer>

#include <memory>

#include "DownloadRun.h"
#include "QualityPreference.h"
#include "VideoLinks.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace quillor {

class TFormMain;

class DownloadFlow : public QObject {
    Q_OBJECT
public:
    explicit DownloadFlow(TFormMain &window);
    ~DownloadFlow() override;

    TVideoLinkList &links() { return links_; }
    TDownloadRun &run() { return *run_; }

    // Link page commands.
    void ActionURLPasteExecute();
    void ActionURLRemoveExecute();
    void ActionURLEmptyExecute();
    void ActionURLSelectExecute();
    void ActionListURLUpdate();
    void ListViewInputURLDblClick();
    void CheckBoxYouTubeQualityClick();
    void ButtonYouTubeQualityConfigClick();
    void LabelURLOpenFolderClick();

    QAction *actionPaste() const { return actionPaste_; }
    QAction *actionRemove() const { return actionRemove_; }
    QAction *actionEmpty() const { return actionEmpty_; }

    // The quality caption for the check box's current state.
    QString QualityCaption() const;

private:
    void findWidgets();
    void createActions();
    void installHooks();
    void connectRun();
    void refreshLinkView(int select = -1);
    void renderRow(int row);
    QLabel *statusLabel(const QString &name) const;

    TFormMain &window_;
    TVideoLinkList links_;
    std::unique_ptr<TDownloadRun> run_;

    QTreeWidget *listInputURL_ = nullptr;
    QTreeWidget *listURLDownload_ = nullptr;
    QLineEdit *editURLOutput_ = nullptr;
    QCheckBox *checkQuality_ = nullptr;
    QPushButton *buttonQualityConfig_ = nullptr;
    QLabel *labelQuality_ = nullptr;
    QProgressBar *progress_ = nullptr;
    QAction *actionPaste_ = nullptr;
    QAction *actionRemove_ = nullptr;
    QAction *actionEmpty_ = nullptr;
    QAction *actionSelect_ = nullptr;
};

} // namespace quillor
