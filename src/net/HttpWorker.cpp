// The transfer body of TWinHTTP: runs on the worker thread, one curl easy
// handle per transfer. Decisions that the component makes between sending
// and receiving (authentication, ranges, the header event, the output) are
// made when the headers of the final answer are complete, inside libcurl's
// header callback; the termination poll runs in its progress callback, so
// an Abort ends even a stalled transfer within about a second.

#include "HttpDate.h"
#include "HttpProgress.h"
#include "HttpTransfer.h"
#include "HttpUrl.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillor {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kMaxRedirects = 10;
constexpr int kMaxRestarts = 3;
constexpr std::uint32_t kDefaultTimeoutMs = 60000;
// libcurl's receive buffer: large enough that loopback transfers keep pace
// with the curl tool. TransferBufferSize only raises it.
constexpr long kMinCurlBuffer = 64 * 1024;
constexpr long kMaxCurlBuffer = 512 * 1024;
// A body of announced length is stored without reallocation up to this
// size; beyond it the stream grows as bytes arrive, so a lying
// Content-Length cannot make us reserve what memory does not hold.
constexpr std::int64_t kMaxPresize = 256LL * 1024 * 1024;
// Header values longer than this count as absent, as they always have.
constexpr std::size_t kQueryLimit = 4096;

