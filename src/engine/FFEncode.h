#pragma once
// The encoder component: the one object through which the application
// converts media.
//
// It keeps an ordered list of tasks (one output file each, made from one
// or more inputs), turns the option records of FFTaskOptions.h into task
// options, runs the tasks one after another on worker threads (or all on
// the calling thread with StartTask(0)), and reports progress and the end
// of every task and of the whole run through its events.
//
// Threads: every operation is called on the main thread. OnProgress and
// OnPreviewBitmap run on the main thread when TriggerEventInMainThread is
// set (the worker waits for the handler), else on the worker. OnTerminate
// runs on a short-lived thread of its own in a threaded run, one per
// report, in the order the tasks ended; the run-end report (TaskIndex -1)
// comes only after every task's report has returned. Hooks run on the
// worker.
//
// Failures: list operations return a result and keep LastError(); only
// the working-state check ("Cannot %s while working.") throws, as
// TFFEncoderBusy.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "FFTaskOptions.h"
#include "FFmpeg.h"

struct AVFormatContext;

namespace quillor {

class TFFEncoder;
class TFFDecoder;

// Raised by the list operations while a run is working.
class TFFEncoderBusy : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TProgressEvent = std::function<void(TFFEncoder *sender, TProgressInfo *progressInfo)>;
using TTerminateEvent = std::function<void(TFFEncoder *sender, const TTerminateInfo &terminateInfo)>;
using TPreviewBitmapEvent = std::function<void(TFFEncoder *sender, const TPreviewInfo &previewInfo)>;
using TVideoHookEvent = std::function<void(TFFEncoder *sender, THookInfo *hookInfo)>;
using TAudioHookEvent = std::function<void(TFFEncoder *sender, int taskIndex, int64_t pts, uint8_t *sample,
                                           int size, int sampleRate, int channels, int sampleFormat)>;
// Sender is the task that opened the input.
using TBeforeFindStreamInfoEvent = std::function<void(TCustomFFmpeg *sender, AVFormatContext *formatContext)>;

// One task of the encoder: a transcoding task that also remembers the
// option records it was given and offers a probe per opened input.
class TFFmpeg : public TCustomFFmpeg {
public:
    TFFmpeg(TFFEncoder *owner, int maxFiles);
    ~TFFmpeg() override;

    TFFEncoder *Owner() const { return owner_; }

    // Every option the encoder gives the task goes through here.
    virtual void SetOption(const std::string &name, const std::string &value);

    // The probe attached to input `index` (made on first use); null when
    // that input is not open.
    TFFDecoder *Decoder(int index);

    // Copies of the records given for each input and output slot (default
    // records for slots opened without one).
    const TInputOptions &InputOptions(int index) const { return inputOptions_.at(index); }
    const TOutputOptions &OutputOptions(int index) const { return outputOptions_.at(index); }

private:
    friend class TFFEncoder;

    TFFEncoder *owner_;
    std::vector<TInputOptions> inputOptions_;
    std::vector<TOutputOptions> outputOptions_;
    std::vector<std::unique_ptr<TFFDecoder>> decoders_;
};

// The owning, ordered task list.
class TFFmpegList {
public:
    int Add(std::unique_ptr<TFFmpeg> task);
    TFFmpeg *Get(int index) const;
    int IndexOf(const TCustomFFmpeg *task) const;
    int Count() const;
    void Delete(int index);
    // Frees every task, first to last.
    void Clear();
    // Runs `action` on every task while the list cannot change.
    void ForEach(const std::function<void(TFFmpeg &)> &action) const;

private:
    // Guards the vector itself: worker threads look up their index while
    // the main thread may change preview flags over the list.
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<TFFmpeg>> items_;
};

// The component base: the five notifications a task raises, each turned
// into the task's current index before an event record is built.
class TCustomEncoder {
public:
    virtual ~TCustomEncoder() = default;
    std::string About = "Quillor media engine";

protected:
    virtual void DoVideoInputHook(TCustomFFmpeg *task, TTaskPicture &picture, int frameNumber, int64_t pts,
                                  bool &update, bool &stopHook) = 0;
    virtual void DoVideoOutputHook(TCustomFFmpeg *task, TTaskPicture &picture, int frameNumber, int64_t pts,
                                   bool &update, bool &stopHook) = 0;
    virtual void DoPreviewBitmap(TCustomFFmpeg *task, const TTaskPicture &picture, int frameNumber,
                                 int64_t pts) = 0;
    virtual void DoProgress(TCustomFFmpeg *task, const TTaskProgress &progress) = 0;
    virtual void DoTerminate(TCustomFFmpeg *task) = 0;
};

class TFFEncoder : public TCustomEncoder {
public:
    static constexpr int kMaxFilesPerTask = 20;
    static constexpr int kIOTimeoutMs = 10000;
    static constexpr int kVerbosity = 1;

    TFFEncoder();
    ~TFFEncoder() override;

    TFFEncoder(const TFFEncoder &) = delete;
    TFFEncoder &operator=(const TFFEncoder &) = delete;

    // --- published properties ------------------------------------------
    std::string Version() const { return "3.9"; }
    bool Preview() const { return preview_; }
    void SetPreview(bool on);
    bool PreviewBitmap() const { return previewBitmap_; }
    void SetPreviewBitmap(bool on);
    int ProgressInterval() const { return progressInterval_; }
    // Milliseconds between two progress reports of a task; 100 at least.
    void SetProgressInterval(int milliseconds);
    TThreadPriority ThreadPriority = TThreadPriority::tpNormal;
    bool TriggerEventInMainThread = true;

