#pragma once
// The state of one accepted Read of TWinHTTP. Written by the worker, read by
// the events while the worker waits for them; the settings are copied from
// the component when the Read is accepted, so a Read that starts while an
// abandoned worker still runs out never shares anything with it.

#include "HttpStream.h"
#include "WinHTTP.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillor {

struct HttpTransfer {
    explicit HttpTransfer(TWinHTTP &component);

    TWinHTTP *owner;

    // Settings of this transfer.
    std::string url;
    TWinHTTPRequestMethod requestMethod;
    std::string postData;
    std::string acceptTypes;
    std::string agent;
    std::string referer;
    std::vector<std::string> addHeaders;
    std::string username;
    std::string password;
    TWinHTTPProxy proxy;
    TWinHTTPRange range;
    TWinHTTPTimeouts timeouts;
    std::string outputFileName;
    TWinHTTPOutputFileAttributes attributes;
    TCacheOptions cacheOptions;
    TInternetOptions internetOptions;
    bool workOffline;
    std::int32_t transferBufferSize;
    TStream *callerStream;
    std::int64_t memoryLimit;
    std::int32_t progressInterval;
    bool wantsHeaderInfo, wantsProgress, wantsPasswordRequest, wantsProxyAuthentication;
    bool wantsStatus, wantsRedirected, wantsBeforeSendRequest;

    bool has(TInternetOption option) const { return internetOptions.count(option) != 0; }

    // Transfer state.
    int statusCode = -1;
    std::int64_t dataSize = 0;
    std::int64_t bytesRead = 0;
    std::uint64_t resumeOffset = 0;
    std::uint64_t endOffset = 0;
    std::chrono::steady_clock::time_point startTick;
    std::uint8_t percentsDone = 0;
    std::int32_t elapsedTime = 0;
    std::int32_t estimatedTimeLeft = 0;
    float transferRate = -1.0f;
    std::string contentType;
    std::string rawHeaders, contentLanguage, contentEncoding, location, etag;
    double date = 0, lastModified = 0, expires = 0;
    bool continueDownload = true;
    bool tryAgain = false;
    bool deleteOnAbort = false;

    // Output. `output` is what the body goes into: ownedOutput, or the
    // caller's stream. `file` is set when ownedOutput is the output file.
    std::unique_ptr<TStream> ownedOutput;
    TStream *output = nullptr;
    TFileStream *file = nullptr;

    // How the body ended.
    bool outputError = false;      // the output could not be opened or written
    bool headerError = false;      // the request headers were refused
    bool alreadyComplete = false;  // the file to resume was already complete
    bool receiveFailed = false;    // the body broke off with a transport error
    bool exceptionReported = false;

    // Main thread: an ending event has been raised for this transfer.
    bool ended = false;

    // Guards the output against an immediate abort from the main thread:
    // once abandoned is set, the worker writes nothing more.
    std::mutex ioLock;
    bool abandoned = false;
    bool ownsOutputFile = false;

    bool succeeded() const;
    void dropOutput();
};

// Runs one transfer on the worker thread.
void runHttpTransfer(HttpTransfer &transfer, TEventWinThread &thread);

} // namespace quillor
