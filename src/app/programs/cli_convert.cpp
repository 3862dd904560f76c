// quillor-cli convert: the window's conversion run without the window.
//
//   quillor-cli convert --class video|device|audio --format NAME --preset N
//                       [--join] --out DIR FILE...
//
// Tasks are built exactly as the window builds them (the same builders and
// the same encoder calls), run one at a time on worker threads, and
// reported as lines on standard output:
//   progress: task 0 file 0 42% frame=120 fps=60 size=123456 time=4.00s
//   output: /path/of/the/output.mp4
//   failed: /path/of/the/output.mp4: message
// The exit code is 0 when every input was converted, 1 when any input could
// not be opened or any task failed or was stopped, 2 on bad arguments.

#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "CliCommands.h"
#include "Catalogue.h"
#include "FFDecode.h"
#include "FFEncode.h"
#include "MainThreadQueue.h"
#include "TaskBuilder.h"

namespace quillor::cli {
namespace {

constexpr char kUsage[] =
    "usage: quillor-cli convert --class video|device|audio --format NAME --preset N [--join] --out DIR FILE...\n";

struct ConvertArgs {
    std::string className;
    std::string formatName;
    int preset = -1;
    bool join = false;
    std::string outDir;
    std::vector<std::string> files;
};

bool parseInt(const std::string &text, int &value)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    value = std::stoi(text);
    return true;
}

// Empty on success, else the complaint.
std::string parseArgs(const std::vector<std::string> &args, ConvertArgs &out)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](std::string &into) {
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return true;
        };
        if (a == "--class") {
            if (!value(out.className))
                return "--class needs a value";
        } else if (a == "--format") {
            if (!value(out.formatName))
                return "--format needs a value";
        } else if (a == "--preset") {
            std::string text;
            if (!value(text) || !parseInt(text, out.preset))
                return "--preset needs a number";
        } else if (a == "--out") {
            if (!value(out.outDir))
                return "--out needs a folder";
        } else if (a == "--join") {
            out.join = true;
        } else if (a == "--") {
            out.files.insert(out.files.end(), args.begin() + long(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a;
        } else {
            out.files.push_back(a);
        }
    }
    if (out.className.empty() || out.formatName.empty() || out.preset < 0 || out.outDir.empty())
        return "--class, --format, --preset and --out are required";
    if (out.files.empty())
        return "no input files";
    return {};
}

std::string programFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

// "lib" beside the program, else "../lib", else the normal search.
bool loadLibraries(TFFEncoder &encoder)
{
    if (encoder.LibrariesLoaded())
        return true;
    const std::filesystem::path folder = programFolder();
    for (const auto &candidate : {folder / "lib", folder / ".." / "lib"}) {
        std::error_code ec;
        if (std::filesystem::is_directory(candidate, ec) && encoder.LoadLibraries(candidate.string()))
            return true;
    }
    return encoder.LoadLibraries(std::string());
}

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int)
{
    interrupted = true;
}

// What the run reports, written from terminate threads.
struct RunResults {
    std::mutex mutex;
    std::vector<TTerminateInfo> ends; // by task index
    bool runEnded = false;
};

std::string joinPaths(const std::vector<std::string> &paths)
{
    std::string all;
    for (const auto &p : paths)
        all += (all.empty() ? "" : ", ") + p;
    return all;
}

} // namespace