struct PollStop {};

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string &s)
{
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool parseInt64(const std::string &text, std::int64_t &value)
{
    if (text.empty() || text.size() > 18)
        return false;
    std::int64_t v = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

bool hasLineBreak(const std::string &s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}

struct CurlDeleter {
    void operator()(CURL *c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};

} // namespace

class HttpWorker {
public:
    HttpWorker(HttpTransfer &t, TEventWinThread &th) : t_(t), th_(th) {}

    void run();

private:
    enum class Stop {
        None, Poll, Resend, Range416, Interrupted, OutputError, ResumeMismatch, RedirectRefused, TimedOut,
        ProbeDone, Error
    };

    struct Response {
        int status = 0;
        std::string raw;
        std::vector<std::pair<std::string, std::string>> fields;
        bool complete = false;
        bool followed = false;

        const std::string *field(const char *name) const
        {
            const std::string *found = nullptr;
            for (const auto &f : fields)
                if (f.first == name) {
                    found = &f.second;
                    break;
                }
            if (found && found->size() >= kQueryLimit)
                return nullptr;
            return found;
        }
    };

    bool stopRequested() const { return th_.IsAbandoned() || th_.IsTerminated(); }
    void poll()
    {
        if (stopRequested())
            throw PollStop{};
    }
    void status(int code)
    {
        if (t_.wantsStatus && !th_.IsAbandoned() && t_.owner->OnStatus)
            t_.owner->OnStatus(*t_.owner, code, httpStatusText(code));
    }
    template <class Fn> void sync(Fn &&fn) { th_.Synchronize(std::function<void()>(std::forward<Fn>(fn))); }

    void httpTransfer();
    void fileTransfer();
    bool configure(CURL *curl);
    bool buildHeaders();
    void perform(CURL *curl);
    void finishReceive();

    // Callbacks.
    bool onHeaderLine(const char *data, std::size_t size);
    bool onHeadersComplete();
    bool headerPhase();
    bool openOutput();
    bool deliver(const char *data, std::size_t size);
    void reportProgress(bool force);
    bool onProgressTick(curl_off_t dlnow, curl_off_t ulnow, curl_off_t ultotal);

    static std::size_t headerCallback(char *data, std::size_t size, std::size_t count, void *self);
    static std::size_t writeCallback(char *data, std::size_t size, std::size_t count, void *self);
    static int xferCallback(void *self, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow);
    static int resolverStartCallback(void *, void *, void *self);
    static curl_socket_t openSocketCallback(void *self, curlsocktype, struct curl_sockaddr *address);
    static int prereqCallback(void *self, char *, char *, int, int);

    HttpTransfer &t_;
    TEventWinThread &th_;
    HttpUrlParts parts_;
    CURL *curl_ = nullptr;
    std::unique_ptr<curl_slist, SlistDeleter> headers_;
    std::string currentUrl_;

    Response response_;
    bool headerPhaseDone_ = false;
    Stop stop_ = Stop::None;
    std::exception_ptr callbackError_;
    bool probe_ = false;
    std::int64_t probeLength_ = 0;
    bool compareFirstBlock_ = false;
    bool progressPending_ = false;
    Clock::time_point lastProgress_{};
    Clock::time_point lastActivity_{};
    curl_off_t lastDown_ = -1, lastUp_ = -1;
};

void HttpWorker::run()
{
    try {
        t_.statusCode = -1;
        t_.contentType.clear();
        t_.startTick = Clock::now();
        t_.continueDownload = true;
        parts_ = splitHttpUrl(withDefaultScheme(t_.url));
        poll();
        if (parts_.ok && parts_.scheme == "file")
            fileTransfer();
        else
            httpTransfer();
    } catch (const PollStop &) {
        {
            std::lock_guard lock(t_.ioLock);
            t_.dropOutput();
        }
        if (!th_.IsAbandoned()) {
            HttpTransfer *t = &t_;
            sync([t] { t->owner->finishAbort(*t); });
        }
        th_.ExitNow();
    }
}

// ---- "file" addresses ----

void HttpWorker::fileTransfer()
{
    for (int pass = 0;; ++pass) {
        poll();
        const bool local = parts_.host.empty() || lower(parts_.host) == "localhost";
        const int fd = local ? ::open(parts_.path.c_str(), O_RDONLY | O_CLOEXEC) : -1;
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            if (fd >= 0)
                ::close(fd);
            t_.statusCode = 404;
            t_.dataSize = 0;
            t_.ownedOutput = std::make_unique<TMemoryStream>();
            t_.output = t_.ownedOutput.get();
            return;
        }
        struct FdCloser {
            int fd;
            ~FdCloser() { ::close(fd); }
        } closer{fd};

        t_.statusCode = 200;
        const std::int64_t size = st.st_size;
        std::uint64_t start = t_.resumeOffset;
        std::uint64_t end = t_.endOffset;
        if (start == 0 && end == 0) {
            start = t_.range.StartRange;
            end = t_.range.EndRange;
        }
        // Only the bytes from the start position on are this transfer's:
        // a read that starts at an offset must not count as cut short.
        std::int64_t stop = size;
        if (end != 0 && static_cast<std::int64_t>(end) + 1 < stop)
            stop = static_cast<std::int64_t>(end) + 1;
        const std::int64_t from = std::min<std::int64_t>(static_cast<std::int64_t>(start), size);
        t_.dataSize = std::max<std::int64_t>(0, stop - from);

        headerPhaseDone_ = true;
        bool ok = openOutput();
        std::vector<char> buffer(static_cast<std::size_t>(t_.transferBufferSize));
        std::int64_t position = from;
        while (ok && position < stop) {
            poll();
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(buffer.size()), stop - position));
            const ssize_t n = ::pread(fd, buffer.data(), want, position);
            if (n <= 0) {
                t_.receiveFailed = n < 0;
                break;
            }
            position += n;
            ok = deliver(buffer.data(), static_cast<std::size_t>(n));
        }
        if (ok) {
            finishReceive();
            return;
        }
        switch (stop_) {
        case Stop::Poll:
            throw PollStop{};
        case Stop::ResumeMismatch:
            if (pass < kMaxRestarts) {
                stop_ = Stop::None;
                t_.resumeOffset = 0;
                continue;
            }
            t_.statusCode = -1;
            return;
        case Stop::OutputError:
            t_.outputError = true;
            return;
        default:
            return;
        }
    }
}

// ---- HTTP ----

