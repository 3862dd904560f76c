// The transcoding task: construction, settings, opening the input and
// output files, and run control (worker thread, stop, end report).
// The loop itself is in FFTranscode.cpp, the option table in FFOptions.cpp.

#include "FFmpeg.h"
#include "FFUtils.h"

#include "FFmpegImpl.h"
#include "MainThreadQueue.h"
#include "UnicodeProtocol.h"

#include <chrono>
#include <cstdarg>
#include <cstring>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quillor {

namespace {

// Waits for an event; a main thread keeps serving queued calls meanwhile,
// since the worker may be blocked sending one to it.
void waitFor(const std::shared_ptr<TCustomFFmpeg::Impl::DoneEvent> &ev)
{
    auto &q = MainThreadQueue::instance();
    if (q.hasMainThread() && q.onMainThread()) {
        while (!ev->isSet())
            q.serveUntil([&] { return ev->isSet(); }, std::chrono::milliseconds(20));
    } else {
        std::unique_lock<std::mutex> l(ev->m);
        ev->cv.wait(l, [&] { return ev->set; });
    }
}

int niceFor(TThreadPriority p)
{
    switch (p) {
    case TThreadPriority::tpIdle:
        return 19;
    case TThreadPriority::tpLowest:
        return 10;
    case TThreadPriority::tpLower:
        return 5;
    default:
        return 0;
    }
}

class ConvertThread final : public TConvertThread {
public:
    ConvertThread(TCustomFFmpeg::Impl *d, TThreadPriority priority)
        : d_(d), priority_(priority), done_(d->workerDone)
    {
    }
    ~ConvertThread() override
    {
        if (thread_.joinable()) {
            if (thread_.get_id() == std::this_thread::get_id())
                thread_.detach();
            else
                thread_.join();
        }
    }
    void Resume() override
    {
        std::lock_guard<std::mutex> l(m_);
        if (started_)
            return;
        started_ = true;
        done_->reset();
        thread_ = std::thread([d = d_, prio = priority_, done = done_] {
            if (int n = niceFor(prio))
                setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), n);
            d->runBody();
            done->signal();
            MainThreadQueue::instance().wake();
        });
    }
    bool Suspended() const override
    {
        std::lock_guard<std::mutex> l(m_);
        return !started_;
    }

private:
    TCustomFFmpeg::Impl *d_;
    TThreadPriority priority_;
    std::shared_ptr<TCustomFFmpeg::Impl::DoneEvent> done_;
    mutable std::mutex m_;
    bool started_ = false;
    std::thread thread_;
};

} // namespace

int64_t NowMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string AvErrorString(int code)
{
    char buf[256] = {0};
    if (ff().av_strerror(code, buf, sizeof buf) < 0)
        return FormatText("Error number %d occurred", code);
    return buf;
}


// ---------------------------------------------------------------------------

TCustomFFmpeg::TCustomFFmpeg(int maxFiles)
{
    if (maxFiles < 1 || maxFiles > 512)
        throw std::invalid_argument("TCustomFFmpeg: maximum files must be 1..512");
    d_ = std::make_unique<Impl>(this, maxFiles);
}

TCustomFFmpeg::~TCustomFFmpeg()
{
    Stop(true);
    // A worker or terminate thread may still run its last lines after the
    // end report; never free the state under it.
    waitFor(d_->workerDone);
    waitFor(d_->terminateDone);
    d_->worker.reset();
    d_->closeFiles();
}

void TCustomFFmpeg::SetStrictOptions(bool strict) { d_->strict = strict; }
void TCustomFFmpeg::SetVerbosity(int verbosity) { d_->verbosity = verbosity; }
void TCustomFFmpeg::SetIOTimeout(int milliseconds) { d_->ioTimeoutMs = milliseconds; }
void TCustomFFmpeg::SetProgressInterval(int64_t microseconds) { d_->progressInterval = microseconds; }

namespace {
std::mutex &previewLock()
{
    static std::mutex m;
    return m;
}
} // namespace

