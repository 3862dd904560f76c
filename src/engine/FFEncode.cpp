#include "FFEncode.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <thread>

#include "FFDecode.h"
#include "FFLoad.h"
#include "MainThreadQueue.h"

namespace quillor {

namespace {

std::string formatText(const char *format, int value)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// Numbers handed to the option handler are written without regard to the
// process locale (the window runs with the user's locale, where the
// decimal separator may be a comma).
std::string realText(float value)
{
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

// Microseconds as seconds with a fraction, the duration syntax of "ss"
// and "t".
std::string durationText(int64_t microseconds)
{
    const bool negative = microseconds < 0;
    const uint64_t magnitude = negative ? uint64_t(0) - uint64_t(microseconds) : uint64_t(microseconds);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s%llu.%06llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 1000000),
                  static_cast<unsigned long long>(magnitude % 1000000));
    return buffer;
}

// A date-time in days since 1899-12-30 (local standard time) as seconds
// since 1970-01-01 UTC; 0 stands for now. Daylight saving is not applied,
// as the stored values never carried it.
int64_t unixSecondsFromDays(double days)
{
    if (days == 0.0)
        return static_cast<int64_t>(std::time(nullptr));
    tzset();
    const double biasDays = -static_cast<double>(timezone) / 86400.0; // east of UTC positive
    return static_cast<int64_t>(std::llround((days - 25569.0 - biasDays) * 86400.0));
}

std::string utcDateText(int64_t unixSeconds)
{
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%SZ", &tm);
    return buffer;
}

bool isOneOf(const std::string &name, std::initializer_list<const char *> names)
{
    for (const char *n : names)
        if (name == n)
            return true;
    return false;
}

// Per-stream codec options: kept out of the plain option pass because they
// belong to a particular stream (the default ones or a "new..." one).
bool isStreamCodecOption(const std::string &name)
{
    return isOneOf(name, {"acodec", "vcodec", "scodec", "apre", "vpre", "spre", "s", "vfilters", "vf"});
}

bool isNewStreamLine(const std::string &name)
{
    return isOneOf(name, {"newvideo", "newaudio", "newsubtitle"});
}

std::string messageOf(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

} // namespace

// ---------------------------------------------------------------------------
// TFFmpeg

TFFmpeg::TFFmpeg(TFFEncoder *owner, int maxFiles)
    : TCustomFFmpeg(maxFiles), owner_(owner), inputOptions_(maxFiles), outputOptions_(maxFiles),
      decoders_(maxFiles)
{
}

void TFFmpeg::SetOption(const std::string &name, const std::string &value)
{
    HandleOption(name, value);
}

TFFmpeg::~TFFmpeg()
{
    // Stop before the probes go: they look at the inputs the task owns.
    Stop(true);
    decoders_.clear();
}

TFFDecoder *TFFmpeg::Decoder(int index)
{
    if (index < 0 || index >= InputCount() || index >= int(decoders_.size()))
        return nullptr;
    if (!decoders_[index]) {
        AVFormatContext *context = InputContext(index);
        if (!context)
            return nullptr;
        auto decoder = std::make_unique<TFFDecoder>();
        decoder->AttachContext(context);
        decoders_[index] = std::move(decoder);
    }
    return decoders_[index].get();
}

// ---------------------------------------------------------------------------
// TFFmpegList

int TFFmpegList::Add(std::unique_ptr<TFFmpeg> task)
{
    std::lock_guard lock(mutex_);
    items_.push_back(std::move(task));
    return int(items_.size()) - 1;
}

TFFmpeg *TFFmpegList::Get(int index) const
{
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= int(items_.size()))
        return nullptr;
    return items_[index].get();
}

int TFFmpegList::IndexOf(const TCustomFFmpeg *task) const
{
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == task)
            return int(i);
    return -1;
}

int TFFmpegList::Count() const
{
    std::lock_guard lock(mutex_);
    return int(items_.size());
}