void HttpWorker::httpTransfer()
{
    initCurlOnce();
    if (!parts_.ok || parts_.host.empty() || (parts_.scheme != "http" && parts_.scheme != "https"))
        return; // nothing to connect to: no answer at all
    if (t_.workOffline)
        return;

    for (int restart = 0;; ++restart) {
        poll();
        std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
        if (!handle)
            return;
        curl_ = handle.get();
        if (!configure(curl_))
            return;
        poll();
        if (!buildHeaders()) {
            t_.headerError = true;
            return;
        }
        curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers_.get());
        if (t_.wantsBeforeSendRequest && !th_.IsAbandoned() && t_.owner->OnBeforeSendRequest)
            t_.owner->OnBeforeSendRequest(*t_.owner, curl_);

        bool again = false;
        do {
            poll();
            t_.tryAgain = false;
            again = false;
            perform(curl_);
            switch (stop_) {
            case Stop::Poll:
                throw PollStop{};
            case Stop::Error:
                std::rethrow_exception(callbackError_);
            case Stop::Resend:
                again = true;
                break;
            default:
                break;
            }
        } while (again);

        switch (stop_) {
        case Stop::Range416: {
            // Ask for the whole length: is the file already complete?
            t_.statusCode = 416;
            probe_ = true;
            buildHeaders();
            curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers_.get());
            perform(curl_);
            probe_ = false;
            if (stop_ == Stop::Poll)
                throw PollStop{};
            if (stop_ == Stop::Error)
                std::rethrow_exception(callbackError_);
            if (probeLength_ == static_cast<std::int64_t>(t_.resumeOffset)) {
                t_.alreadyComplete = true;
                return;
            }
            if (restart >= kMaxRestarts)
                return;
            t_.statusCode = -1;
            t_.resumeOffset = 0;
            continue;
        }
        case Stop::ResumeMismatch:
            // What the file holds is not what the server sends: start over
            // from the beginning (never with the same offset again).
            if (restart >= kMaxRestarts) {
                t_.statusCode = -1;
                return;
            }
            t_.statusCode = -1;
            t_.resumeOffset = 0;
            t_.bytesRead = 0;
            continue;
        case Stop::Interrupted:
            t_.continueDownload = false;
            return;
        case Stop::OutputError:
            t_.outputError = true;
            return;
        case Stop::RedirectRefused:
            t_.statusCode = -1;
            return;
        default:
            break;
        }
        finishReceive();
        status(100);
        status(70);
        return;
    }
}

void HttpWorker::finishReceive()
{
    // A resumed file that held more than the body must not keep the rest.
    if (t_.file && t_.resumeOffset != 0 && t_.succeeded()) {
        std::lock_guard lock(t_.ioLock);
        if (!t_.abandoned)
            t_.file->Truncate(t_.file->Position());
    }
    if (progressPending_)
        reportProgress(true);
}