namespace {
std::mutex &previewSinkLock()
{
    static std::mutex m;
    return m;
}
TCustomFFmpeg::PreviewWindowSink &previewSink()
{
    static TCustomFFmpeg::PreviewWindowSink sink;
    return sink;
}
} // namespace

void TCustomFFmpeg::SetPreviewWindowSink(PreviewWindowSink sink)
{
    std::lock_guard<std::mutex> l(previewSinkLock());
    previewSink() = std::move(sink);
}

bool TCustomFFmpeg::Impl::showInPreviewWindow(const TTaskPicture &picture, int frameNumber, int64_t pts)
{
    PreviewWindowSink sink;
    {
        std::lock_guard<std::mutex> l(previewSinkLock());
        sink = previewSink();
    }
    if (!sink)
        return true;
    if (sink(self, picture, frameNumber, pts))
        return true;
    std::lock_guard<std::mutex> l(previewLock());
    previewFlags = static_cast<uint8_t>(previewFlags & ~kPreviewWindow);
    return false;
}

void TCustomFFmpeg::SetPreviewFlags(uint8_t flags)
{
    std::lock_guard<std::mutex> l(previewLock());
    d_->previewFlags = flags;
}

uint8_t TCustomFFmpeg::PreviewFlags() const { return d_->previewFlags; }

void TCustomFFmpeg::SetVideoHookBitsPixel(int bits) { d_->hookBits = bits; }

void TCustomFFmpeg::HandleOption(const std::string &name, const std::string &value)
{
    d_->handleOption(name, value);
}

void TCustomFFmpeg::ApplyTarget(const std::string &target, const std::string &norm, const std::string &fallbackNorm)
{
    d_->applyTarget(target, norm, fallbackNorm);
}

void TCustomFFmpeg::SetInputFormat(const std::string &shortName) { d_->opt.forcedFormat = shortName; }
void TCustomFFmpeg::SetStartTime(int64_t microseconds) { d_->opt.startTime = microseconds; }
void TCustomFFmpeg::SetProgramID(int programId) { d_->opt.programId = programId; }

bool TCustomFFmpeg::OpenInputFile(const std::string &fileName) { return d_->openInput(fileName); }
int TCustomFFmpeg::OpenOutputFile(const std::string &fileName, bool join) { return d_->openOutput(fileName, join); }
void TCustomFFmpeg::SetupJoin() { d_->setupJoin(); }

int TCustomFFmpeg::InputCount() const { return static_cast<int>(d_->inputs.size()); }
int TCustomFFmpeg::OutputCount() const { return static_cast<int>(d_->outputs.size()); }

AVFormatContext *TCustomFFmpeg::InputContext(int index) const
{
    if (index < 0 || index >= InputCount())
        return nullptr;
    return d_->inputs[index].ctx;
}

bool TCustomFFmpeg::Running() const { return d_->running; }
bool TCustomFFmpeg::Ended() const { return d_->ended; }
bool TCustomFFmpeg::Finished() const
{
    std::lock_guard<std::mutex> l(d_->stateMutex);
    return d_->finished;
}
bool TCustomFFmpeg::Exception() const
{
    std::lock_guard<std::mutex> l(d_->stateMutex);
    return d_->exceptionRaised;
}
std::string TCustomFFmpeg::ExceptionMsg() const
{
    std::lock_guard<std::mutex> l(d_->stateMutex);
    return d_->exceptionMsg;
}
std::string TCustomFFmpeg::LastError() const
{
    std::lock_guard<std::mutex> l(d_->stateMutex);
    return d_->lastError;
}
void TCustomFFmpeg::SetLastError(const std::string &text)
{
    std::lock_guard<std::mutex> l(d_->stateMutex);
    d_->lastError = text;
}
int64_t TCustomFFmpeg::TotalDuration() const { return d_->totalDuration; }

