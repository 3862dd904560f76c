#pragma once
// TWinHTTP fetches one address at a time on a worker thread (libcurl, one
// easy handle per transfer) and reports everything through events that run
// on the main thread (the thread bound to MainThreadQueue).
//
// Every accepted Read ends with exactly one of OnDone, OnAnyError (before or
// after the specific failure event) or OnAborted; OnDoneInterrupted and a
// killed blocking wait end it only when a handler or setting asks for them.
// Nothing is raised after OnAborted. While an ending event runs the
// component is still busy: a Read from inside it is refused, a Read from a
// call posted by it is accepted.
//
// The main thread must be bound (installMainThreadPump in the window,
// MainThreadQueue::bindToCurrentThread elsewhere) and must serve the queue;
// without it events would run on the worker. A component must not be
// destroyed from inside one of its own events.
//
// Events are std::function members: unassigned means "not handled", which
// for OnHeaderInfo, OnPasswordRequest, OnProxyAuthenticationRequest and
// OnProgress changes what the transfer does, as their descriptions say.
// OnBeforeSendRequest, OnRedirected and OnStatus run on the worker thread.
//
// Linux notes:
// - Proxy atPreconfig takes the environment's http_proxy, https_proxy and
//   no_proxy, as other Linux programs do.
// - Certificates are verified unless ioIgnoreUnknownCertificateAuthority
//   (no chain check) or ioIgnoreCertificateInvalid (no host-name check) is
//   set. ioIgnoreCertificateDateInvalid has no separate counterpart and is
//   accepted without effect.
// - A redirect from https to http is refused unless ioIgnoreRedirectToHTTP is
//   set; redirects to other schemes are always refused.
// - There is no system-wide offline switch: IsGlobalOffline is false and
//   ShowGoOnlineMessage does nothing; WorkOffline fails every network fetch.
// - Server credentials are sent as Basic authentication.
// - Of the output file attributes only atrReadOnly has a Linux counterpart
//   (the write permission bits); the others are accepted without effect.
// - A timeout of 0 means 60 seconds, so a server that never answers always
//   ends the transfer.

#include "HttpStream.h"
#include "WinThread.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace quillor {

enum class TWinHTTPRequestMethod { rmAutoDetect, rmGET, rmPOST };
enum class TWinHTTPAccessType { atPreconfig, atDirect, atUseProxy };

struct TWinHTTPProxy {
    TWinHTTPAccessType AccessType = TWinHTTPAccessType::atPreconfig;
    int ProxyPort = 8080;
    std::string ProxyServer;
    std::string ProxyBypass = "127.0.0.1;";
    std::string ProxyUsername;
    std::string ProxyPassword;

    // Copies `source`; no source resets the defaults.
    void Assign(const TWinHTTPProxy *source);
};

struct TWinHTTPRange {
    std::uint64_t StartRange = 0;
    std::uint64_t EndRange = 0;
};

struct TWinHTTPTimeouts {
    std::uint32_t ConnectTimeout = 0;
    std::uint32_t ReceiveTimeout = 0;
    std::uint32_t SendTimeout = 0;
};

enum class TWinHTTPFileAttribute { atrArchive, atrHidden, atrReadOnly, atrSystem, atrTemporary, atrOffline };
using TWinHTTPFileAttributes = std::set<TWinHTTPFileAttribute>;

struct TWinHTTPOutputFileAttributes {
    TWinHTTPFileAttributes Complete{TWinHTTPFileAttribute::atrArchive};
    TWinHTTPFileAttributes Incomplete{TWinHTTPFileAttribute::atrArchive, TWinHTTPFileAttribute::atrTemporary};
};

// Sets the attributes of a file that Linux can express. Returns false when
// the file could not be changed.
bool applyFileAttributes(const std::string &path, const TWinHTTPFileAttributes &attributes);

enum class TCacheOption {
    coAlwaysReload, coReloadIfNoExpireInformation, coReloadUpdatedObjects, coPragmaNoCache,
    coNoCacheWrite, coCreateTempFilesIfCantCache, coUseCacheIfNetFail
};
using TCacheOptions = std::set<TCacheOption>;

enum class TInternetOption {
    ioIgnoreCertificateInvalid, ioIgnoreCertificateDateInvalid, ioIgnoreRedirectToHTTP,
    ioIgnoreRedirectToHTTPS, ioKeepConnection, ioNoAuthentication, ioNoAutoRedirect, ioNoCookies,
    ioIgnoreUnknownCertificateAuthority
};
using TInternetOptions = std::set<TInternetOption>;

// Text of a connection status number ("Unknown status" for others).
std::string httpStatusText(int status);

struct HttpTransfer; // the state of one accepted Read

class TWinHTTP {
public:
    TWinHTTP();
    ~TWinHTTP();
    TWinHTTP(const TWinHTTP &) = delete;
    TWinHTTP &operator=(const TWinHTTP &) = delete;