bool HttpWorker::configure(CURL *c)
{
    currentUrl_ = parts_.scheme + "://" +
                  (parts_.host.find(':') != std::string::npos && parts_.host[0] != '[' ? "[" + parts_.host + "]"
                                                                                        : parts_.host) +
                  ":" + std::to_string(parts_.port) + parts_.objectName();
    if (hasLineBreak(t_.agent) || hasLineBreak(t_.referer))
        return false;
    curl_easy_setopt(c, CURLOPT_URL, currentUrl_.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_USERAGENT, t_.agent.c_str());
    if (!t_.referer.empty())
        curl_easy_setopt(c, CURLOPT_REFERER, t_.referer.c_str());
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, t_.has(TInternetOption::ioNoAutoRedirect) ? 0L : 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
    if (!t_.has(TInternetOption::ioNoCookies))
        curl_easy_setopt(c, CURLOPT_COOKIEFILE, "");
    if (!t_.has(TInternetOption::ioKeepConnection))
        curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER,
                     t_.has(TInternetOption::ioIgnoreUnknownCertificateAuthority) ? 0L : 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, t_.has(TInternetOption::ioIgnoreCertificateInvalid) ? 0L : 2L);

    const long buffer = std::clamp<long>(t_.transferBufferSize, kMinCurlBuffer, kMaxCurlBuffer);
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, buffer);
    const std::uint32_t connectMs = t_.timeouts.ConnectTimeout ? t_.timeouts.ConnectTimeout : kDefaultTimeoutMs;
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectMs));

    // Credentials: those of the address first, then the component's.
    if (!t_.has(TInternetOption::ioNoAuthentication)) {
        const std::string user = parts_.userName.empty() ? t_.username : parts_.userName;
        const std::string pass = parts_.password.empty() ? t_.password : parts_.password;
        if (!user.empty()) {
            curl_easy_setopt(c, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
            curl_easy_setopt(c, CURLOPT_USERNAME, user.c_str());
            curl_easy_setopt(c, CURLOPT_PASSWORD, pass.c_str());
        }
    }

    switch (t_.proxy.AccessType) {
    case TWinHTTPAccessType::atPreconfig:
        break; // libcurl reads http_proxy, https_proxy and no_proxy
    case TWinHTTPAccessType::atDirect:
        curl_easy_setopt(c, CURLOPT_PROXY, "");
        break;
    case TWinHTTPAccessType::atUseProxy: {
        const std::string proxy =
            t_.proxy.ProxyServer.empty() ? std::string() : t_.proxy.ProxyServer + ":" + std::to_string(t_.proxy.ProxyPort);
        curl_easy_setopt(c, CURLOPT_PROXY, proxy.c_str());
        std::string bypass = t_.proxy.ProxyBypass;
        std::replace(bypass.begin(), bypass.end(), ';', ',');
        while (!bypass.empty() && bypass.back() == ',')
            bypass.pop_back();
        curl_easy_setopt(c, CURLOPT_NOPROXY, bypass.c_str());
        break;
    }
    }
    if (t_.proxy.AccessType != TWinHTTPAccessType::atDirect && !t_.proxy.ProxyUsername.empty() &&
        !t_.proxy.ProxyPassword.empty()) {
        curl_easy_setopt(c, CURLOPT_PROXYAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, t_.proxy.ProxyUsername.c_str());
        curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, t_.proxy.ProxyPassword.c_str());
    }

    const bool post = t_.requestMethod == TWinHTTPRequestMethod::rmPOST ||
                      (t_.requestMethod == TWinHTTPRequestMethod::rmAutoDetect && !t_.postData.empty());
    if (post) {
        curl_easy_setopt(c, CURLOPT_POST, 1L);
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t_.postData.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, t_.postData.data());
    }

    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &HttpWorker::headerCallback);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &HttpWorker::writeCallback);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &HttpWorker::xferCallback);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
    if (t_.wantsStatus) {
        curl_easy_setopt(c, CURLOPT_RESOLVER_START_FUNCTION, &HttpWorker::resolverStartCallback);
        curl_easy_setopt(c, CURLOPT_RESOLVER_START_DATA, this);
        curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &HttpWorker::openSocketCallback);
        curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, this);
    }
    curl_easy_setopt(c, CURLOPT_PREREQFUNCTION, &HttpWorker::prereqCallback);
    curl_easy_setopt(c, CURLOPT_PREREQDATA, this);
    return true;
}

bool HttpWorker::buildHeaders()
{
    curl_slist *list = nullptr;
    auto add = [&](const std::string &line) {
        curl_slist *next = curl_slist_append(list, line.c_str());
        if (!next)
            return false;
        list = next;
        return true;
    };
    bool ok = true;
    for (const std::string &line : t_.addHeaders) {
        const std::string text = trim(line);
        if (text.empty())
            continue;
        // A line that is not "Name: value", or that would smuggle in a line
        // of its own, is refused rather than sent.
        const auto colon = text.find(':');
        if (colon == std::string::npos || colon == 0 || hasLineBreak(text)) {
            ok = false;
            break;
        }
        ok = ok && add(text);
    }
    std::uint64_t start = (t_.resumeOffset || t_.endOffset) ? t_.resumeOffset : t_.range.StartRange;
    std::uint64_t end = (t_.resumeOffset || t_.endOffset) ? t_.endOffset : t_.range.EndRange;
    if (probe_)
        start = end = 0; // the whole length is asked for
    if (ok && (start != 0 || end != 0 || probe_)) {
        std::string range = "RANGE: bytes=" + std::to_string(start) + "-";
        if (end != 0)
            range += std::to_string(end);
        ok = add(range);
    }
    if (ok && !t_.acceptTypes.empty())
        ok = !hasLineBreak(t_.acceptTypes) && add("Accept: " + t_.acceptTypes);
    if (ok && t_.cacheOptions.count(TCacheOption::coPragmaNoCache))
        ok = add("Pragma: no-cache");
    const bool post = t_.requestMethod == TWinHTTPRequestMethod::rmPOST ||
                      (t_.requestMethod == TWinHTTPRequestMethod::rmAutoDetect && !t_.postData.empty());
    if (ok && post)
        ok = add("Content-Type: application/x-www-form-urlencoded") && add("Expect:");
    headers_.reset(list);
    return ok;
}