TConvertThread *TCustomFFmpeg::Start(bool threaded, TThreadPriority priority)
{
    Impl &d = *d_;
    if (d.running || d.ended || d.terminating)
        return nullptr;
    const char *missing = d.outputs.empty() ? "At least one output file must be specified"
                          : d.inputs.empty() ? "At least one input file must be specified"
                                             : nullptr;
    if (missing) {
        GetLogger().LogMessage(this, llQuiet, missing);
        {
            std::lock_guard<std::mutex> l(d.stateMutex);
            d.exceptionRaised = true;
            d.exceptionMsg = missing;
        }
        d.closeFiles();
        d.reportEnd();
        return nullptr;
    }
    d.running = true;
    d.stopRequested = false;
    {
        std::lock_guard<std::mutex> l(d.stateMutex);
        d.finished = false;
    }
    if (!threaded) {
        d.runBody();
        return nullptr;
    }
    d.worker = std::make_unique<ConvertThread>(&d, priority);
    return d.worker.get();
}

void TCustomFFmpeg::Stop(bool wait)
{
    Impl &d = *d_;
    if (d.running) {
        d.stopRequested = true;
        if (d.worker) {
            if (d.worker->Suspended())
                d.worker->Resume();
            // a callback of the task itself may ask it to stop: never wait for oneself
            std::thread::id worker;
            {
                std::lock_guard<std::mutex> l(d.stateMutex);
                worker = d.runThread;
            }
            if (wait && std::this_thread::get_id() != worker)
                waitFor(d.workerDone);
        } else {
            d.ioStamp = 0; // the next time-out check interrupts blocked I/O
        }
        return;
    }
    if (!d.ended && !d.terminating) {
        d.terminating = true;
        d.terminateDone->reset();
        std::thread([pd = &d, done = d.terminateDone] {
            pd->closeFiles();
            pd->reportEnd();
            done->signal();
            MainThreadQueue::instance().wake();
        }).detach();
        if (wait)
            waitFor(d.terminateDone);
    }
}

// ---------------------------------------------------------------------------

bool TCustomFFmpeg::Impl::timeoutCheck(void *owner)
{
    auto *d = static_cast<Impl *>(owner);
    int64_t stamp = d->ioStamp;
    if (stamp == std::numeric_limits<int64_t>::max())
        return false;
    if (stamp == 0 || d->stopRequested) {
        GetLogger().LogMessage(d->self, llInfo, "connecting/reading/writing canceled");
        return true;
    }
    if (NowMicros() - stamp > int64_t(d->ioTimeoutMs) * 1000) {
        GetLogger().LogMessage(d->self, llInfo, "connecting/reading/writing timeout");
        return true;
    }
    return false;
}

bool TCustomFFmpeg::Impl::stopCheck(void *owner) { return static_cast<Impl *>(owner)->stopRequested; }

void TCustomFFmpeg::Impl::runBody()
{
    {
        std::lock_guard<std::mutex> l(stateMutex);
        runThread = std::this_thread::get_id();
    }
    try {
        transcode();
    } catch (const std::exception &e) {
        GetLogger().LogMessage(self, llQuiet, e.what());
        std::lock_guard<std::mutex> l(stateMutex);
        exceptionRaised = true;
        exceptionMsg = e.what();
    }
    try {
        closeFiles();
    } catch (const std::exception &e) {
        GetLogger().LogMessage(self, llError, e.what());
    }
    reportEnd();
}

void TCustomFFmpeg::Impl::reportEnd()
{
    running = false;
    ended = true;
    if (self->OnTerminate) {
        try {
            self->OnTerminate(self);
        } catch (const std::exception &e) {
            GetLogger().LogMessage(self, llError, e.what());
        }
    }
}

// ---------------------------------------------------------------------------
// Opening files

