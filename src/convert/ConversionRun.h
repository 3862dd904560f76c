#pragma once
// One conversion run, without widgets: builds the encoder's tasks from the
// input list and the format choice, follows their progress and ends, and
// keeps the counters, the time estimates, the rows of the task list and the
// run's error lines.
//
// Threads: everything here runs on the main thread. Progress reports
// arrive there already (the encoder delivers them through the main-thread
// call queue); the encoder reports task ends on short-lived threads of its
// own, and those reports are carried to the main thread through the same
// queue, one after another in the order the tasks ended, each waiting until
// it has been handled. The run-end report therefore sees every task end
// counted before runEnded() goes out.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <vector>

#include "Catalogue.h"
#include "FFTaskOptions.h"

namespace quillor {

class InputList;
class TFFEncoder;

inline constexpr char kTaskWaiting[] = "Waiting...";
inline constexpr char kTaskConverting[] = "Converting...";
inline constexpr char kTaskFinished[] = "Finish.";
inline constexpr char kTaskFailed[] = "Failed.";

// The estimated length of the whole run, in days: the time spent so far
// scaled by how much of the total duration is done (the finished tasks'
// inputs and the running task's output). Durations in microseconds.
double EstimateRunDays(std::int64_t totalUs, double elapsedDays, std::int64_t finishedUs, std::int64_t currentUs);

// One line of the task list. Separate tasks: name, duration text, status,
// progress, folder. Join mode: name, duration text, "W x H", aspect ratio,
// output path.
struct TaskRow {
    QString Columns[5];
};

class ConversionRun : public QObject {
    Q_OBJECT
public:
    explicit ConversionRun(TFFEncoder &encoder, QObject *parent = nullptr);
    ~ConversionRun() override;

    void SetJoinMode(bool join) { join_ = join; }
    bool JoinMode() const { return join_; }

    // Builds the tasks (log lines go out as logLine) and starts them one at
    // a time. A run without any task ends at once.
    void Start(const FormatSelection &selection, const InputList &inputs);
    // Stops the run and waits for its tasks; the end reports follow.
    void Stop();
    // The handlers no longer touch this object (the window is closing).
    void Detach();

    bool Active() const { return active_; }

    // The run's state.
    int TotalFiles() const { return totalFiles_; }
    int SuccessCount() const { return successCount_; }
    int EndedCount() const { return endedCount_; }
    std::int64_t TotalDuration() const { return totalDuration_; }
    std::int64_t FinishedDuration() const { return finishedDuration_; }
    const QStringList &ErrorLines() const { return errors_; }
    const std::vector<TaskRow> &Rows() const { return rows_; }
    void ClearRows();

    // What the progress page shows besides the rows.
    QString CurrentFile() const { return currentFile_; }
    int ProgressValue() const { return progressValue_; } // 0..100
    // Days; negative while nothing has been reported.
    double ElapsedDays() const { return elapsedDays_; }
    double EstimatedDays() const { return estimatedDays_; }

    // Seam for tests of the estimate: the clock in days.
    void SetClock(std::function<double()> clock) { clock_ = std::move(clock); }

signals:
    void logLine(const QString &line);
    void rowsReset();
    void rowChanged(int row);
    void progressChanged();
    // The run has ended: every task end has been handled and the tasks are
    // cleared. The handler runs while the encoder's report waits for it.
    void runEnded();

private:
    void buildSeparateTasks(const FormatSelection &selection, const InputList &inputs);
    void buildJoinTask(const FormatSelection &selection, const InputList &inputs);
    void onProgress(const TProgressInfo &info);
    void onTaskEnd(const TTerminateInfo &info);
    void onRunEnd();
    double now() const;

    TFFEncoder &encoder_;
    std::shared_ptr<std::atomic<bool>> attached_;
    std::function<double()> clock_;
    bool join_ = false;
    bool active_ = false;

    int totalFiles_ = 0;
    int successCount_ = 0;
    std::atomic<int> endedCount_{0};
    double startTime_ = 0;
    std::int64_t totalDuration_ = 0;
    std::int64_t finishedDuration_ = 0;
    QStringList errors_;
    std::vector<TaskRow> rows_;
    std::vector<std::int64_t> taskDurations_; // by task index, what a finished task adds

    QString currentFile_ = QStringLiteral("...");
    int progressValue_ = 0;
    double elapsedDays_ = -1;
    double estimatedDays_ = -1;
};

} // namespace quillor