void TFFmpegList::Delete(int index)
{
    std::unique_ptr<TFFmpeg> doomed;
    {
        std::lock_guard lock(mutex_);
        if (index < 0 || index >= int(items_.size()))
            return;
        doomed = std::move(items_[index]);
        items_.erase(items_.begin() + index);
    }
    // Freed outside the lock: a task waits for its worker when it goes, and
    // the worker may still look up indexes.
    doomed.reset();
}

void TFFmpegList::ForEach(const std::function<void(TFFmpeg &)> &action) const
{
    std::lock_guard lock(mutex_);
    for (const auto &task : items_)
        action(*task);
}

void TFFmpegList::Clear()
{
    while (Count() > 0)
        Delete(0);
}

// ---------------------------------------------------------------------------
// TFFEncoder: construction, properties

TFFEncoder::TFFEncoder() : decoder_(std::make_unique<TFFDecoder>()) {}

TFFEncoder::~TFFEncoder()
{
    // Handlers that run on other threads are read under their locks, so
    // they are cleared under them; the others are read on this thread.
    {
        std::lock_guard lock(audioHookLock_);
        OnAudioHook = nullptr;
    }
    {
        std::lock_guard lock(videoHookLock_);
        OnVideoInputHook = nullptr;
        OnVideoOutputHook = nullptr;
    }
    {
        std::lock_guard lock(terminateLock_);
        OnTerminate = nullptr;
    }
    OnBeforeFindStreamInfo = nullptr;
    OnPreviewBitmap = nullptr;
    OnProgress = nullptr;
    Stop(true);
    tasks_.Clear();
    // Reports already handed to delivery threads refer to this component.
    WaitForDeliveries();
}

void TFFEncoder::SetProgressInterval(int milliseconds)
{
    progressInterval_ = milliseconds <= 100 ? 100 : milliseconds;
}

uint8_t TFFEncoder::PreviewFlags() const
{
    return uint8_t((preview_ ? kPreviewWindow : 0) | (previewBitmap_ ? kPreviewBitmap : 0));
}

void TFFEncoder::SetPreview(bool on)
{
    preview_ = on;
    const uint8_t flags = PreviewFlags();
    tasks_.ForEach([flags](TFFmpeg &task) { task.SetPreviewFlags(flags); });
}

void TFFEncoder::SetPreviewBitmap(bool on)
{
    previewBitmap_ = on;
    const uint8_t flags = PreviewFlags();
    tasks_.ForEach([flags](TFFmpeg &task) { task.SetPreviewFlags(flags); });
}