namespace {

struct InterruptScope {
    TCustomFFmpeg::Impl *d;
    explicit InterruptScope(TCustomFFmpeg::Impl *impl) : d(impl)
    {
        TInterruptCB::instance().AddInterruptHandler(std::this_thread::get_id(), d,
                                                     &TCustomFFmpeg::Impl::timeoutCheck);
    }
    ~InterruptScope()
    {
        d->ioStamp = std::numeric_limits<int64_t>::max();
        TInterruptCB::instance().RemoveInterruptHandler(std::this_thread::get_id(), d,
                                                        &TCustomFFmpeg::Impl::timeoutCheck);
    }
};

// Finds a codec by name for a media type with the texts of the task.
const AVCodec *findCodecByName(const std::string &name, AVMediaType type, bool encoder, std::string &error)
{
    const char *kind = encoder ? "encoder" : "decoder";
    const AVCodec *c = encoder ? ff().avcodec_find_encoder_by_name(name.c_str())
                               : ff().avcodec_find_decoder_by_name(name.c_str());
    if (!c) {
        error = FormatText("Unknown %s '%s'", kind, name.c_str());
        return nullptr;
    }
    if (c->type != type) {
        error = FormatText("Invalid %s type '%s'", kind, name.c_str());
        return nullptr;
    }
    return c;
}

} // namespace