void HttpWorker::perform(CURL *c)
{
    response_ = Response{};
    headerPhaseDone_ = false;
    stop_ = Stop::None;
    lastActivity_ = Clock::now();
    lastDown_ = lastUp_ = -1;
    const CURLcode rc = curl_easy_perform(c);
    if (stop_ == Stop::TimedOut) {
        stop_ = Stop::None;
        if (headerPhaseDone_)
            t_.receiveFailed = true;
        else
            t_.statusCode = -1;
        return;
    }
    if (stop_ != Stop::None)
        return;
    if (rc == CURLE_OK) {
        // An answer with no body at all: its headers still decide.
        if (!headerPhaseDone_ && response_.complete && !response_.followed)
            onHeadersComplete();
        return;
    }
    if (headerPhaseDone_)
        t_.receiveFailed = true; // the body broke off
    else
        t_.statusCode = -1; // no answer to speak of
}

// ---- header phase ----

bool HttpWorker::onHeaderLine(const char *data, std::size_t size)
{
    lastActivity_ = Clock::now();
    std::string line(data, size);
    if (line.rfind("HTTP/", 0) == 0) {
        response_ = Response{};
        const auto space = line.find(' ');
        if (space != std::string::npos)
            response_.status = std::atoi(line.c_str() + space + 1);
        response_.raw = line;
        status(40);
        return true;
    }
    response_.raw += line;
    const std::string text = trim(line);
    if (!text.empty()) {
        const auto colon = text.find(':');
        if (colon != std::string::npos)
            response_.fields.emplace_back(lower(trim(text.substr(0, colon))), trim(text.substr(colon + 1)));
        return true;
    }
    response_.complete = true;
    status(41);
    return onHeadersComplete();
}

