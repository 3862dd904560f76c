#pragma once
// The download run: for every link in turn the watch page is fetched, the
// title and identifier taken from it, the information document fetched and
// read by the stream script, and the preferred streams tried one by one
// until one is saved in the download folder. Everything runs on the main
// thread; the transfers report back through their events and every next
// step is a queued call, never started from inside the event of the
// component that is about to be reused.
//
// The window, quillor-cli and the tests drive this object alike: they read
// the rows and the status texts and listen to the signals.

#include "QualityPreference.h"
#include "StreamMap.h"
#include "SpoolStream.h"

#include <QMap>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace quillor {

class TWinHTTP;
class TJavaScript;
class THostScriptlet;

// Status texts of a row.
inline constexpr char kStatusWaiting[] = "Waiting...";
inline constexpr char kStatusGettingUrls[] = "Getting YouTube URLs, please wait...";
inline constexpr char kStatusAnalyzed[] = "Analyzing finished, ready to download...";
inline constexpr char kStatusDownloading[] = "Downloading...";
inline constexpr char kStatusFinished[] = "Finish.";
inline constexpr char kStatusFailed[] = "Failed.";

// One row of the download list, one per link.
struct DownloadRow {
    QString Name;     // the link, then the video's title
    QString Status = QString::fromLatin1(kStatusWaiting);
    QString Size = QStringLiteral("0 KB");
    QString Speed = QStringLiteral("0 KB/s");
    QString Progress = QStringLiteral("0%");
    QString Url = QStringLiteral("...");
};

// How a title becomes a file name in the folder; the shell's shared
// routines fill it (the engine side has no file-name rules of its own).
struct DownloadFileNaming {
    std::function<QString(const QString &name)> Sanitize;
    std::function<QString(const QString &name, const QString &folder)> Unique;
};

// "0.00" formatting of the size and speed texts, and the time text.
QString FormatDownloadSize(std::int64_t bytes);           // "1.50MB"
QString FormatDownloadSpeed(std::int64_t bytesRead, std::int32_t elapsedSeconds); // "12.00 KB/s"
QString FormatDownloadTime(std::int64_t seconds);         // "00:01:05"

class TDownloadRun : public QObject {
    Q_OBJECT
public:
    explicit TDownloadRun(DownloadFileNaming naming, QObject *parent = nullptr);
    ~TDownloadRun() override;

    // The order and flag used by the next run (and by the attempts of the
    // running one).
    QualityPreference &Preference() { return preference_; }

    // Pause after the stream script before the first attempt (a timer: the
    // window keeps painting meanwhile).
    int PauseAfterScriptMs = 1500;
    // Bodies larger than this are kept in a temporary file in SpoolFolder
    // (empty: the system's temporary folder) until they are saved.
    std::int64_t SpoolThreshold = TSpoolStream::kDefaultThreshold;
    QString SpoolFolder;

    // Starts a run over links, saving into folder (which must exist).
    // Ignored while a run is going.
    void StartDownloadRun(const QStringList &links, const QString &folder);
    // Stops the run: a running transfer is aborted and its partial body
    // dropped; the run then ends with the summary.
    void Cancel();
    bool Running() const { return running_; }

    // ---- what the window shows ----
    const QList<DownloadRow> &Rows() const { return rows_; }
    QString Label(const QString &name) const { return labels_.value(name, QStringLiteral("...")); }
    int ProgressPercent() const { return progress_; }
    int Total() const { return total_; }
    int Current() const { return current_; }
    int Succeeded() const { return succeeded_; }
    int Attempt() const { return attempt_; }
    const StreamTable &Streams() const { return streams_; }
    // Paths saved by the current or last run, in saving order.
    const QStringList &SavedFiles() const { return saved_; }

    // Writes the non-empty, non-zero pieces into the current row and the
    // status labels.
    void UpdateRow(const QString &status, std::int64_t size = 0, std::int32_t timeLeft = 0,
                   std::int32_t elapsed = 0, const QString &url = QString(), int percent = 0,
                   const QString &speed = QString());

    // The components, for settings a caller may want to change.
    TWinHTTP &PageFetch() { return *page_; }
    TWinHTTP &InfoFetch() { return *info_; }
    TWinHTTP &StreamFetch() { return *stream_; }

signals:
    void rowsReset();
    void rowChanged(int row);
    void labelChanged(const QString &name, const QString &text);
    void progressChanged(int percent);
    void fileSaved(const QString &path);
    // A script error, as "Error: Line number %d, %s".
    void scriptError(const QString &message);
    // A saved body could not be written; the attempt counts as failed.
    void saveFailed(const QString &path, const QString &reason);
    // The run has ended (last entry done, cancelled or aborted).
    void finished(int total, int succeeded);

private:
    void setLabel(const char *name, const QString &text);
    void setProgress(int percent);
    template <class Fn> void post(Fn &&fn);
    bool endIfCancelled();

    void StartItemRetrieval();
    void PageDone(TStream *stream);
    void InfoDone(TStream *stream);
    void RunStreamScript(const QString &infoText);
    void StreamTableReady();
    void StartStreamDownload(const QString &address);
    void StreamDone(TStream *stream);
    void StreamFailed();
    void NextAttempt();
    void ItemFailed();
    void NextItem();
    void ShowDownloadSummary();

    DownloadFileNaming naming_;
    QualityPreference preference_;
    std::unique_ptr<TWinHTTP> page_, info_, stream_;
    TJavaScript *script_ = nullptr;
    std::shared_ptr<THostScriptlet> host_;
    std::unique_ptr<TSpoolStream> body_;

    QList<DownloadRow> rows_;
    QMap<QString, QString> labels_;
    int progress_ = 0;
    QString folder_;
    StreamTable streams_;
    QStringList saved_;
    int total_ = 0;
    int current_ = 0;
    int succeeded_ = 0;
    int attempt_ = 0;
    bool running_ = false;
    bool cancelled_ = false;
    unsigned generation_ = 0;
};

} // namespace quillor