bool TCustomFFmpeg::Impl::openInput(const std::string &fileName)
{
    const AVInputFormat *forced = nullptr;
    if (!opt.forcedFormat.empty()) {
        forced = ff().av_find_input_format(opt.forcedFormat.c_str());
        if (!forced)
            throw FFmpegException(FormatText("Unknown input format: \"%s\"", opt.forcedFormat.c_str()));
        opt.forcedFormat.clear();
    }
    AVFormatContext *ic = ff().avformat_alloc_context();
    if (!ic)
        throw FFmpegException("avformat_alloc_context failed");
    ic->interrupt_callback = EngineInterruptCallback();
    AVDictionary *demuxerOptions = nullptr;
    if (forced) {
        if (opt.sampleRate > 0)
            ff().av_dict_set(&demuxerOptions, "sample_rate", std::to_string(opt.sampleRate).c_str(), 0);
        if (opt.channels > 0)
            ff().av_dict_set(&demuxerOptions, "channels", std::to_string(opt.channels).c_str(), 0);
        if (opt.frameRate.num)
            ff().av_dict_set(&demuxerOptions, "framerate",
                             FormatText("%d/%d", opt.frameRate.num, opt.frameRate.den).c_str(), 0);
        if (opt.frameWidth > 0)
            ff().av_dict_set(&demuxerOptions, "video_size",
                             FormatText("%dx%d", opt.frameWidth, opt.frameHeight).c_str(), 0);
        if (opt.pixFmt != AV_PIX_FMT_NONE)
            ff().av_dict_set(&demuxerOptions, "pixel_format", ff().av_get_pix_fmt_name(opt.pixFmt), 0);
    }
    for (auto &[n, v] : opt.formatLibOptions)
        ff().av_dict_set(&demuxerOptions, n.c_str(), v.c_str(), 0);

    // forced decoders are checked before anything is read
    struct Forced {
        const std::string *name;
        AVMediaType type;
    } forcedDecoders[] = {{&opt.videoCodec, AVMEDIA_TYPE_VIDEO},
                          {&opt.audioCodec, AVMEDIA_TYPE_AUDIO},
                          {&opt.subtitleCodec, AVMEDIA_TYPE_SUBTITLE}};
    for (auto &f : forcedDecoders) {
        if (f.name->empty() || *f.name == "copy")
            continue;
        std::string error;
        if (!findCodecByName(*f.name, f.type, false, error)) {
            std::lock_guard<std::mutex> l(stateMutex);
            lastError = error;
            ff().avformat_free_context(ic);
            ff().av_dict_free(&demuxerOptions);
            return false;
        }
    }

    InterruptScope scope(this);
    ioStamp = NowMicros();
    int r = OpenInputContext(&ic, fileName, forced, &demuxerOptions);
    ff().av_dict_free(&demuxerOptions);
    if (r < 0) {
        std::lock_guard<std::mutex> l(stateMutex);
        lastError = LibraryErrorText(fileName, r);
        return false;
    }

    if (opt.programId >= 0) {
        bool found = false;
        for (unsigned p = 0; p < ic->nb_programs; ++p) {
            AVProgram *prog = ic->programs[p];
            if (prog->id != opt.programId)
                continue;
            found = true;
            for (unsigned s = 0; s < ic->nb_streams; ++s)
                ic->streams[s]->discard = AVDISCARD_ALL;
            for (unsigned k = 0; k < prog->nb_stream_indexes; ++k)
                ic->streams[prog->stream_index[k]]->discard = AVDISCARD_DEFAULT;
        }
        opt.programId = -1;
        if (!found) {
            CloseInputContext(&ic);
            std::lock_guard<std::mutex> l(stateMutex);
            lastError = "Specified program id not found";
            return false;
        }
    }

    if (self->OnBeforeFindStreamInfo)
        self->OnBeforeFindStreamInfo(self, ic);
    ioStamp = NowMicros();
    r = ff().avformat_find_stream_info(ic, nullptr);
    if (r < 0 && verbosity >= 0) {
        std::string text = FormatText("%s: could not find codec parameters", fileName.c_str());
        log(llInfo, "%s", text.c_str());
        CloseInputContext(&ic);
        std::lock_guard<std::mutex> l(stateMutex);
        lastError = text;
        return false;
    }

    int64_t position = opt.startTime + (ic->start_time != AV_NOPTS_VALUE ? ic->start_time : 0);
    if (opt.startTime > 0) {
        ioStamp = NowMicros();
        if (ff().av_seek_frame(ic, -1, position, AVSEEK_FLAG_BACKWARD) < 0 && verbosity > 0)
            log(llWarning, "%s: could not seek to position %0.3f", fileName.c_str(), position / 1000000.0);
    }

    TaskInputFile in;
    in.ctx = ic;
    in.name = fileName;
    in.startTime = position;
    in.decoderNames[0] = opt.videoCodec;
    in.decoderNames[1] = opt.audioCodec;
    in.decoderNames[2] = opt.subtitleCodec;
    in.tsOffset = opt.inputTsOffset - (opt.copyts ? 0 : position);
    for (double &s : in.tsScale)
        s = 1.0;
    for (auto &[idx, scale] : opt.tsScale)
        in.tsScale[idx] = scale;
    for (unsigned s = 0; s < ic->nb_streams; ++s) {
        AVStream *st = ic->streams[s];
        AVMediaType t = st->codecpar->codec_type;
        if ((t == AVMEDIA_TYPE_VIDEO && opt.vn) || (t == AVMEDIA_TYPE_AUDIO && opt.an) ||
            (t == AVMEDIA_TYPE_SUBTITLE && opt.sn))
            st->discard = AVDISCARD_ALL;
        if (t == AVMEDIA_TYPE_VIDEO && st->r_frame_rate.num && st->avg_frame_rate.num &&
            ::av_cmp_q(st->r_frame_rate, st->avg_frame_rate) != 0 && verbosity > 0) {
            // informational only; the output rate is chosen at set-up
        }
    }

    // The remaining length, so that the progress of an input read from a
    // start position can reach its end.
    if (ic->duration != AV_NOPTS_VALUE && ic->duration > 0) {
        int64_t remaining = std::max<int64_t>(0, ic->duration - opt.startTime);
        if (remaining > totalDuration)
            totalDuration = remaining;
    }
    if (verbosity >= 0)
        ff().av_dump_format(ic, static_cast<int>(inputs.size()), fileName.c_str(), 0);
    inputs.push_back(in);
    resetInputOptions();
    return true;
}

