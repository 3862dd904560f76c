#pragma once
// The convert flow of the main window: the input page, the output page, the
// conversion run with its progress and summary pages, and the preview.
//
// It owns the encoder and the widget-free models (InputList,
// ConversionRun) and takes over the window's page hooks, so the wizard's
// Back, Next and Exit reach it. Create it right after the window and before
// TFormMain::formCreate(), which runs the start-up hooks it installs.

#include <QObject>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <set>

#include "ConversionRun.h"
#include "FFEncode.h"
#include "InputList.h"
#include "Previewer.h"

class QLabel;
class QProgressBar;
class QTreeWidget;

namespace quillor {

class InputPage;
class OutputPage;
class TFormMain;

class ConvertFlow : public QObject {
    Q_OBJECT
public:
    explicit ConvertFlow(TFormMain &window);
    ~ConvertFlow() override;

    TFFEncoder &encoder() { return *encoder_; }
    InputList &inputList() { return inputList_; }
    ConversionRun &run() { return *run_; }
    InputPage &inputPage() { return *inputPage_; }
    OutputPage &outputPage() { return *outputPage_; }
    // The preview window of the running task, if one is open.
    TPreviewer *previewer() const { return previewer_; }

    // The steps of a run, as the window reaches them.
    void StartConversion();
    void FinishConversion();
    void ShowConversionSummary();
    void SetPreview(bool on);

    // Loads the media libraries from the first of `folders` that has them,
    // else from the system's own places.
    bool LoadMediaLibraries(const QStringList &folders, QString *error);

signals:
    // The summary page is showing (after the sound and the shutdown offer).
    void conversionFinished();

private:
    void installHooks();
    void setupProgressPage();
    void refreshRows();
    void refreshRow(int row);
    void refreshProgress();
    bool previewFrame(TCustomFFmpeg *task, const TTaskPicture &picture, int frameNumber, std::int64_t pts);
    void closePreview();
    void shutdownEncoder();

    TFormMain &window_;
    std::unique_ptr<TFFEncoder> encoder_;
    InputList inputList_;
    std::unique_ptr<ConversionRun> run_;
    InputPage *inputPage_ = nullptr;
    OutputPage *outputPage_ = nullptr;
    QPointer<TPreviewer> previewer_;
    std::set<int> previewClosed_; // tasks whose preview the user closed
    std::shared_ptr<std::atomic<bool>> previewAlive_ = std::make_shared<std::atomic<bool>>(true);

    QTreeWidget *listConverting_ = nullptr;
    QLabel *labelCurrentFile_ = nullptr, *labelCurrentFileTitle_ = nullptr;
    QLabel *labelEstimated_ = nullptr, *labelElapsed_ = nullptr, *labelTimeLeft_ = nullptr;
    QLabel *labelProgress_ = nullptr;
    QProgressBar *progressBar_ = nullptr;
};

} // namespace quillor