    TAudioHookEvent OnAudioHook;
    TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;
    TPreviewBitmapEvent OnPreviewBitmap;
    TProgressEvent OnProgress;
    TTerminateEvent OnTerminate;
    TVideoHookEvent OnVideoInputHook;
    TVideoHookEvent OnVideoOutputHook;

    // --- libraries --------------------------------------------------------
    // Loads the engine's libraries from `path` (empty: the system's normal
    // search). False with LastError() on failure.
    bool LoadLibraries(const std::string &path);
    bool LibrariesLoaded() const;

    // --- task list --------------------------------------------------------
    // A new task reading FileName; its index, or -1 with LastError().
    int AddTask(const std::string &fileName, TInputOptions *options = nullptr);
    int AddTask(const std::string &fileName, TInputOptions &options) { return AddTask(fileName, &options); }
    bool AddInputFile(int taskIndex, const std::string &fileName, TInputOptions *options = nullptr);
    bool AddInputFile(int taskIndex, const std::string &fileName, TInputOptions &options)
    {
        return AddInputFile(taskIndex, fileName, &options);
    }
    bool SetOutputFile(int taskIndex, const std::string &fileName, TOutputOptions *options = nullptr);
    bool SetOutputFile(int taskIndex, const std::string &fileName, TOutputOptions &options)
    {
        return SetOutputFile(taskIndex, fileName, &options);
    }
    void RemoveTask(int taskIndex);
    void ClearTasks();
    int TaskCount() const { return tasks_.Count(); }
    TFFmpeg *Task(int taskIndex) const { return tasks_.Get(taskIndex); }

    // --- running ----------------------------------------------------------
    // ThreadCount > 0: starts that many tasks on worker threads and returns;
    // each ended task starts the next. ThreadCount <= 0: runs every task on
    // the calling thread and returns after the run-end report.
    void StartTask(int threadCount);
    // Stops the run: tasks not started end with Finished false, running
    // ones are asked to stop. With waitForStop, returns when they have.
    void Stop(bool waitForStop);

    // True between StartTask and ClearTasks.
    bool Working() const { return working_; }
    // True once the run-end report has been issued.
    bool AllEnded() const { return allEnded_; }

    std::string LastError() const;
    TFFDecoder *Decoder() const { return decoder_.get(); }

protected:
    // Makes the task object for AddTask.
    virtual std::unique_ptr<TFFmpeg> CreateTask();

    void DoVideoInputHook(TCustomFFmpeg *task, TTaskPicture &picture, int frameNumber, int64_t pts,
                          bool &update, bool &stopHook) override;
    void DoVideoOutputHook(TCustomFFmpeg *task, TTaskPicture &picture, int frameNumber, int64_t pts,
                           bool &update, bool &stopHook) override;
    void DoPreviewBitmap(TCustomFFmpeg *task, const TTaskPicture &picture, int frameNumber,
                         int64_t pts) override;
    void DoProgress(TCustomFFmpeg *task, const TTaskProgress &progress) override;
    void DoTerminate(TCustomFFmpeg *task) override;

private:
    void CheckIdle(const char *operation) const;
    void SetLastError(const std::string &text);
    void ApplyInputOptions(TFFmpeg &task, TInputOptions &options);
    void ApplyOutputOptions(TFFmpeg &task, TOutputOptions &options, std::vector<TExtOption> &pending);
    void AddPendingStreams(TFFmpeg &task, const TOutputOptions &options, std::vector<TExtOption> &pending);
    void ConnectRunCallbacks(TFFmpeg &task);
    void AttachProbe(TFFmpeg &task, int inputIndex);
    std::unique_ptr<TFFmpeg> NewTask();
    void DestroyTask(int index);
    TFFmpeg *TakeNextTask();
    void StartNextTask();
    void IssueRunEnd();
    void DeliverTerminate(const TTerminateInfo &info, bool runEnd);
    void WaitForDeliveries();
    uint8_t PreviewFlags() const;
    void Hook(const TVideoHookEvent &handler, TCustomFFmpeg *task, TTaskPicture &picture, int frameNumber,
              int64_t pts, bool &update, bool &stopHook);

    TFFmpegList tasks_;
    std::unique_ptr<TFFDecoder> decoder_;

    mutable std::mutex errorMutex_;
    std::string lastError_;

    std::atomic<bool> preview_{false};
    std::atomic<bool> previewBitmap_{false};
    std::atomic<int> progressInterval_{500};

    // Run state.
    int endedCount_ = 0;
    int nextIndex_ = -1;
    std::atomic<int> toStart_{0};
    bool threaded_ = false;
    std::atomic<bool> working_{false};
    std::atomic<bool> allEnded_{false};

    // The five locks.
    std::mutex audioHookLock_;
    std::mutex previewBitmapLock_;
    std::mutex progressLock_;
    std::recursive_mutex terminateLock_; // a task that cannot start reports from inside Start
    std::mutex videoHookLock_;

    // The records handed to handlers; one per event kind.
    TProgressInfo progressInfo_;
    TTerminateInfo terminateInfo_;
    TPreviewInfo previewInfo_;
    THookInfo hookInfo_;

    // Stop calls in progress; a ClearTasks from another thread waits for
    // them, as they still work on the tasks.
    std::mutex stopMutex_;
    std::condition_variable stopDone_;
    int stopping_ = 0;

    // Terminate deliveries: each report gets a ticket when it is issued;
    // a delivery thread waits until every earlier ticket has been
    // delivered, so handlers see task ends in order and the run-end report
    // strictly after all of them.
    std::mutex deliveryMutex_;
    std::condition_variable deliveryChanged_;
    uint64_t ticketsIssued_ = 0;
    uint64_t ticketsDelivered_ = 0;
    int deliveryThreads_ = 0;
};

} // namespace quillor
