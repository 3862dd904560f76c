#include "WinHTTP.h"

#include "HttpTransfer.h"

#include <sys/stat.h>
#include <unistd.h>

namespace quillor {

namespace {

bool onlyArchive(const TWinHTTPFileAttributes &attributes)
{
    return attributes == TWinHTTPFileAttributes{TWinHTTPFileAttribute::atrArchive};
}

} // namespace

void TWinHTTPProxy::Assign(const TWinHTTPProxy *source)
{
    *this = source ? *source : TWinHTTPProxy{};
}

bool applyFileAttributes(const std::string &path, const TWinHTTPFileAttributes &attributes)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes.count(TWinHTTPFileAttribute::atrReadOnly)) {
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else if (!(mode & S_IWUSR)) {
        // Writable again as a new file would be.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode |= static_cast<mode_t>(0666 & ~mask) & (S_IWUSR | S_IWGRP | S_IWOTH);
    }
    if (mode == (st.st_mode & 07777))
        return true;
    return ::chmod(path.c_str(), mode) == 0;
}

std::string httpStatusText(int status)
{
    switch (status) {
    case 10: return "Resolving name";
    case 11: return "Name resolved";
    case 20: return "Connecting to server";
    case 21: return "Connected";
    case 30: return "Sending Request";
    case 31: return "Request sent";
    case 40: return "Receiving response";
    case 41: return "Response received";
    case 42: return "CTL Response received";
    case 43: return "Prefetch";
    case 50: return "Closing connection";
    case 51: return "Connection closed";
    case 60: return "Handle created";
    case 70: return "Handle closing";
    case 100: return "Request complete";
    case 110: return "Redirect";
    case 120: return "Intermediate response";
    case 200: return "State change";
    default: return "Unknown status";
    }
}

// ---- HttpTransfer ----

HttpTransfer::HttpTransfer(TWinHTTP &c)
    : owner(&c), url(c.URL), requestMethod(c.RequestMethod), postData(c.POSTData), acceptTypes(c.AcceptTypes),
      agent(c.Agent), referer(c.Referer), addHeaders(c.AddHeaders), username(c.Username), password(c.Password),
      proxy(c.Proxy), range(c.Range), timeouts(c.Timeouts), outputFileName(c.OutputFileName),
      attributes(c.OutputFileAttributes), cacheOptions(c.CacheOptions), internetOptions(c.InternetOptions),
      workOffline(c.WorkOffline), transferBufferSize(c.TransferBufferSize < 255 ? 255 : c.TransferBufferSize),
      callerStream(c.OutputStream), memoryLimit(c.MemoryLimit), progressInterval(c.ProgressInterval),
      wantsHeaderInfo(bool(c.OnHeaderInfo)), wantsProgress(bool(c.OnProgress)),
      wantsPasswordRequest(bool(c.OnPasswordRequest)), wantsProxyAuthentication(bool(c.OnProxyAuthenticationRequest)),
      wantsStatus(bool(c.OnStatus)), wantsRedirected(bool(c.OnRedirected)),
      wantsBeforeSendRequest(bool(c.OnBeforeSendRequest))
{
}

bool HttpTransfer::succeeded() const
{
    if (statusCode != 200 && statusCode != 206)
        return false;
    if (receiveFailed)
        return false;
    return dataSize == 0 || !output || bytesRead == dataSize;
}

void HttpTransfer::dropOutput()
{
    if (file)
        file->Close();
    file = nullptr;
    output = nullptr;
    ownedOutput.reset();
}

// ---- TWinHTTP ----

TWinHTTP::TWinHTTP()
{
    thread_.SetOnError([this](const ThreadData &data, std::exception_ptr) {
        auto &t = *static_cast<HttpTransfer *>(data.get());
        if (t.ended)
            return;
        // The completion that follows only winds up: one ending per Read.
        t.exceptionReported = true;
        t.ended = true;
        raise([&] {
            if (OnAnyError)
                OnAnyError(*this);
        });
    });
    thread_.SetOnTerminate([this](const ThreadData &data, TEventWinThread &thread) {
        auto &t = *static_cast<HttpTransfer *>(data.get());
        if (thread.IsTerminated()) {
            // An Abort that came after the worker's last look still ends the
            // transfer as aborted.
            if (!t.ended) {
                t.dropOutput();
                finishAbort(t);
            }
            return;
        }
        dispatch(t);
    });
    thread_.OnWaitTimeoutExpired = [this](TCustomWinThread &, bool &terminateThread) {
        waitTimedOut(terminateThread);
    };
}