void TCustomFFmpeg::Impl::addStreamSpec(TaskOutputFile &out, AVMediaType type)
{
    TaskStreamSpec s;
    s.type = type;
    s.libOptions = opt.libOptions;
    s.threads = opt.threads;
    if (type == AVMEDIA_TYPE_VIDEO) {
        s.codecName = opt.videoCodec;
        s.width = opt.frameWidth;
        s.height = opt.frameHeight;
        s.frameRate = opt.frameRate;
        s.forceFps = opt.forceFps;
        s.aspect = opt.aspectSet ? opt.aspect : 0;
        s.pixFmt = opt.pixFmt;
        s.qscale = opt.qscale;
        s.intraOnly = opt.intraOnly;
        s.filters = opt.vfilters;
        if (opt.deinterlace)
            s.filters = s.filters.empty() ? "yadif" : "yadif," + s.filters;
        s.videoBitrate = opt.videoBitrate;
        s.intraMatrix = opt.intraMatrix;
        s.interMatrix = opt.interMatrix;
        s.pass = opt.pass;
        s.passLogFile = opt.passLogFile;
        s.forceKeyFrames = opt.forceKeyFrames;
        s.maxFrames = opt.maxFrames[0];
        s.tag = opt.vtag;
        s.language = opt.vlang;
        s.bitstreamFilters = opt.vbsf;
    } else if (type == AVMEDIA_TYPE_AUDIO) {
        s.codecName = opt.audioCodec;
        s.sampleRate = opt.sampleRate;
        s.channels = opt.channels;
        s.sampleFmt = opt.sampleFmt;
        s.volume = opt.volume;
        s.audioBitrate = opt.audioBitrate;
        s.audioQscale = opt.audioQscale;
        s.maxFrames = opt.maxFrames[1];
        s.tag = opt.atag;
        s.language = opt.alang;
        s.bitstreamFilters = opt.absf;
    } else {
        s.codecName = opt.subtitleCodec;
        s.tag = opt.stag;
        s.language = opt.slang;
        s.bitstreamFilters = opt.sbsf;
    }
    s.copy = s.codecName == "copy";
    int index = static_cast<int>(out.specs.size());
    for (auto &[i, v] : opt.streamIds)
        if (i == index)
            s.streamId = v;
    out.specs.push_back(std::move(s));
}