int convert(const std::vector<std::string> &args)
{
    ConvertArgs a;
    if (const std::string problem = parseArgs(args, a); !problem.empty()) {
        std::fprintf(stderr, "quillor-cli convert: %s\n%s", problem.c_str(), kUsage);
        return 2;
    }
    const auto formatClass = ParseFormatClass(a.className);
    if (!formatClass) {
        std::fprintf(stderr, "quillor-cli convert: unknown class \"%s\"\n", a.className.c_str());
        return 2;
    }
    const OutputFormat *format = FindFormatByName(a.formatName);
    if (!format || format->Class != *formatClass) {
        std::fprintf(stderr, "quillor-cli convert: no format \"%s\" in class %s\n", a.formatName.c_str(),
                     std::string(FormatClassName(int(*formatClass))).c_str());
        return 2;
    }
    if (a.preset >= format->PresetCount()) {
        std::fprintf(stderr, "quillor-cli convert: format %s has presets 0 to %d\n",
                     std::string(format->Name).c_str(), format->PresetCount() - 1);
        return 2;
    }

    FormatSelection selection;
    selection.Class = static_cast<std::uint8_t>(*formatClass);
    selection.FormatIndex[selection.Class] = static_cast<std::uint8_t>(format->Index);
    selection.SetPresetOf(*format, a.preset);
    {
        std::error_code ec;
        std::filesystem::create_directories(a.outDir, ec);
        if (!std::filesystem::is_directory(a.outDir)) {
            std::fprintf(stderr, "quillor-cli convert: cannot create the folder %s\n", a.outDir.c_str());
            return 1;
        }
        selection.OutputFolder = std::filesystem::absolute(a.outDir).string();
    }

    MainThreadQueue &queue = MainThreadQueue::instance();
    queue.bindToCurrentThread();

    TFFEncoder encoder;
    if (!loadLibraries(encoder)) {
        std::fprintf(stderr, "quillor-cli convert: %s\n", encoder.LastError().c_str());
        return 1;
    }

    bool inputFailed = false;
    std::vector<std::string> outputs; // by task index
    OutputNames names;
    TFFDecoder &probe = *encoder.Decoder();

    if (a.join) {
        std::vector<JoinInput> inputs;
        for (const std::string &file : a.files) {
            if (!probe.OpenMediaFile(file, "")) {
                std::fprintf(stderr, "File load error: %s\n", probe.LastError().c_str());
                inputFailed = true;
                continue;
            }
            JoinInput input;
            input.Path = probe.OpenedFileName();
            TFileStreamInfo fileInfo;
            probe.ReadFileStreamInfo(fileInfo);
            input.DurationUs = fileInfo.Duration > 0 ? fileInfo.Duration : 0;
            if (probe.FirstVideoStream() >= 0) {
                TVideoStreamInfo video;
                probe.ReadVideoStreamInfo(-1, video);
                input.Width = video.Width;
                input.Height = video.Height;
                input.AspectRatio = video.DisplayAspectRatio;
            }
            probe.CloseMediaFile();
            inputs.push_back(input);
        }
        const JoinResult joined = BuildJoinTask(encoder, selection, inputs, names);
        for (const std::string &line : joined.LogLines)
            std::fprintf(stderr, "%s\n", line.c_str());
        if (joined.Rows.size() != inputs.size())
            inputFailed = true;
        if (joined.OutputSet)
            outputs.push_back(joined.Rows.empty() ? std::string() : joined.Rows.front().OutputPath);
    } else {
        for (const std::string &file : a.files) {
            if (!probe.OpenMediaFile(file, "")) {
                std::fprintf(stderr, "File load error: %s\n", probe.LastError().c_str());
                inputFailed = true;
                continue;
            }
            TaskOptions options = BuildTaskOptions(selection, ProbedInputOf(probe), names);
            const int index = encoder.AddTask(options.Input.FileName, options.Input);
            if (index < 0) {
                std::fprintf(stderr, "Adding file error: %s\n", encoder.LastError().c_str());
                inputFailed = true;
            } else if (!encoder.SetOutputFile(index, options.Output.FileName, options.Output)) {
                std::fprintf(stderr, "Cannot do convert, error: %s\n", encoder.LastError().c_str());
                encoder.RemoveTask(index);
                inputFailed = true;
            } else {
                outputs.push_back(options.Output.FileName);
            }
            probe.CloseMediaFile();
        }
    }

    const int taskCount = encoder.TaskCount();
    RunResults results;
    results.ends.resize(taskCount);
    encoder.OnProgress = [](TFFEncoder *, TProgressInfo *p) {
        const long long percent =
            p->TotalDuration > 0 ? static_cast<long long>(p->CurrentDuration * 100 / p->TotalDuration) : -1;
        if (percent >= 0)
            std::printf("progress: task %d file %d %lld%% frame=%d fps=%d size=%lld time=%.2fs\n", p->TaskIndex,
                        p->FileIndex, percent, p->FrameNumber, p->FPS, static_cast<long long>(p->CurrentSize),
                        p->CurrentDuration / 1e6);
        else
            std::printf("progress: task %d file %d N/A frame=%d fps=%d size=%lld time=%.2fs\n", p->TaskIndex,
                        p->FileIndex, p->FrameNumber, p->FPS, static_cast<long long>(p->CurrentSize),
                        p->CurrentDuration / 1e6);
        std::fflush(stdout);
    };
    encoder.OnTerminate = [&results](TFFEncoder *, const TTerminateInfo &info) {
        std::lock_guard lock(results.mutex);
        if (info.TaskIndex < 0)
            results.runEnded = true;
        else if (info.TaskIndex < int(results.ends.size()))
            results.ends[info.TaskIndex] = info;
    };

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    encoder.StartTask(1);
    bool stopping = false;
    for (;;) {
        const bool ended = queue.serveUntil(
            [&] {
                std::lock_guard lock(results.mutex);
                return results.runEnded;
            },
            std::chrono::milliseconds(100));
        if (ended)
            break;
        if (interrupted && !stopping) {
            stopping = true;
            std::fprintf(stderr, "quillor-cli convert: stopping\n");
            encoder.Stop(true);
        }
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    bool taskFailed = false;
    {
        std::lock_guard lock(results.mutex);
        for (int i = 0; i < taskCount; ++i) {
            const TTerminateInfo &end = results.ends[i];
            const std::string &path = i < int(outputs.size()) ? outputs[i] : std::string();
            if (end.Finished && !end.Exception) {
                std::printf("output: %s\n", path.c_str());
            } else {
                taskFailed = true;
                std::printf("failed: %s: %s\n", path.c_str(),
                            end.Exception ? end.ExceptionMsg.c_str() : "stopped before its end");
            }
        }
    }
    std::fflush(stdout);
    encoder.ClearTasks();
    if (taskCount == 0)
        std::fprintf(stderr, "quillor-cli convert: nothing to convert (%s)\n", joinPaths(a.files).c_str());
    return inputFailed || taskFailed || taskCount == 0 ? 1 : 0;
}

} // namespace quillor::cli
