#pragma once
// The FFmpeg library loader and the binding table.
//
// The engine is not linked against libav*: TFFLoader dlopens the shared
// libraries of the generation the engine is compiled against, looks every
// entry point up by name and stores it in one typed table. The engine calls
// FFmpeg only through that table:
//
//     #include "FFLoad.h"
//     AVCodecContext *c = ff().avcodec_alloc_context3(codec);
//     if (ff().avcodec_open2(c, codec, nullptr) < 0) ...
//
// Each member is typed from the library's own header
// (decltype(&::avcodec_open2)), so a call through ff() is checked like a
// direct call; a member is null while its library is not bound.
//
// Adding an entry point: put one FF_FUNC line (or FF_FUNC_OPT for one that
// may be missing, FF_DATA for a variable) into FFSymbols.inc or
// FFSymbolsTranscode.inc. Both are expanded into the same table and the
// same bind routines; nothing else needs to change.
//
// Library folder: the non-system libraries are looked for in
// LibraryFolder first (a file that exists there is loaded from there and
// nowhere else), else by the dynamic linker's normal search. The rows are
// ordered so that each library's FFmpeg dependencies are loaded before it;
// a library loaded from the folder then satisfies the dependencies of the
// ones loaded after it (the dynamic linker matches already loaded objects
// by their soname).
//
// Threads: loading, unloading and the set queries run on one thread
// (start-up, on the main thread) and take no lock. ff() may be read from
// any thread once the set is loaded.

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avutil.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>

// libavdevice's header is not part of the build (the program never uses
// the library); its version entry point is declared as published.
unsigned avdevice_version(void);
}

namespace quillor {

// One row per library, in load order (dependencies first).
enum TLibraryKind : int {
    lkAVUtil = 0,
    lkSwResample = 1,
    lkSwScale = 2,
    lkAVCodec = 3,
    lkAVFormat = 4,
    lkAVFilter = 5,
    lkAVDevice = 6,
};
constexpr int kLibraryKindCount = 7;

// A set of TLibraryKind, one bit per row.
using TLibrarySet = std::uint32_t;
constexpr TLibrarySet LibraryBit(TLibraryKind k) { return TLibrarySet(1) << k; }
constexpr TLibrarySet AllLibraries = (TLibrarySet(1) << kLibraryKindCount) - 1;
// What the encoder component loads and checks: everything but libavdevice,
// which this program never loads.
constexpr TLibrarySet EncoderLibraries = AllLibraries & ~LibraryBit(lkAVDevice);

// The binding table: one typed pointer per bound symbol.
struct FFSymbols {
#define FF_FUNC(lib, name) decltype(&::name) name = nullptr;
#define FF_FUNC_OPT(lib, name) decltype(&::name) name = nullptr;
#define FF_DATA(lib, name) decltype(&::name) name = nullptr;
#include "FFSymbols.inc"
#include "FFSymbolsTranscode.inc"
#undef FF_FUNC
#undef FF_FUNC_OPT
#undef FF_DATA
};

// The process-wide binding table.
const FFSymbols &ff();

class TFFLoader {
public:
    static TFFLoader &instance();

    // Folder for the non-system libraries; empty = the normal search only.
    void SetLibraryFolder(const std::string &folder) { libraryFolder_ = folder; }
    const std::string &LibraryFolder() const { return libraryFolder_; }

    // Text of the last load or bind failure; success does not clear it.
    const std::string &LastLoadError() const { return lastLoadError_; }

    // Install the engine log hook when libavutil is bound.
    bool HookLogOnBind = true;

    // "libavcodec.so.59": the soname of the generation compiled against.
    static std::string LibraryFileName(TLibraryKind kind);
    // The major version the engine is compiled against.
    static int LibraryMajorVersion(TLibraryKind kind);

    bool LoadOneLibrary(TLibraryKind kind);
    void UnloadOneLibrary(TLibraryKind kind);
    bool OneLibraryLoaded(TLibraryKind kind) const;

    // The set operations; an empty set is a programming error
    // (std::invalid_argument).
    bool LoadLibrarySet(TLibrarySet set);
    void UnloadLibrarySet(TLibrarySet set);
    bool LibrarySetLoaded(TLibrarySet set) const;

    ~TFFLoader();

private:
    TFFLoader() = default;
    void *LoadInFolder(const std::string &folder, const std::string &fileName, std::string &error);
    std::string BindLibrary(TLibraryKind kind, void *module); // empty = bound
    static void UnbindLibrary(TLibraryKind kind);
    std::string CheckVersion(TLibraryKind kind) const;        // empty = matches

    struct Status {
        void *module = nullptr;
        bool bound = false;
    };
    Status status_[kLibraryKindCount];
    std::string libraryFolder_;
    std::string lastLoadError_;
    bool shuttingDown_ = false;
};

inline TFFLoader &FFLoader() { return TFFLoader::instance(); }

// Registry of interrupt checks, one list for the whole process. A task
// registers a handler for the thread that runs it around its blocking
// library calls; the format library asks InterruptCheck(), which calls the
// first handler registered for the current thread.
//
// Every format context the engine opens carries EngineInterruptCallback()
// as its interrupt_callback (today's libraries ask per context instead of
// through one global hook).
using TInterruptHandler = bool (*)(void *owner);

class TInterruptCB {
public:
    static TInterruptCB &instance();

    // Appends unless the same thread, owner and handler are listed already.
    void AddInterruptHandler(std::thread::id thread, void *owner, TInterruptHandler handler);
    // Removes the first entry that matches all three.
    void RemoveInterruptHandler(std::thread::id thread, void *owner, TInterruptHandler handler);
    // The result of the first handler of that thread; false when none. The
    // handler runs under the registry's lock: it must not add or remove.
    bool CheckInterrupt(std::thread::id thread);

private:
    struct Entry {
        std::thread::id thread;
        void *owner;
        TInterruptHandler handler;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

// The interrupt_callback.callback of the engine's format contexts:
// 1 when the current thread's handler asks to stop, else 0.
int InterruptCheck(void *);
AVIOInterruptCB EngineInterruptCallback();

} // namespace quillor