TWinHTTP::~TWinHTTP()
{
    // No event of any kind from here on; the worker runs out on its own.
    if (current_) {
        std::lock_guard lock(current_->ioLock);
        current_->abandoned = true;
    }
    thread_.shutDown();
}

template <class Fn> void TWinHTTP::raise(Fn &&call)
{
    // A handler's exception must not leave the component busy.
    try {
        call();
    } catch (...) {
    }
}

bool TWinHTTP::ReadRange(std::uint64_t startRange, std::uint64_t endRange, bool wait)
{
    if (busy_ || thread_.IsDestroying())
        return false;
    auto t = std::make_shared<HttpTransfer>(*this);
    t->resumeOffset = startRange;
    t->endOffset = endRange;
    t->transferRate = -1.0f;
    current_ = t;
    busy_ = true;
    thread_.SetOnExecute(
        [](const ThreadData &data, TEventWinThread &thread) {
            runHttpTransfer(*static_cast<HttpTransfer *>(data.get()), thread);
        },
        t);
    thread_.WaitThread = wait || WaitThread;
    thread_.WaitTimeout = WaitTimeout;
    return thread_.Start();
}

void TWinHTTP::Abort(bool deleteOutputFile, bool immediately)
{
    auto t = current_;
    if (!t || !busy_ || t->ended)
        return;
    t->deleteOnAbort = deleteOutputFile;
    if (!immediately) {
        thread_.Stop(false);
        return;
    }
    {
        std::lock_guard lock(t->ioLock);
        t->abandoned = true;
    }
    thread_.Stop(true);
    // The abandoned worker closes its own handles and frees its output;
    // nothing it does reaches the file or the events any more.
    finishAbort(*t);
}

void TWinHTTP::finishAbort(HttpTransfer &t)
{
    if (t.ended)
        return;
    t.ended = true;
    bool owned;
    {
        std::lock_guard lock(t.ioLock);
        owned = t.ownsOutputFile;
    }
    busy_ = false;
    if (t.deleteOnAbort && owned && !t.outputFileName.empty())
        ::unlink(t.outputFileName.c_str());
    raise([&] {
        if (OnAborted)
            OnAborted(*this);
    });
}

void TWinHTTP::waitTimedOut(bool &terminateThread)
{
    raise([&] {
        if (OnWaitTimeoutExpired)
            OnWaitTimeoutExpired(*this, terminateThread);
    });
    if (!terminateThread)
        return;
    if (auto t = current_) {
        std::lock_guard lock(t->ioLock);
        t->abandoned = true;
        t->ended = true;
    }
    busy_ = false;
}

void TWinHTTP::windUp(HttpTransfer &t)
{
    if (t.file) {
        t.file->Close();
        if (!onlyArchive(t.attributes.Incomplete))
            applyFileAttributes(t.outputFileName, t.attributes.Incomplete);
    }
    t.dropOutput();
    busy_ = false;
}

