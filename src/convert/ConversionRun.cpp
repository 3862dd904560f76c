#include "ConversionRun.h"

#include <QFileInfo>

#include <algorithm>

#include <chrono>
#include <thread>

#include "FFDecode.h"
#include "FFEncode.h"
#include "InputList.h"
#include "MainThreadQueue.h"
#include "TaskBuilder.h"

namespace quillor {

namespace {
constexpr double kMicrosecondsPerDay = 86400.0 * 1e6;

QString folderOf(const QString &path)
{
    QString folder = QFileInfo(path).path();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}
} // namespace

double EstimateRunDays(std::int64_t totalUs, double elapsedDays, std::int64_t finishedUs, std::int64_t currentUs)
{
    // A report never carries less than 10 ms; keep the divisor positive
    // whatever it carries.
    const std::int64_t done = finishedUs + std::max<std::int64_t>(currentUs, 1);
    return static_cast<double>(totalUs) * elapsedDays / static_cast<double>(done);
}

ConversionRun::ConversionRun(TFFEncoder &encoder, QObject *parent)
    : QObject(parent)
    , encoder_(encoder)
    , attached_(std::make_shared<std::atomic<bool>>(true))
{
    auto attached = attached_;
    encoder_.OnProgress = [this, attached](TFFEncoder *, TProgressInfo *info) {
        if (*attached && info)
            onProgress(*info);
    };
    // Task ends come on a thread of the encoder's; each is handled on the
    // main thread before the next one (and the run end) is delivered.
    encoder_.OnTerminate = [this, attached](TFFEncoder *, const TTerminateInfo &info) {
        if (!*attached)
            return;
        if (info.TaskIndex >= 0) {
            MainThreadQueue::instance().send([this, attached, info] {
                if (*attached)
                    onTaskEnd(info);
            });
            return;
        }
        // Every task end has been handled by now (the reports come in
        // order); wait all the same, as the counters are what the summary
        // shows.
        while (*attached && endedCount_ < encoder_.TaskCount())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        MainThreadQueue::instance().send([this, attached] {
            if (*attached)
                onRunEnd();
        });
    };
}

ConversionRun::~ConversionRun()
{
    Detach();
}

void ConversionRun::Detach()
{
    *attached_ = false;
    encoder_.OnProgress = nullptr;
    encoder_.OnTerminate = nullptr;
}

double ConversionRun::now() const
{
    if (clock_)
        return clock_();
    return QDateTime::currentMSecsSinceEpoch() / 86400000.0;
}

void ConversionRun::ClearRows()
{
    rows_.clear();
    taskDurations_.clear();
    emit rowsReset();
}

void ConversionRun::Start(const FormatSelection &selection, const InputList &inputs)
{
    totalDuration_ = 0;
    rows_.clear();
    taskDurations_.clear();
    if (join_)
        buildJoinTask(selection, inputs);
    else
        buildSeparateTasks(selection, inputs);
    totalFiles_ = join_ ? (encoder_.TaskCount() > 0 ? 1 : 0) : static_cast<int>(rows_.size());
    emit rowsReset();

    errors_.clear();
    successCount_ = 0;
    startTime_ = now();
    finishedDuration_ = 0;
    endedCount_ = 0;
    elapsedDays_ = -1;
    estimatedDays_ = -1;
    currentFile_ = QStringLiteral("...");
    progressValue_ = 0;
    active_ = true;
    emit progressChanged();
    // With no task the encoder reports the run's end at once, so the run
    // goes straight to its summary.
    encoder_.StartTask(1);
}

void ConversionRun::buildSeparateTasks(const FormatSelection &selection, const InputList &inputs)
{
    TFFDecoder &probe = *encoder_.Decoder();
    OutputNames names;
    for (int i = 0; i < inputs.Count(); ++i) {
        const MediaFileInfo &input = inputs.Row(i);
        bool opened = false;
        try {
            opened = probe.OpenMediaFile(input.FullName.toStdString(), std::string());
        } catch (const std::exception &e) {
            emit logLine(QString::fromLatin1(kFileLoadErrorPrefix) + QString::fromUtf8(e.what()));
            continue;
        }
        if (!opened) {
            emit logLine(QString::fromLatin1(kFileLoadErrorPrefix) + QString::fromStdString(probe.LastError()));
            continue;
        }
        TaskOptions task = BuildTaskOptions(selection, ProbedInputOf(probe), names);
        const int index = encoder_.AddTask(task.Input.FileName, task.Input);
        if (index < 0) {
            emit logLine(QString::fromLatin1(kJoinAddErrorPrefix) + QString::fromStdString(encoder_.LastError()));
        } else if (encoder_.SetOutputFile(index, task.Output.FileName, task.Output)) {
            TFileStreamInfo file;
            probe.ReadFileStreamInfo(file);
            const QString path = QString::fromStdString(task.Input.FileName);
            TaskRow row;
            row.Columns[0] = QFileInfo(path).fileName();
            row.Columns[1] = DurationTextOf(file.Duration);
            row.Columns[2] = QString::fromLatin1(kTaskWaiting);
            row.Columns[4] = folderOf(path);
            rows_.push_back(row);
            if (file.Duration > 0)
                totalDuration_ += file.Duration;
            // What this task adds to the finished duration when it ends
            // well: its own input's length (the input list may hold rows
            // that got no task, so its row numbers are not task numbers).
            taskDurations_.push_back(file.Duration > 0 ? file.Duration : 0);
            emit logLine(QString::fromLatin1(kJoinAddedMessage));
        } else {
            emit logLine(QString::fromLatin1(kJoinOutputErrorPrefix) + QString::fromStdString(encoder_.LastError()));
            encoder_.RemoveTask(index);
        }
        probe.CloseMediaFile();
    }
}

void ConversionRun::buildJoinTask(const FormatSelection &selection, const InputList &inputs)
{
    OutputNames names;
    const JoinResult joined = BuildJoinTask(encoder_, selection, inputs.JoinInputs(), names);
    for (const std::string &line : joined.LogLines)
        emit logLine(QString::fromStdString(line));
    for (const JoinRow &r : joined.Rows) {
        TaskRow row;
        row.Columns[0] = QString::fromStdString(r.Caption);
        row.Columns[1] = QString::fromStdString(r.DurationText);
        row.Columns[2] = QString::fromStdString(r.SizeText);
        row.Columns[3] = QString::fromStdString(r.AspectText);
        row.Columns[4] = QString::fromStdString(r.OutputPath);
        rows_.push_back(row);
    }
    totalDuration_ = joined.TotalDurationUs;
    if (joined.OutputSet)
        taskDurations_.push_back(joined.TotalDurationUs);
    else
        rows_.clear(); // no task carries these rows
}

void ConversionRun::onProgress(const TProgressInfo &info)
{
    const int index = info.TaskIndex;
    if (index < 0 || index >= static_cast<int>(rows_.size()))
        return;
    TaskRow &row = rows_[index];
    if (join_) {
        currentFile_ = row.Columns[4];
    } else {
        QString folder = row.Columns[4];
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        currentFile_ = folder + row.Columns[0];
    }
    if (info.TotalDuration > 0) {
        const std::int64_t percent = info.CurrentDuration * 100 / info.TotalDuration;
        progressValue_ = static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
        if (!join_) {
            row.Columns[3] = QStringLiteral("%1%").arg(progressValue_);
            row.Columns[2] = QString::fromLatin1(kTaskConverting);
        }
    } else if (!join_) {
        row.Columns[3] = QStringLiteral("N/A");
        row.Columns[2] = QString::fromLatin1(kTaskConverting);
    }
    elapsedDays_ = now() - startTime_;
    estimatedDays_ = EstimateRunDays(totalDuration_, elapsedDays_, finishedDuration_, info.CurrentDuration);
    if (!join_)
        emit rowChanged(index);
    emit progressChanged();
}

void ConversionRun::onTaskEnd(const TTerminateInfo &info)
{
    const int index = info.TaskIndex;
    const bool known = index >= 0 && index < static_cast<int>(rows_.size());
    if (info.Finished) {
        ++successCount_;
        if (index >= 0 && index < static_cast<int>(taskDurations_.size()))
            finishedDuration_ += taskDurations_[index];
        progressValue_ = 100;
        if (known) {
            rows_[index].Columns[3] = QStringLiteral("100%");
            rows_[index].Columns[2] = QString::fromLatin1(kTaskFinished);
        }
    } else if (known) {
        rows_[index].Columns[2] = QString::fromLatin1(kTaskFailed);
    }
    ++endedCount_;
    if (info.Exception)
        errors_ << QStringLiteral("File (%1): %2").arg(index).arg(QString::fromStdString(info.ExceptionMsg));
    if (known)
        emit rowChanged(index);
    emit progressChanged();
}

void ConversionRun::onRunEnd()
{
    encoder_.ClearTasks();
    active_ = false;
    currentFile_ = QStringLiteral("...");
    progressValue_ = 0;
    emit progressChanged();
    emit runEnded();
}

void ConversionRun::Stop()
{
    encoder_.Stop(true);
}

} // namespace quillor
