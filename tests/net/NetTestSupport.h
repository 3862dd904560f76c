#pragma once
// Shared pieces of the transfer tests: the loopback server and a recorder of
// a component's events.

#include "MainThreadQueue.h"
#include "WinHTTP.h"

#include <chrono>
#include <string>
#include <vector>

namespace quillor::test {

// The scriptable server of http_test_server.py, on 127.0.0.1 and a free
// port. It ends when this object goes (its standard input closes).
class TestServer {
public:
    // Extra arguments of the script, such as {"--tls", cert, key}.
    explicit TestServer(const std::vector<std::string> &arguments = {});
    ~TestServer();
    int port() const { return port_; }
    std::string url(const std::string &pathAndQuery) const;
    std::string httpsUrl(const std::string &pathAndQuery) const;

private:
    int pid_ = -1;
    int stdinFd_ = -1;
    int port_ = 0;
};

// The process-wide server, started on first use.
TestServer &server();

// Binds the main-thread queue to the calling (test) thread.
void bindMainThread();

// Records every event of a component as one word each ("Progress" once for
// a run of progress events), with the figures tests look at.
struct EventLog {
    std::vector<std::string> events;
    std::string body;             // the stream of OnDone / OnHTTPError / OnConnLost
    int httpError = 0;
    int doneCount = 0;
    std::int64_t doneFileSize = -1;
    bool readInsideDone = false;  // what Read returned when tried inside OnDone
    struct Progress {
        std::int64_t dataSize, bytesRead;
        std::int32_t elapsed, timeLeft;
        std::uint8_t percents;
        float rate;
    };
    std::vector<Progress> progress;

    void attach(TWinHTTP &http);
    bool ended() const;
    void add(const std::string &event);
};

// Serves the main thread until the transfer has ended and its worker is
// gone (so that anything it could still raise has been seen).
bool waitForEnd(TWinHTTP &http, const EventLog &log,
                std::chrono::milliseconds timeout = std::chrono::seconds(15));

std::string readAll(TStream *stream);
std::string pattern(std::size_t start, std::size_t end);

} // namespace quillor::test