std::string TFFEncoder::LastError() const
{
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

void TFFEncoder::SetLastError(const std::string &text)
{
    std::lock_guard lock(errorMutex_);
    lastError_ = text;
}

void TFFEncoder::CheckIdle(const char *operation) const
{
    if (working_)
        throw TFFEncoderBusy(std::string("Cannot ") + operation + " while working.");
}

// ---------------------------------------------------------------------------
// Libraries

bool TFFEncoder::LoadLibraries(const std::string &path)
{
    TFFLoader &loader = FFLoader();
    loader.SetLibraryFolder(path);
    if (loader.LoadLibrarySet(EncoderLibraries))
        return true;
    SetLastError(loader.LastLoadError());
    return false;
}

bool TFFEncoder::LibrariesLoaded() const
{
    return FFLoader().LibrarySetLoaded(EncoderLibraries);
}

// ---------------------------------------------------------------------------
// Task list

std::unique_ptr<TFFmpeg> TFFEncoder::CreateTask()
{
    return std::make_unique<TFFmpeg>(this, kMaxFilesPerTask);
}

std::unique_ptr<TFFmpeg> TFFEncoder::NewTask()
{
    auto task = CreateTask();
    task->SetStrictOptions(true);
    return task;
}

void TFFEncoder::ApplyInputOptions(TFFmpeg &task, TInputOptions &options)
{
    for (const auto &[name, value] : ParseExtOptions(options.ExtOptions)) {
        if (isNewStreamLine(name) || isOneOf(name, {"apre", "vpre", "spre", "vfilters", "vf"}))
            continue;
        task.SetOption(name, value);
    }
    if (!options.FileFormat.empty())
        task.SetOption("f", options.FileFormat);
    if (options.TimeStart != kNoPts)
        task.SetOption("ss", durationText(options.TimeStart));
    if (options.ProgramID >= 0)
        task.SetOption("programid", std::to_string(options.ProgramID));
}

void TFFEncoder::AttachProbe(TFFmpeg &task, int inputIndex)
{
    task.decoders_.at(inputIndex).reset();
    task.Decoder(inputIndex);
}

void TFFEncoder::ConnectRunCallbacks(TFFmpeg &task)
{
    task.OnProgress = [this](TCustomFFmpeg *t, const TTaskProgress &p) { DoProgress(t, p); };
    task.OnTerminate = [this](TCustomFFmpeg *t) { DoTerminate(t); };
}

int TFFEncoder::AddTask(const std::string &fileName, TInputOptions *options)
{
    CheckIdle("AddTask");
    std::unique_ptr<TFFmpeg> task = NewTask();
    try {
        task->SetVerbosity(kVerbosity);
        task->SetPreviewFlags(PreviewFlags());
        task->OnBeforeFindStreamInfo = [this](TCustomFFmpeg *t, AVFormatContext *context) {
            if (OnBeforeFindStreamInfo)
                OnBeforeFindStreamInfo(t, context);
        };
        task->OnPreviewBitmap = [this](TCustomFFmpeg *t, const TTaskPicture &picture, int frame, int64_t pts) {
            DoPreviewBitmap(t, picture, frame, pts);
        };
        const int slot = task->InputCount();
        if (options) {
            if (options->FileName.empty())
                options->FileName = fileName;
            task->inputOptions_.at(slot) = *options;
            ApplyInputOptions(*task, *options);
        }
        task->SetIOTimeout(kIOTimeoutMs);
        if (!task->OpenInputFile(fileName)) {
            SetLastError(task->LastError());
            return -1;
        }
        AttachProbe(*task, task->InputCount() - 1);
        ConnectRunCallbacks(*task);
        return tasks_.Add(std::move(task));
    } catch (...) {
        SetLastError(messageOf(std::current_exception()));
        task->OnTerminate = nullptr;
        return -1;
    }
}

bool TFFEncoder::AddInputFile(int taskIndex, const std::string &fileName, TInputOptions *options)
{
    CheckIdle("AddInputFile");
    TFFmpeg *task = tasks_.Get(taskIndex);
    if (!task) {
        SetLastError(formatText("List index out of bounds (%d)", taskIndex));
        return false;
    }
    const int slot = task->InputCount();
    if (slot >= kMaxFilesPerTask) {
        SetLastError(formatText("max input files %d reached", kMaxFilesPerTask));
        return false;
    }
    try {
        task->SetStrictOptions(true);
        if (options) {
            if (options->FileName.empty())
                options->FileName = fileName;
            task->inputOptions_.at(slot) = *options;
            ApplyInputOptions(*task, *options);
        } else {
            InitInputOptions(task->inputOptions_.at(slot));
        }
        task->SetIOTimeout(kIOTimeoutMs);
        if (!task->OpenInputFile(fileName)) {
            InitInputOptions(task->inputOptions_.at(slot));
            SetLastError(task->LastError());
            return false;
        }
        AttachProbe(*task, task->InputCount() - 1);
        return true;
    } catch (...) {
        SetLastError(messageOf(std::current_exception()));
        return false;
    }
}

void TFFEncoder::ApplyOutputOptions(TFFmpeg &task, TOutputOptions &o, std::vector<TExtOption> &pending)
{
    std::map<std::string, std::string> defaults = {
        {"def_acodec", o.AudioCodec},  {"def_vcodec", o.VideoCodec},   {"def_scodec", o.SubtitleCodec},
        {"def_apre", o.AudioPreset},   {"def_vpre", o.VideoPreset},    {"def_spre", o.SubtitlePreset},
        {"def_s", o.FrameSize},        {"def_vf", o.VideoFilters},
    };
    const std::vector<TExtOption> lines = ParseExtOptions(o.ExtOptions);
    for (const auto &[rawName, value] : lines) {
        if (!isStreamCodecOption(rawName) || value.empty())
            continue;
        const std::string name = rawName == "vfilters" ? "vf" : rawName;
        std::string &fallback = defaults["def_" + name];
        if (fallback.empty())
            fallback = value;
        pending.emplace_back(name, value);
    }

    if (o.Target >= 1 && o.Target <= 3) {
        static const char *const kTargets[] = {"", "vcd", "svcd", "dvd"};
        const char *norm = o.NormType == 1 ? "pal" : o.NormType == 2 ? "ntsc" : "auto";
        task.ApplyTarget(kTargets[o.Target], norm, o.NormDefault == 1 ? "pal" : "ntsc");
    }

    auto applyIfSet = [&task](const char *name, const std::string &value) {
        if (!value.empty())
            task.SetOption(name, value);
    };
    applyIfSet("acodec", defaults["def_acodec"]);
    applyIfSet("vcodec", defaults["def_vcodec"]);
    applyIfSet("scodec", defaults["def_scodec"]);
    applyIfSet("apre", defaults["def_apre"]);
    applyIfSet("vpre", defaults["def_vpre"]);
    applyIfSet("spre", defaults["def_spre"]);

    for (const auto &[name, value] : lines) {
        if (isNewStreamLine(name) || isStreamCodecOption(name))
            continue;
        task.SetOption(name, value);
    }

    auto positive = [&task](const char *name, int value) {
        if (value > 0)
            task.SetOption(name, std::to_string(value));
    };
    auto positiveReal = [&task](const char *name, float value) {
        if (value > 0)
            task.SetOption(name, realText(value));
    };
    auto flag = [&task](const char *name, bool on) {
        if (on)
            task.SetOption(name, "1");
    };

    applyIfSet("f", o.FileFormat);
    positive("packetsize", o.PacketSize);
    positive("muxrate", o.MuxRate);
    positiveReal("muxdelay", o.MuxDelay);
    positiveReal("muxpreload", o.MuxPreload);
    flag("an", o.DisableAudio);
    if (o.AudioVolume >= 0)
        task.SetOption("vol", std::to_string(o.AudioVolume));
    positive("ac", o.AudioChannels);
    positive("ar", o.AudioSampleRate);
    if (o.Target == 0)
        positive("ab", o.AudioBitrate);
    positive("abt", o.AudioBitrateTolerance);
    applyIfSet("alang", o.AudioLanguage);
    task.SetOption("async", std::to_string(o.AudioSync));
    applyIfSet("atag", o.AudioTag);
    flag("vn", o.DisableVideo);
    applyIfSet("r", o.FrameRate);
    applyIfSet("aspect", o.AspectRatio);
    positive("g", o.GopSize);
    if (o.Target == 0)
        positive("vb", o.VideoBitrate);
    positive("maxrate", o.VideoMaxRate);
    positive("minrate", o.VideoMinRate);
    positive("bt", o.VideoBitrateTolerance);
    positive("bufsize", o.VideoBufferSize);
    task.SetOption("vsync", std::to_string(o.VideoSync));
    applyIfSet("vtag", o.VideoTag);
    applyIfSet("vlang", o.VideoLanguage);
    flag("sn", o.DisableSubtitle);
    applyIfSet("slang", o.SubtitleLanguage);
    task.SetOption("isync", o.InputSync ? "1" : "0");
    flag("copyts", o.CopyTimestamps);
    if (o.TimeStart != kNoPts)
        task.SetOption("ss", durationText(o.TimeStart));
    if (o.TimeLength != kNoPts)
        task.SetOption("t", durationText(o.TimeLength));

    const TStreamInfo &info = o.StreamInfo;
    if (info.Timestamp >= 0)
        task.SetOption("timestamp", utcDateText(unixSecondsFromDays(info.Timestamp)));
    if (info.Year > 0)
        task.SetOption("metadata", "year=" + std::to_string(info.Year));
    if (info.Track > 0)
        task.SetOption("metadata", "track=" + std::to_string(info.Track));
    const std::pair<const char *, const std::string *> texts[] = {
        {"title", &info.Title},     {"author", &info.Author}, {"copyright", &info.Copyright},
        {"comment", &info.Comment}, {"album", &info.Album},   {"genre", &info.Genre},
    };
    for (const auto &[key, text] : texts)
        if (!text->empty())
            task.SetOption("metadata", std::string(key) + "=" + *text);

    applyIfSet("s", defaults["def_s"]);
    applyIfSet("vf", defaults["def_vf"]);

    if (o.AudioHook)
        task.OnAudioHook = [this](TCustomFFmpeg *t, int64_t pts, uint8_t *samples, int size, int rate,
                                  int channels, int format) {
            std::lock_guard lock(audioHookLock_);
            if (!OnAudioHook)
                return;
            OnAudioHook(this, tasks_.IndexOf(t), pts, samples, size, rate, channels, format);
        };
    if (o.VideoInputHook)
        task.OnVideoInputHook = [this](TCustomFFmpeg *t, TTaskPicture &picture, int frame, int64_t pts,
                                       bool &update, bool &stopHook) {
            DoVideoInputHook(t, picture, frame, pts, update, stopHook);
        };
    if (o.VideoOutputHook)
        task.OnVideoOutputHook = [this](TCustomFFmpeg *t, TTaskPicture &picture, int frame, int64_t pts,
                                        bool &update, bool &stopHook) {
            DoVideoOutputHook(t, picture, frame, pts, update, stopHook);
        };
    task.SetVideoHookBitsPixel(o.VideoHookBitsPixel);

    // Defaults for the extra streams that "new..." lines add afterwards.
    for (const char *name : {"acodec", "vcodec", "scodec", "apre", "vpre", "spre", "s", "vf"})
        pending.emplace_back(std::string("def_") + name, defaults["def_" + std::string(name)]);
}

void TFFEncoder::AddPendingStreams(TFFmpeg &task, const TOutputOptions &options,
                                   std::vector<TExtOption> &pending)
{
    auto defaultOf = [&pending](const std::string &name) {
        for (const auto &[n, v] : pending)
            if (n == "def_" + name)
                return v;
        return std::string();
    };
    auto take = [&](const std::string &name) {
        for (auto it = pending.begin(); it != pending.end(); ++it) {
            if (it->first == name) {
                const std::string value = it->second;
                pending.erase(it);
                task.SetOption(name, value);
                return;
            }
        }
        const std::string value = defaultOf(name);
        // An unset preset or size means "none", as for the first stream.
        if (value.empty() && isOneOf(name, {"apre", "vpre", "spre", "s"}))
            return;
        task.SetOption(name, value);
    };
    for (const auto &[name, value] : ParseExtOptions(options.ExtOptions)) {
        if (name == "newaudio") {
            take("acodec");
            take("apre");
        } else if (name == "newvideo") {
            take("vcodec");
            take("vpre");
            take("s");
            take("vf");
        } else if (name == "newsubtitle") {
            take("scodec");
            take("spre");
        } else {
            continue;
        }
        task.SetOption(name, value);
    }
}

bool TFFEncoder::SetOutputFile(int taskIndex, const std::string &fileName, TOutputOptions *options)
{
    CheckIdle("SetOutputFile");
    TFFmpeg *task = tasks_.Get(taskIndex);
    if (!task) {
        SetLastError(formatText("List index out of bounds (%d)", taskIndex));
        return false;
    }
    const int slot = task->OutputCount();
    if (slot >= kMaxFilesPerTask) {
        SetLastError(formatText("max output files %d reached", kMaxFilesPerTask));
        return false;
    }
    try {
        task->SetStrictOptions(true);
        std::vector<TExtOption> pending;
        bool join = false;
        if (options) {
            if (options->FileName.empty())
                options->FileName = fileName;
            task->outputOptions_.at(slot) = *options;
            ApplyOutputOptions(*task, *options, pending);
            join = options->Join;
        } else {
            InitOutputOptions(task->outputOptions_.at(slot));
        }
        task->SetIOTimeout(kIOTimeoutMs);
        if (task->OpenOutputFile(fileName, join) < 0) {
            SetLastError(task->LastError());
            InitOutputOptions(task->outputOptions_.at(slot));
            return false;
        }
        if (options) {
            AddPendingStreams(*task, *options, pending);
            if (options->Join)
                task->SetupJoin();
        }
        return true;
    } catch (...) {
        SetLastError(messageOf(std::current_exception()));
        return false;
    }
}

void TFFEncoder::DestroyTask(int index)
{
    // A task that never ran has nothing to report: removing it while no
    // run is working must not raise end events (a lone run-end report
    // would tell the window that a run finished).
    if (!working_)
        if (TFFmpeg *task = tasks_.Get(index))
            task->OnTerminate = nullptr;
    tasks_.Delete(index);
}

void TFFEncoder::RemoveTask(int taskIndex)
{
    CheckIdle("RemoveTask");
    if (!tasks_.Get(taskIndex)) {
        SetLastError(formatText("List index out of bounds (%d)", taskIndex));
        return;
    }
    DestroyTask(taskIndex);
}

void TFFEncoder::ClearTasks()
{
    if (working_ && !allEnded_)
        throw TFFEncoderBusy("Cannot ClearTasks while working.");
    // The run-end handler clears the tasks from its own thread, possibly
    // while the main thread is still returning from Stop on the last task.
    if (!MainThreadQueue::instance().onMainThread()) {
        std::unique_lock lock(stopMutex_);
        stopDone_.wait(lock, [this] { return stopping_ == 0; });
    }
    while (tasks_.Count() > 0)
        DestroyTask(0);
    SetLastError(std::string());
    std::lock_guard lock(terminateLock_);
    endedCount_ = 0;
    nextIndex_ = -1;
    toStart_ = 0;
    allEnded_ = false;
    threaded_ = false;
    working_ = false;
}

// ---------------------------------------------------------------------------
// Running

void TFFEncoder::StartTask(int threadCount)
{
    CheckIdle("StartTask");
    {
        std::lock_guard lock(terminateLock_);
        endedCount_ = 0;
        nextIndex_ = 0;
        toStart_ = TaskCount();
        allEnded_ = false;
        threaded_ = threadCount > 0;
        working_ = true;
    }
    if (TaskCount() == 0) {
        // Nothing to run: end the run at once, so that a caller waiting for
        // the run-end report is not left waiting forever.
        std::lock_guard lock(terminateLock_);
        IssueRunEnd();
        return;
    }
    if (threaded_) {
        for (int started = 0; started < threadCount; ++started) {
            std::lock_guard lock(terminateLock_);
            if (toStart_ <= 0)
                break;
            StartNextTask();
        }
        return;
    }
    // On the calling thread each task runs outside the terminate lock: a
    // stop requested meanwhile ends the waiting tasks from other threads,
    // whose reports need that lock.
    for (;;) {
        TFFmpeg *task;
        {
            std::lock_guard lock(terminateLock_);
            if (toStart_ <= 0)
                break;
            task = TakeNextTask();
        }
        if (task)
            task->Start(false, ThreadPriority);
    }
}

// Called under the terminate lock.
TFFmpeg *TFFEncoder::TakeNextTask()
{
    if (toStart_ <= 0)
        return nullptr;
    --toStart_;
    TFFmpeg *task = tasks_.Get(nextIndex_++);
    if (task)
        task->SetProgressInterval(int64_t(progressInterval_) * 1000);
    return task;
}

// Threaded runs; called under the terminate lock.
void TFFEncoder::StartNextTask()
{
    if (TFFmpeg *task = TakeNextTask())
        if (TConvertThread *thread = task->Start(true, ThreadPriority))
            thread->Resume();
}

void TFFEncoder::Stop(bool waitForStop)
{
    toStart_ = 0;
    if (!working_)
        return;
    {
        std::lock_guard lock(stopMutex_);
        ++stopping_;
    }
    for (int i = 0; i < tasks_.Count(); ++i)
        if (TFFmpeg *task = tasks_.Get(i))
            task->Stop(waitForStop);
    {
        std::lock_guard lock(stopMutex_);
        --stopping_;
    }
    stopDone_.notify_all();
}

// ---------------------------------------------------------------------------
// Events

void TFFEncoder::DoProgress(TCustomFFmpeg *task, const TTaskProgress &progress)
{
    // With main-thread delivery the handler is looked at only there, where
    // it is also assigned.
    if (!TriggerEventInMainThread && !OnProgress)
        return;
    std::lock_guard lock(progressLock_);
    progressInfo_.TaskIndex = tasks_.IndexOf(task);
    progressInfo_.FileIndex = progress.FileIndex;
    progressInfo_.FrameNumber = progress.FrameNumber;
    progressInfo_.FPS = progress.FPS;
    progressInfo_.Quality = progress.Quality;
    progressInfo_.BitRate = progress.BitRate;
    progressInfo_.CurrentSize = progress.CurrentSize;
    progressInfo_.CurrentDuration = progress.CurrentDuration;
    progressInfo_.TotalDuration = progress.TotalDuration;
    auto call = [this] {
        if (OnProgress)
            OnProgress(this, &progressInfo_);
    };
    if (TriggerEventInMainThread)
        MainThreadQueue::instance().send(call);
    else
        call();
}

void TFFEncoder::DoPreviewBitmap(TCustomFFmpeg *task, const TTaskPicture &picture, int frameNumber, int64_t pts)
{
    if (!TriggerEventInMainThread && !OnPreviewBitmap)
        return;
    std::lock_guard lock(previewBitmapLock_);
    previewInfo_.TaskIndex = tasks_.IndexOf(task);
    previewInfo_.Bitmap = const_cast<TTaskPicture *>(&picture);
    previewInfo_.FrameNumber = frameNumber;
    previewInfo_.PTS = pts;
    auto call = [this] {
        if (OnPreviewBitmap)
            OnPreviewBitmap(this, previewInfo_);
    };
    if (TriggerEventInMainThread)
        MainThreadQueue::instance().send(call);
    else
        call();
}

void TFFEncoder::Hook(const TVideoHookEvent &handler, TCustomFFmpeg *task, TTaskPicture &picture,
                      int frameNumber, int64_t pts, bool &update, bool &stopHook)
{
    std::lock_guard lock(videoHookLock_);
    if (!handler)
        return;
    hookInfo_.TaskIndex = tasks_.IndexOf(task);
    hookInfo_.Bitmap = &picture;
    hookInfo_.FrameNumber = frameNumber;
    hookInfo_.PTS = pts;
    hookInfo_.Update = update;
    hookInfo_.StopHook = stopHook;
    handler(this, &hookInfo_);
    update = hookInfo_.Update;
    stopHook = hookInfo_.StopHook;
}

void TFFEncoder::DoVideoInputHook(TCustomFFmpeg *task, TTaskPicture &picture, int frameNumber, int64_t pts,
                                  bool &update, bool &stopHook)
{
    Hook(OnVideoInputHook, task, picture, frameNumber, pts, update, stopHook);
}

void TFFEncoder::DoVideoOutputHook(TCustomFFmpeg *task, TTaskPicture &picture, int frameNumber, int64_t pts,
                                   bool &update, bool &stopHook)
{
    Hook(OnVideoOutputHook, task, picture, frameNumber, pts, update, stopHook);
}

void TFFEncoder::DoTerminate(TCustomFFmpeg *task)
{
    std::lock_guard lock(terminateLock_);
    if (OnTerminate) {
        terminateInfo_.TaskIndex = tasks_.IndexOf(task);
        terminateInfo_.Finished = task->Finished();
        terminateInfo_.Exception = task->Exception();
        terminateInfo_.ExceptionMsg = task->Exception() ? task->ExceptionMsg() : std::string();
        if (threaded_ || !working_) {
            DeliverTerminate(terminateInfo_, false);
        } else {
            try {
                OnTerminate(this, terminateInfo_);
            } catch (...) {
                // A handler's failure must not cost the run its remaining
                // reports; it is contained as on a delivery thread.
            }
        }
    }
    ++endedCount_;
    if (toStart_ > 0) {
        if (threaded_)
            StartNextTask();
    } else if (working_ && endedCount_ >= TaskCount()) {
        IssueRunEnd();
    }
}

// Called under the terminate lock.
void TFFEncoder::IssueRunEnd()
{
    if (allEnded_)
        return;
    // Set before the report goes out: its handler may clear the tasks.
    allEnded_ = true;
    if (!OnTerminate)
        return;
    terminateInfo_.TaskIndex = -1;
    terminateInfo_.Finished = true;
    terminateInfo_.Exception = false;
    terminateInfo_.ExceptionMsg.clear();
    if (threaded_ || !working_) {
        DeliverTerminate(terminateInfo_, true);
    } else {
        try {
            OnTerminate(this, terminateInfo_);
        } catch (...) {
        }
    }
}

void TFFEncoder::DeliverTerminate(const TTerminateInfo &info, bool /*runEnd*/)
{
    uint64_t ticket;
    {
        std::lock_guard lock(deliveryMutex_);
        ticket = ++ticketsIssued_;
        ++deliveryThreads_;
    }
    std::thread([this, handler = OnTerminate, info, ticket] {
        {
            // Every earlier report first: a run-end report thereby follows
            // the last task's report, and task reports keep their order.
            std::unique_lock lock(deliveryMutex_);
            while (ticketsDelivered_ + 1 != ticket)
                deliveryChanged_.wait_for(lock, std::chrono::milliseconds(10));
        }
        try {
            handler(this, info);
        } catch (...) {
            // Contained in this thread; the next report still goes out.
        }
        // Announced while the lock is held, so that a component waiting in
        // its destructor cannot be gone before this thread lets go of it.
        std::lock_guard lock(deliveryMutex_);
        ticketsDelivered_ = ticket;
        --deliveryThreads_;
        deliveryChanged_.notify_all();
        MainThreadQueue::instance().wake();
    }).detach();
}

void TFFEncoder::WaitForDeliveries()
{
    auto done = [this] {
        std::lock_guard lock(deliveryMutex_);
        return deliveryThreads_ == 0;
    };
    MainThreadQueue &queue = MainThreadQueue::instance();
    if (queue.onMainThread()) {
        // A handler may be sending a call to the main thread.
        queue.serveUntil(done);
        return;
    }
    std::unique_lock lock(deliveryMutex_);
    deliveryChanged_.wait(lock, [this] { return deliveryThreads_ == 0; });
}

} // namespace quillor
