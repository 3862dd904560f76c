// Fetches one address with TWinHTTP into memory (or into a file) and prints
// the seconds it took, the bytes received and the process's peak memory.
//
//   http_bench URL [--file PATH] [--progress-interval MS]
//
// Output, one line: "seconds=<s> bytes=<n> peak_rss_kb=<kb> result=<ending>"

#include "MainThreadQueue.h"
#include "WinHTTP.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>

using namespace quillor;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s URL [--file PATH] [--progress-interval MS]\n", argv[0]);
        return 2;
    }
    MainThreadQueue::instance().bindToCurrentThread();
    TWinHTTP http;
    http.URL = argv[1];
    http.ProgressInterval = 100; // what a window refreshing its labels would use
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--file") == 0)
            http.OutputFileName = argv[i + 1];
        else if (std::strcmp(argv[i], "--progress-interval") == 0)
            http.ProgressInterval = std::atoi(argv[i + 1]);
    }

    std::string ending;
    std::int64_t bytes = 0;
    long progressEvents = 0;
    http.OnProgress = [&](TWinHTTP &, const std::string &, std::int64_t, std::int64_t, std::int32_t,
                          std::int32_t, std::uint8_t, float, TStream *) { ++progressEvents; };
    http.OnDone = [&](TWinHTTP &, const std::string &, std::int64_t size, TStream *) {
        bytes = size;
        ending = "done";
    };
    http.OnAnyError = [&](TWinHTTP &) { ending = "error"; };
    http.OnAborted = [&](TWinHTTP &) { ending = "aborted"; };

    const auto start = std::chrono::steady_clock::now();
    if (!http.Read())
        return 1;
    MainThreadQueue::instance().serveUntil([&] { return !ending.empty(); });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("seconds=%.4f bytes=%lld peak_rss_kb=%ld progress_events=%ld result=%s\n", seconds,
                static_cast<long long>(bytes), usage.ru_maxrss, progressEvents, ending.c_str());
    return ending == "done" ? 0 : 1;
}