    // ---- properties ----
    std::string URL;
    TWinHTTPRequestMethod RequestMethod = TWinHTTPRequestMethod::rmAutoDetect;
    std::string POSTData;
    std::string AcceptTypes = "text/html, */*";
    std::string Agent = "Quillor WinHTTP";
    std::string Referer;
    std::vector<std::string> AddHeaders;
    std::string Username;
    std::string Password;
    TWinHTTPProxy Proxy;
    TWinHTTPRange Range;
    TWinHTTPTimeouts Timeouts;
    std::string OutputFileName;
    TWinHTTPOutputFileAttributes OutputFileAttributes;
    TCacheOptions CacheOptions{TCacheOption::coReloadIfNoExpireInformation, TCacheOption::coReloadUpdatedObjects,
                               TCacheOption::coCreateTempFilesIfCantCache};
    TInternetOptions InternetOptions{TInternetOption::ioKeepConnection};
    bool ShowGoOnlineMessage = false;
    bool WorkOffline = false;
    std::int32_t TransferBufferSize = 4096; // 255 and up
    bool WaitThread = false;
    std::int32_t WaitTimeout = 0;
    TThreadPriority ThreadPriority() const { return thread_.Priority(); }
    void SetThreadPriority(TThreadPriority value) { thread_.SetPriority(value); }

    // Additions of this port:
    // When set (and OutputFileName is empty) the body goes into this
    // caller-owned stream instead of a new memory stream; OnDone and the
    // other events hand it over. Lets a caller spool large bodies to disk.
    TStream *OutputStream = nullptr;
    // Largest body kept in memory, in bytes; 0 = no limit. A body beyond it,
    // or one that memory cannot hold, ends in OnAnyError, OnOutputFileError.
    std::int64_t MemoryLimit = 0;
    // Shortest time between two progress events, in ms; 0 raises one per
    // block received. The block that ends the body is always reported.
    // A window that shows the figures wants about 100: a fast transfer
    // delivers thousands of blocks a second, each a blocking call.
    std::int32_t ProgressInterval = 0;

    // ---- events ----
    std::function<void(TWinHTTP &, void *hRequest)> OnBeforeSendRequest;
    std::function<void(TWinHTTP &, int ErrorCode, const std::string &RawHeadersCRLF, const std::string &ContentType,
                       const std::string &ContentLanguage, const std::string &ContentEncoding,
                       std::int64_t ContentLength, const std::string &Location, double Date, double LastModified,
                       double Expires, const std::string &ETag, bool &ContinueDownload)>
        OnHeaderInfo;
    std::function<void(TWinHTTP &, const std::string &ContentType, std::int64_t DataSize, std::int64_t BytesRead,
                       std::int32_t ElapsedTime, std::int32_t EstimatedTimeLeft, std::uint8_t PercentsDone,
                       float TransferRate, TStream *Stream)>
        OnProgress;
    std::function<void(TWinHTTP &, const std::string &ContentType, std::int64_t FileSize, TStream *Stream)> OnDone;
    std::function<void(TWinHTTP &)> OnDoneInterrupted;
    std::function<void(TWinHTTP &)> OnOutputFileError;
    std::function<void(TWinHTTP &, const std::string &ContentType, std::int64_t FileSize, std::int64_t BytesRead,
                       TStream *Stream)>
        OnConnLost;
    std::function<void(TWinHTTP &, int ErrorCode, TStream *Stream)> OnHTTPError;
    std::function<void(TWinHTTP &)> OnHostUnreachable;
    std::function<void(TWinHTTP &)> OnAnyError;
    std::function<void(TWinHTTP &)> OnAborted;
    std::function<void(TWinHTTP &, const std::string &Realm, bool &TryAgain)> OnPasswordRequest;
    std::function<void(TWinHTTP &, std::string &ProxyUsername, std::string &ProxyPassword, bool &TryAgain)>
        OnProxyAuthenticationRequest;
    std::function<void(TWinHTTP &, const std::string &NewURL)> OnRedirected;
    std::function<void(TWinHTTP &, int Status, const std::string &StatusText)> OnStatus;
    std::function<void(TWinHTTP &, bool &TerminateThread)> OnWaitTimeoutExpired;

    // ---- operations ----
    bool Read(bool wait = false) { return ReadRange(0, 0, wait); }
    bool ReadRange(std::uint64_t startRange, std::uint64_t endRange, bool wait = false);
    void Abort(bool deleteOutputFile = false, bool immediately = false);
    bool IsRunning() const { return thread_.IsRunning(); }
    static bool IsGlobalOffline() { return false; }

    // ---- transfer state (valid in events and after the ending) ----
    bool Busy() const { return busy_; }
    int StatusCode() const;
    std::int64_t DataSize() const;
    std::int64_t BytesRead() const;
    std::uint64_t ResumeOffset() const;
    std::uint8_t PercentsDone() const;
    std::int32_t ElapsedTime() const;
    std::int32_t EstimatedTimeLeft() const;
    float TransferRate() const;
    std::string ContentType() const;
    std::string RawHeaders() const;
    std::string ContentLanguage() const;
    std::string ContentEncoding() const;
    std::string Location() const;
    std::string ETag() const;
    double Date() const;
    double LastModified() const;
    double Expires() const;

private:
    friend struct HttpTransfer;
    friend class HttpWorker;

    void dispatch(HttpTransfer &t);
    void finishAbort(HttpTransfer &t);
    void windUp(HttpTransfer &t);
    void waitTimedOut(bool &terminateThread);
    template <class Fn> void raise(Fn &&call);

    TCustomWinThread thread_;
    std::shared_ptr<HttpTransfer> current_;
    bool busy_ = false;
};

} // namespace quillor