bool HttpWorker::onHeadersComplete()
{
    const int code = response_.status;
    if (probe_) {
        std::int64_t length = 0;
        const std::string *cl = response_.field("content-length");
        if ((code == 200 || code == 206) && cl && parseInt64(*cl, length))
            probeLength_ = length;
        else
            probeLength_ = 0;
        stop_ = Stop::ProbeDone;
        return false;
    }
    if (code >= 100 && code < 200)
        return true;

    const std::string *location = response_.field("location");
    const bool redirect = code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
    if (redirect && location && !t_.has(TInternetOption::ioNoAutoRedirect)) {
        response_.followed = true;
        char *effective = nullptr;
        curl_easy_getinfo(curl_, CURLINFO_EFFECTIVE_URL, &effective);
        std::string target = *location;
        if (CURLU *u = curl_url()) {
            if (effective && curl_url_set(u, CURLUPART_URL, effective, 0) == CURLUE_OK &&
                curl_url_set(u, CURLUPART_URL, location->c_str(), 0) == CURLUE_OK) {
                char *resolved = nullptr;
                if (curl_url_get(u, CURLUPART_URL, &resolved, 0) == CURLUE_OK) {
                    target = resolved;
                    curl_free(resolved);
                }
            }
            curl_url_cleanup(u);
        }
        const std::string from = lower(effective ? std::string(effective) : currentUrl_);
        if (from.rfind("https:", 0) == 0 && lower(target).rfind("http:", 0) == 0 &&
            !t_.has(TInternetOption::ioIgnoreRedirectToHTTP)) {
            stop_ = Stop::RedirectRefused;
            return false;
        }
        status(110);
        if (t_.wantsRedirected && !th_.IsAbandoned() && t_.owner->OnRedirected)
            t_.owner->OnRedirected(*t_.owner, target);
        return true;
    }

    t_.statusCode = code;
    if (code == 416 && t_.resumeOffset != 0) {
        stop_ = Stop::Range416;
        return false;
    }
    if (code == 401 && t_.wantsPasswordRequest) {
        std::string realm;
        if (const std::string *auth = response_.field("www-authenticate")) {
            const auto at = auth->find("=\"");
            if (at != std::string::npos) {
                realm = auth->substr(at + 2);
                if (!realm.empty())
                    realm.pop_back();
            }
        }
        HttpTransfer *t = &t_;
        std::string user, pass;
        sync([t, realm, &user, &pass] {
            TWinHTTP &c = *t->owner;
            bool tryAgain = false;
            if (c.OnPasswordRequest)
                c.OnPasswordRequest(c, realm, tryAgain);
            t->tryAgain = tryAgain;
            user = c.Username;
            pass = c.Password;
        });
        if (stopRequested()) {
            stop_ = Stop::Poll;
            return false;
        }
        if (t_.tryAgain) {
            t_.username = user;
            t_.password = pass;
            curl_easy_setopt(curl_, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
            curl_easy_setopt(curl_, CURLOPT_USERNAME, user.c_str());
            curl_easy_setopt(curl_, CURLOPT_PASSWORD, pass.c_str());
            stop_ = Stop::Resend;
            return false;
        }
    }
    if (code == 407 && t_.wantsProxyAuthentication) {
        HttpTransfer *t = &t_;
        std::string user, pass;
        sync([t, &user, &pass] {
            TWinHTTP &c = *t->owner;
            bool tryAgain = false;
            if (c.OnProxyAuthenticationRequest)
                c.OnProxyAuthenticationRequest(c, c.Proxy.ProxyUsername, c.Proxy.ProxyPassword, tryAgain);
            t->tryAgain = tryAgain;
            user = c.Proxy.ProxyUsername;
            pass = c.Proxy.ProxyPassword;
        });
        if (stopRequested()) {
            stop_ = Stop::Poll;
            return false;
        }
        if (t_.tryAgain) {
            t_.proxy.ProxyUsername = user;
            t_.proxy.ProxyPassword = pass;
            curl_easy_setopt(curl_, CURLOPT_PROXYAUTH, CURLAUTH_BASIC);
            curl_easy_setopt(curl_, CURLOPT_PROXYUSERNAME, user.c_str());
            curl_easy_setopt(curl_, CURLOPT_PROXYPASSWORD, pass.c_str());
            stop_ = Stop::Resend;
            return false;
        }
    }
    return headerPhase();
}

bool HttpWorker::headerPhase()
{
    {
        std::lock_guard lock(t_.ioLock);
        t_.dropOutput();
    }
    if (stopRequested()) {
        stop_ = Stop::Poll;
        return false;
    }
    if (const std::string *ct = response_.field("content-type"))
        t_.contentType = *ct;
    std::int64_t length = 0;
    const std::string *cl = response_.field("content-length");
    const bool announced = cl && parseInt64(*cl, length);
    t_.dataSize = announced ? length : 0;
    if (!response_.field("content-range"))
        t_.resumeOffset = 0;

    if (t_.wantsHeaderInfo) {
        auto value = [&](const char *name) {
            const std::string *v = response_.field(name);
            return v ? *v : std::string();
        };
        t_.rawHeaders = response_.raw.size() >= kQueryLimit ? std::string() : response_.raw;
        t_.contentLanguage = value("content-language");
        t_.contentEncoding = value("content-encoding");
        t_.location = value("location");
        t_.etag = value("etag");
        t_.date = httpDateToLocalDateTime(value("date"));
        t_.lastModified = httpDateToLocalDateTime(value("last-modified"));
        t_.expires = httpDateToLocalDateTime(value("expires"));
        HttpTransfer *t = &t_;
        sync([t] {
            TWinHTTP &c = *t->owner;
            bool go = true;
            if (c.OnHeaderInfo)
                c.OnHeaderInfo(c, t->statusCode, t->rawHeaders, t->contentType, t->contentLanguage,
                               t->contentEncoding, t->dataSize + static_cast<std::int64_t>(t->resumeOffset),
                               t->location, t->date, t->lastModified, t->expires, t->etag, go);
            t->continueDownload = go;
        });
        if (stopRequested()) {
            stop_ = Stop::Poll;
            return false;
        }
        if (!t_.continueDownload) {
            stop_ = Stop::Interrupted;
            return false;
        }
    }
    headerPhaseDone_ = true;
    return openOutput();
}

bool HttpWorker::openOutput()
{
    if (stopRequested()) {
        stop_ = Stop::Poll;
        return false;
    }
    std::lock_guard lock(t_.ioLock);
    if (t_.abandoned) {
        stop_ = Stop::Poll;
        return false;
    }
    t_.bytesRead = 0;
    const bool ok = t_.statusCode == 200 || t_.statusCode == 206;
    if (ok && !t_.outputFileName.empty()) {
        auto file = std::make_unique<TFileStream>(t_.outputFileName, t_.resumeOffset == 0);
        if (!file->IsOpen()) {
            stop_ = Stop::OutputError;
            return false;
        }
        if (t_.resumeOffset != 0) {
            const std::int64_t held = file->Size();
            if (held < static_cast<std::int64_t>(t_.resumeOffset)) {
                // The file is shorter than the offset: nothing to resume.
                stop_ = Stop::ResumeMismatch;
                return false;
            }
            file->Seek(static_cast<std::int64_t>(t_.resumeOffset));
            compareFirstBlock_ = held > static_cast<std::int64_t>(t_.resumeOffset);
        }
        if (t_.attributes.Incomplete != TWinHTTPFileAttributes{TWinHTTPFileAttribute::atrArchive})
            applyFileAttributes(t_.outputFileName, t_.attributes.Incomplete);
        t_.file = file.get();
        t_.ownedOutput = std::move(file);
        t_.output = t_.ownedOutput.get();
        t_.ownsOutputFile = true;
        return true;
    }
    if (t_.callerStream) {
        t_.output = t_.callerStream;
        return true;
    }
    if (t_.memoryLimit > 0 && t_.dataSize > t_.memoryLimit) {
        stop_ = Stop::OutputError;
        return false;
    }
    try {
        auto memory = std::make_unique<TMemoryStream>();
        if (t_.dataSize > 0)
            memory->Reserve(std::min(t_.dataSize, kMaxPresize));
        t_.ownedOutput = std::move(memory);
    } catch (const std::bad_alloc &) {
        stop_ = Stop::OutputError;
        return false;
    }
    t_.output = t_.ownedOutput.get();
    return true;
}

// ---- receive phase ----

bool HttpWorker::deliver(const char *data, std::size_t size)
{
    if (stopRequested()) {
        stop_ = Stop::Poll;
        return false;
    }
    {
        std::lock_guard lock(t_.ioLock);
        if (t_.abandoned || !t_.output) {
            stop_ = Stop::Poll;
            return false;
        }
        if (compareFirstBlock_) {
            // The part of the first block that the file already holds must
            // match it, else the file is not the start of this body.
            compareFirstBlock_ = false;
            const std::int64_t held = t_.file->Size() - static_cast<std::int64_t>(t_.resumeOffset);
            const std::size_t overlap = static_cast<std::size_t>(std::min<std::int64_t>(held, size));
            std::vector<char> existing(overlap);
            t_.file->Seek(static_cast<std::int64_t>(t_.resumeOffset));
            const std::int64_t got = t_.file->Read(existing.data(), static_cast<std::int64_t>(overlap));
            t_.file->Seek(static_cast<std::int64_t>(t_.resumeOffset));
            if (got != static_cast<std::int64_t>(overlap) || std::memcmp(existing.data(), data, overlap) != 0) {
                stop_ = Stop::ResumeMismatch;
                return false;
            }
        }
        const bool inMemory = !t_.file && t_.output != t_.callerStream;
        if (inMemory && t_.memoryLimit > 0 && t_.bytesRead + static_cast<std::int64_t>(size) > t_.memoryLimit) {
            stop_ = Stop::OutputError;
            return false;
        }
        std::int64_t written = 0;
        try {
            written = t_.output->Write(data, static_cast<std::int64_t>(size));
        } catch (const std::bad_alloc &) {
            written = -1;
        }
        if (written != static_cast<std::int64_t>(size)) {
            stop_ = Stop::OutputError;
            return false;
        }
    }
    t_.bytesRead += static_cast<std::int64_t>(size);
    lastActivity_ = Clock::now();
    if (t_.wantsProgress) {
        const bool last = t_.dataSize != 0 && t_.bytesRead >= t_.dataSize;
        reportProgress(last);
    }
    if (stopRequested()) {
        stop_ = Stop::Poll;
        return false;
    }
    return true;
}

void HttpWorker::reportProgress(bool force)
{
    const auto now = Clock::now();
    if (!force && t_.progressInterval > 0 && lastProgress_ != Clock::time_point{} &&
        now - lastProgress_ < std::chrono::milliseconds(t_.progressInterval)) {
        progressPending_ = true;
        return;
    }
    progressPending_ = false;
    lastProgress_ = now;
    const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(now - t_.startTick).count();
    const HttpProgress p = computeHttpProgress(t_.bytesRead, t_.dataSize,
                                               static_cast<std::int64_t>(t_.resumeOffset), elapsedMs);
    t_.percentsDone = p.percentsDone;
    t_.elapsedTime = p.elapsedTime;
    t_.estimatedTimeLeft = p.estimatedTimeLeft;
    t_.transferRate = p.transferRate;
    HttpTransfer *t = &t_;
    sync([t] {
        TWinHTTP &c = *t->owner;
        if (c.OnProgress)
            c.OnProgress(c, t->contentType, t->dataSize + static_cast<std::int64_t>(t->resumeOffset),
                         t->bytesRead + static_cast<std::int64_t>(t->resumeOffset), t->elapsedTime,
                         t->estimatedTimeLeft, t->percentsDone, t->transferRate, t->output);
    });
}

bool HttpWorker::onProgressTick(curl_off_t dlnow, curl_off_t ulnow, curl_off_t ultotal)
{
    if (stopRequested()) {
        stop_ = Stop::Poll;
        return false;
    }
    const auto now = Clock::now();
    if (dlnow != lastDown_ || ulnow != lastUp_) {
        lastDown_ = dlnow;
        lastUp_ = ulnow;
        lastActivity_ = now;
    }
    const bool sending = ultotal > 0 && ulnow < ultotal;
    const std::uint32_t limit = sending ? t_.timeouts.SendTimeout : t_.timeouts.ReceiveTimeout;
    const auto ms = std::chrono::milliseconds(limit ? limit : kDefaultTimeoutMs);
    if (now - lastActivity_ > ms) {
        stop_ = Stop::TimedOut;
        return false;
    }
    return true;
}

// ---- libcurl callbacks ----

std::size_t HttpWorker::headerCallback(char *data, std::size_t size, std::size_t count, void *self)
{
    auto *w = static_cast<HttpWorker *>(self);
    try {
        return w->onHeaderLine(data, size * count) ? size * count : 0;
    } catch (...) {
        w->callbackError_ = std::current_exception();
        w->stop_ = Stop::Error;
        return 0;
    }
}

std::size_t HttpWorker::writeCallback(char *data, std::size_t size, std::size_t count, void *self)
{
    auto *w = static_cast<HttpWorker *>(self);
    try {
        if (!w->headerPhaseDone_) {
            // A body without a header block of its own (HTTP/0.9): refuse.
            w->stop_ = Stop::Error;
            w->callbackError_ = std::make_exception_ptr(std::runtime_error("answer without headers"));
            return 0;
        }
        return w->deliver(data, size * count) ? size * count : 0;
    } catch (...) {
        w->callbackError_ = std::current_exception();
        w->stop_ = Stop::Error;
        return 0;
    }
}

int HttpWorker::xferCallback(void *self, curl_off_t, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow)
{
    auto *w = static_cast<HttpWorker *>(self);
    return w->onProgressTick(dlnow, ulnow, ultotal) ? 0 : 1;
}

// The callbacks below run inside libcurl: a handler's exception is kept
// and the transfer stopped, never thrown through C code.

int HttpWorker::resolverStartCallback(void *, void *, void *self)
{
    auto *w = static_cast<HttpWorker *>(self);
    try {
        w->status(10);
        return 0;
    } catch (...) {
        w->callbackError_ = std::current_exception();
        w->stop_ = Stop::Error;
        return 1;
    }
}

curl_socket_t HttpWorker::openSocketCallback(void *self, curlsocktype, struct curl_sockaddr *address)
{
    auto *w = static_cast<HttpWorker *>(self);
    try {
        w->status(11);
        w->status(20);
    } catch (...) {
        w->callbackError_ = std::current_exception();
        w->stop_ = Stop::Error;
        return CURL_SOCKET_BAD;
    }
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

int HttpWorker::prereqCallback(void *self, char *, char *, int, int)
{
    auto *w = static_cast<HttpWorker *>(self);
    w->lastActivity_ = Clock::now();
    try {
        w->status(21);
        w->status(30);
        return CURL_PREREQFUNC_OK;
    } catch (...) {
        w->callbackError_ = std::current_exception();
        w->stop_ = Stop::Error;
        return CURL_PREREQFUNC_ABORT;
    }
}

void runHttpTransfer(HttpTransfer &transfer, TEventWinThread &thread)
{
    HttpWorker(transfer, thread).run();
}

} // namespace quillor