void TWinHTTP::dispatch(HttpTransfer &t)
{
    if (t.ended) {
        // An ending was raised already (the body's exception); only wind up.
        if (busy_ && current_.get() == &t)
            windUp(t);
        return;
    }
    if (t.output)
        t.output->Seek(0);

    if (!t.continueDownload) {
        t.ended = true;
        windUp(t);
        raise([&] {
            if (OnDoneInterrupted)
                OnDoneInterrupted(*this);
        });
        return;
    }

    auto anyError = [&] {
        raise([&] {
            if (OnAnyError)
                OnAnyError(*this);
        });
    };
    auto outputFileError = [&] {
        t.ended = true;
        anyError();
        raise([&] {
            if (OnOutputFileError)
                OnOutputFileError(*this);
        });
        windUp(t);
    };

    if (t.outputError || t.headerError) {
        outputFileError();
        return;
    }
    if (t.alreadyComplete) {
        if (t.outputFileName.empty()) {
            outputFileError();
            return;
        }
        // Nothing was missing: the file on disk is the whole body.
        applyFileAttributes(t.outputFileName, t.attributes.Complete);
        t.ended = true;
        bool failed = false;
        try {
            if (OnDone)
                OnDone(*this, t.contentType, static_cast<std::int64_t>(t.resumeOffset), nullptr);
        } catch (...) {
            failed = true;
        }
        windUp(t);
        if (failed)
            anyError();
        return;
    }

    if (t.succeeded()) {
        if (!t.output) {
            outputFileError();
            return;
        }
        TStream *stream = t.output;
        if (t.file) {
            t.file->Close();
            if (!onlyArchive(t.attributes.Incomplete))
                applyFileAttributes(t.outputFileName, t.attributes.Incomplete);
            if (t.attributes.Complete != t.attributes.Incomplete)
                applyFileAttributes(t.outputFileName, t.attributes.Complete);
            t.file = nullptr;
            stream = nullptr;
        }
        t.ended = true;
        bool failed = false;
        try {
            if (OnDone)
                OnDone(*this, t.contentType, t.bytesRead + static_cast<std::int64_t>(t.resumeOffset), stream);
        } catch (...) {
            // A handler that could not use the body (it failed to save it,
            // say) turns the transfer into a failed one.
            failed = true;
        }
        if (failed)
            anyError();
        windUp(t);
        return;
    }

    // Failed.
    t.ended = true;
    bool deleteFile = false;
    if (t.statusCode == 200 || t.statusCode == 206) {
        raise([&] {
            if (OnConnLost)
                OnConnLost(*this, t.contentType, t.dataSize, t.bytesRead, t.output);
        });
    } else if (t.statusCode == -1) {
        raise([&] {
            if (OnHostUnreachable)
                OnHostUnreachable(*this);
        });
    } else {
        raise([&] {
            if (OnHTTPError)
                OnHTTPError(*this, t.statusCode, t.output);
        });
        deleteFile = t.ownsOutputFile;
    }
    anyError();
    windUp(t);
    if (deleteFile && !t.outputFileName.empty())
        ::unlink(t.outputFileName.c_str());
}

// ---- state getters ----

#define QUILLOR_STATE(type, name, field, fallback)                                                             \
    type TWinHTTP::name() const { return current_ ? current_->field : fallback; }

QUILLOR_STATE(int, StatusCode, statusCode, -1)
QUILLOR_STATE(std::int64_t, DataSize, dataSize, 0)
QUILLOR_STATE(std::int64_t, BytesRead, bytesRead, 0)
QUILLOR_STATE(std::uint64_t, ResumeOffset, resumeOffset, 0)
QUILLOR_STATE(std::uint8_t, PercentsDone, percentsDone, 0)
QUILLOR_STATE(std::int32_t, ElapsedTime, elapsedTime, 0)
QUILLOR_STATE(std::int32_t, EstimatedTimeLeft, estimatedTimeLeft, 0)
QUILLOR_STATE(float, TransferRate, transferRate, -1.0f)
QUILLOR_STATE(std::string, ContentType, contentType, std::string())
QUILLOR_STATE(std::string, RawHeaders, rawHeaders, std::string())
QUILLOR_STATE(std::string, ContentLanguage, contentLanguage, std::string())
QUILLOR_STATE(std::string, ContentEncoding, contentEncoding, std::string())
QUILLOR_STATE(std::string, Location, location, std::string())
QUILLOR_STATE(std::string, ETag, etag, std::string())
QUILLOR_STATE(double, Date, date, 0)
QUILLOR_STATE(double, LastModified, lastModified, 0)
QUILLOR_STATE(double, Expires, expires, 0)

#undef QUILLOR_STATE

} // namespace quillor