int TCustomFFmpeg::Impl::openOutput(const std::string &fileName, bool join)
{
    auto fail = [&](const std::string &text) {
        std::lock_guard<std::mutex> l(stateMutex);
        lastError = text;
        return -1;
    };
    if (joining)
        return fail("Cannot join more than one output file.");

    const AVOutputFormat *fmt = nullptr;
    if (!opt.forcedFormat.empty()) {
        fmt = ff().av_guess_format(opt.forcedFormat.c_str(), nullptr, nullptr);
        if (!fmt)
            return fail(FormatText("Requested output format '%s' is not a suitable output format",
                               opt.forcedFormat.c_str()));
    } else {
        fmt = ff().av_guess_format(nullptr, fileName.c_str(), nullptr);
        if (!fmt)
            return fail(FormatText("Unable to find a suitable output format for '%s'", fileName.c_str()));
    }
    AVFormatContext *oc = nullptr;
    std::string url = MapFileNameForLibrary(fileName);
    if (ff().avformat_alloc_output_context2(&oc, fmt, nullptr, url.c_str()) < 0 || !oc)
        throw FFmpegException("avformat_alloc_context failed");
    oc->interrupt_callback = EngineInterruptCallback();

    TaskOutputFile out;
    out.ctx = oc;
    out.format = fmt;
    out.name = fileName;

    // which media types this output gets
    auto inputHas = [&](AVMediaType t) {
        if (inputs.empty())
            return true;
        size_t n = join ? 1 : inputs.size();
        for (size_t i = 0; i < n; ++i)
            for (unsigned s = 0; s < inputs[i].ctx->nb_streams; ++s)
                if (inputs[i].ctx->streams[s]->codecpar->codec_type == t &&
                    inputs[i].ctx->streams[s]->discard != AVDISCARD_ALL)
                    return true;
        return false;
    };
    bool video = !opt.vn && (opt.videoCodec == "copy" || !opt.videoCodec.empty() || fmt->video_codec != AV_CODEC_ID_NONE) &&
                 inputHas(AVMEDIA_TYPE_VIDEO);
    bool audio = !opt.an && (opt.audioCodec == "copy" || !opt.audioCodec.empty() || fmt->audio_codec != AV_CODEC_ID_NONE) &&
                 inputHas(AVMEDIA_TYPE_AUDIO);
    // Subtitles only on request: most of the formats' default subtitle
    // codecs cannot take the picture subtitles many inputs carry.
    bool subtitle = !opt.sn && !opt.subtitleCodec.empty() && inputHas(AVMEDIA_TYPE_SUBTITLE);
    if (video)
        addStreamSpec(out, AVMEDIA_TYPE_VIDEO);
    if (audio)
        addStreamSpec(out, AVMEDIA_TYPE_AUDIO);
    if (subtitle)
        addStreamSpec(out, AVMEDIA_TYPE_SUBTITLE);

    out.recordingTime = opt.recordingTime;
    out.limitFileSize = opt.limitFileSize;
    out.startTime = opt.startTime;
    out.metadata = opt.metadata;
    out.formatOptions = opt.formatLibOptions;
    for (auto &[k, v] : out.metadata)
        ff().av_dict_set(&oc->metadata, k.c_str(), v.c_str(), 0);
    if (opt.recTimestamp > 0) {
        time_t t = static_cast<time_t>(opt.recTimestamp);
        char buf[64];
        struct tm tmv;
        gmtime_r(&t, &tmv);
        strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S.000000Z", &tmv);
        ff().av_dict_set(&oc->metadata, "creation_time", buf, 0);
    }

    if (!(fmt->flags & AVFMT_NOFILE)) {
        if ((fmt->flags & AVFMT_NEEDNUMBER) && !ff().av_filename_number_test(fileName.c_str())) {
            ff().avformat_free_context(oc);
            return fail(LibraryErrorText(fileName, AVERROR(EINVAL)));
        }
        InterruptScope scope(this);
        ioStamp = NowMicros();
        int r = OpenOutputIO(&oc->pb, fileName, AVIO_FLAG_WRITE);
        if (r < 0) {
            ff().avformat_free_context(oc);
            return fail(LibraryErrorText(fileName, r));
        }
        out.fileOpened = true;
    }
    oc->max_delay = static_cast<int>(opt.muxDelay * 1000000);
    for (auto &[n, v] : out.formatOptions) {
        int r = ff().av_opt_set(oc, n.c_str(), v.c_str(), AV_OPT_SEARCH_CHILDREN);
        if (r < 0 && r != AVERROR_OPTION_NOT_FOUND)
            log(llWarning, "Invalid value \"%s\" for option \"%s\"", v.c_str(), n.c_str());
    }
    if (opt.muxPreload > 0)
        ff().av_opt_set_int(oc, "preload", static_cast<int64_t>(opt.muxPreload * 1000000), AV_OPT_SEARCH_CHILDREN);

    outputs.push_back(std::move(out));
    resetOutputOptions();
    joinRequested = join;
    if (join && inputs.size() > 1)
        joining = true;
    return static_cast<int>(outputs.size());
}

void TCustomFFmpeg::Impl::setupJoin()
{
    if (!joining)
        return;
    int64_t sum = 0;
    for (auto &in : inputs)
        if (in.ctx->duration != AV_NOPTS_VALUE && in.ctx->duration > 0)
            sum += in.ctx->duration;
    totalDuration = sum > 0 ? sum : -1;
}

void TCustomFFmpeg::Impl::closeFiles()
{
    for (auto &out : outputs) {
        if (!out.ctx)
            continue;
        if (out.ctx->pb && !(out.format->flags & AVFMT_NOFILE))
            CloseOutputIO(&out.ctx->pb);
        ff().avformat_free_context(out.ctx);
        out.ctx = nullptr;
        if (out.fileOpened) {
            struct stat st;
            if (::stat(out.name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
                ::unlink(out.name.c_str());
        }
    }
    outputs.clear();
    for (auto &in : inputs)
        if (in.ctx)
            CloseInputContext(&in.ctx);
    inputs.clear();
    opt.libOptions.clear();
    opt.formatLibOptions.clear();
}

} // namespace quillor
