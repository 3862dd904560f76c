#include "NetTestSupport.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace quillor::test {

TestServer::TestServer(const std::vector<std::string> &arguments)
{
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char *script = QUILLOR_TEST_SERVER;
    std::vector<char *> argv = {const_cast<char *>("python3"), const_cast<char *>(script)};
    for (const std::string &a : arguments)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start the test server");
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdinFd_ = in[1];
    FILE *f = ::fdopen(out[0], "r");
    if (!f || std::fscanf(f, "PORT %d", &port_) != 1)
        throw std::runtime_error("the test server did not start");
    std::fclose(f);
}

TestServer::~TestServer()
{
    ::close(stdinFd_);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_)
            return;
        ::usleep(20000);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
}

std::string TestServer::url(const std::string &pathAndQuery) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

std::string TestServer::httpsUrl(const std::string &pathAndQuery) const
{
    return "https://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

TestServer &server()
{
    static TestServer instance;
    return instance;
}

void bindMainThread()
{
    MainThreadQueue::instance().bindToCurrentThread();
}

void EventLog::add(const std::string &event)
{
    if (event == "Progress" && !events.empty() && events.back() == "Progress")
        return;
    events.push_back(event);
}

void EventLog::attach(TWinHTTP &http)
{
    http.OnProgress = [this](TWinHTTP &, const std::string &, std::int64_t dataSize, std::int64_t bytesRead,
                             std::int32_t elapsed, std::int32_t left, std::uint8_t percents, float rate,
                             TStream *) {
        progress.push_back({dataSize, bytesRead, elapsed, left, percents, rate});
        add("Progress");
    };
    http.OnDone = [this, &http](TWinHTTP &, const std::string &, std::int64_t size, TStream *stream) {
        ++doneCount;
        doneFileSize = size;
        body = readAll(stream);
        readInsideDone = http.Read();
        add("Done");
    };
    http.OnDoneInterrupted = [this](TWinHTTP &) { add("DoneInterrupted"); };
    http.OnOutputFileError = [this](TWinHTTP &) { add("OutputFileError"); };
    http.OnConnLost = [this](TWinHTTP &, const std::string &, std::int64_t, std::int64_t, TStream *stream) {
        body = readAll(stream);
        add("ConnLost");
    };
    http.OnHTTPError = [this](TWinHTTP &, int code, TStream *stream) {
        httpError = code;
        body = readAll(stream);
        add("HTTPError");
    };
    http.OnHostUnreachable = [this](TWinHTTP &) { add("HostUnreachable"); };
    http.OnAnyError = [this](TWinHTTP &) { add("AnyError"); };
    http.OnAborted = [this](TWinHTTP &) { add("Aborted"); };
}

bool EventLog::ended() const
{
    for (const auto &e : events)
        if (e == "Done" || e == "AnyError" || e == "Aborted" || e == "DoneInterrupted")
            return true;
    return false;
}

bool waitForEnd(TWinHTTP &http, const EventLog &log, std::chrono::milliseconds timeout)
{
    auto &queue = MainThreadQueue::instance();
    const bool ok = queue.serveUntil([&] { return log.ended() && !http.IsRunning() && !http.Busy(); }, timeout);
    queue.drain();
    return ok;
}

std::string readAll(TStream *stream)
{
    if (!stream)
        return {};
    std::string text(static_cast<std::size_t>(stream->Size()), '\0');
    stream->Seek(0);
    stream->Read(text.data(), static_cast<std::int64_t>(text.size()));
    stream->Seek(0);
    return text;
}

std::string pattern(std::size_t start, std::size_t end)
{
    std::string s;
    s.reserve(end - start);
    for (std::size_t i = start; i < end; ++i)
        s += static_cast<char>(i % 251);
    return s;
}

} // namespace quillor::test
