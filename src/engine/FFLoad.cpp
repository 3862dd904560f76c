#include "FFLoad.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <dlfcn.h>
#include <stdexcept>
#include <sys/stat.h>

#include "FFLog.h"

namespace quillor {

namespace {

FFSymbols g_symbols;

struct LibraryRow {
    const char *baseName;
    int majorVersion; // the generation the engine is compiled against
};

const LibraryRow kLibraries[kLibraryKindCount] = {
    {"avutil", LIBAVUTIL_VERSION_MAJOR},
    {"swresample", LIBSWRESAMPLE_VERSION_MAJOR},
    {"swscale", LIBSWSCALE_VERSION_MAJOR},
    {"avcodec", LIBAVCODEC_VERSION_MAJOR},
    {"avformat", LIBAVFORMAT_VERSION_MAJOR},
    {"avfilter", LIBAVFILTER_VERSION_MAJOR},
    {"avdevice", 59}, // libavdevice's header is not installed; it follows libavformat's major
};

// One row per symbol of both lists, with a setter into the table.
struct SymbolRow {
    TLibraryKind library;
    const char *name;
    bool required;
    bool data;
    void (*set)(FFSymbols &, void *);
};

#define FF_ROW(lib, sym, req, dat)                                                                       \
    {lk##lib, #sym, req, dat, [](FFSymbols &s, void *p) { s.sym = reinterpret_cast<decltype(s.sym)>(p); }},
#define FF_FUNC(lib, sym) FF_ROW(lib, sym, true, false)
#define FF_FUNC_OPT(lib, sym) FF_ROW(lib, sym, false, false)
#define FF_DATA(lib, sym) FF_ROW(lib, sym, true, true)
const SymbolRow kSymbols[] = {
#include "FFSymbols.inc"
#include "FFSymbolsTranscode.inc"
};
#undef FF_FUNC
#undef FF_FUNC_OPT
#undef FF_DATA
#undef FF_ROW

std::string format(const char *fmt, const std::string &a, const std::string &b, const std::string &c = {})
{
    const int n = std::snprintf(nullptr, 0, fmt, a.c_str(), b.c_str(), c.c_str());
    std::string out(static_cast<std::size_t>(std::max(n, 0)) + 1, '\0');
    std::snprintf(out.data(), out.size(), fmt, a.c_str(), b.c_str(), c.c_str());
    out.resize(static_cast<std::size_t>(std::max(n, 0)));
    return out;
}

bool isRegularFile(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

unsigned libraryVersion(TLibraryKind kind)
{
    const FFSymbols &s = g_symbols;
    switch (kind) {
    case lkAVUtil: return s.avutil_version();
    case lkSwResample: return s.swresample_version();
    case lkSwScale: return s.swscale_version();
    case lkAVCodec: return s.avcodec_version();
    case lkAVFormat: return s.avformat_version();
    case lkAVFilter: return s.avfilter_version();
    case lkAVDevice: return s.avdevice_version();
    }
    return 0;
}

void checkSet(TLibrarySet set)
{
    if (set == 0 || (set & ~AllLibraries) != 0)
        throw std::invalid_argument("library set must name at least one library, and only known ones");
}

} // namespace

const FFSymbols &ff()
{
    return g_symbols;
}

TFFLoader &TFFLoader::instance()
{
    static TFFLoader loader;
    return loader;
}

// The floating-point environment needs no care here: on x86-64 Linux every
// floating-point exception is masked by default, which is what the
// libraries expect.
TFFLoader::~TFFLoader()
{
    shuttingDown_ = true;
    // The log's own objects may already be gone at process end: nothing a
    // library says while it is being released reaches them.
    LibraryLogThreshold = INT_MIN;
    UnloadLibrarySet(AllLibraries);
}

std::string TFFLoader::LibraryFileName(TLibraryKind kind)
{
    const LibraryRow &row = kLibraries[kind];
    return std::string("lib") + row.baseName + ".so." + std::to_string(row.majorVersion);
}

int TFFLoader::LibraryMajorVersion(TLibraryKind kind)
{
    return kLibraries[kind].majorVersion;
}

void *TFFLoader::LoadInFolder(const std::string &folder, const std::string &fileName, std::string &error)
{
    void *module = nullptr;
    if (!folder.empty() && isRegularFile(folder + fileName))
        module = ::dlopen((folder + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    else
        module = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char *why = ::dlerror();
        error = why ? why : "unknown error";
    }
    return module;
}

std::string TFFLoader::BindLibrary(TLibraryKind kind, void *module)
{
    const std::string fileName = LibraryFileName(kind);
    for (const SymbolRow &row : kSymbols) {
        if (row.library != kind)
            continue;
        ::dlerror();
        void *address = ::dlsym(module, row.name);
        if (!address && row.required) {
            const char *why = ::dlerror();
            UnbindLibrary(kind);
            return format(row.data ? "Load variable %s@%s error: %s" : "Load function %s@%s error: %s", row.name,
                          fileName, why ? why : "symbol not found");
        }
        row.set(g_symbols, address);
    }
    return {};
}

void TFFLoader::UnbindLibrary(TLibraryKind kind)
{
    for (const SymbolRow &row : kSymbols)
        if (row.library == kind)
            row.set(g_symbols, nullptr);
}

std::string TFFLoader::CheckVersion(TLibraryKind kind) const
{
    const unsigned version = libraryVersion(kind);
    if (static_cast<int>(AV_VERSION_MAJOR(version)) == kLibraries[kind].majorVersion)
        return {};
    char text[200];
    std::snprintf(text, sizeof text, "version %u.%u.%u found, this program needs major version %d",
                  AV_VERSION_MAJOR(version), AV_VERSION_MINOR(version), AV_VERSION_MICRO(version),
                  kLibraries[kind].majorVersion);
    return text;
}

bool TFFLoader::LoadOneLibrary(TLibraryKind kind)
{
    Status &st = status_[kind];
    const std::string fileName = LibraryFileName(kind);
    std::string folder;
    if (!libraryFolder_.empty()) {
        folder = libraryFolder_;
        if (folder.back() != '/')
            folder += '/';
    }
    if (!st.module) {
        std::string why;
        st.module = LoadInFolder(folder, fileName, why);
        if (!st.module) {
            lastLoadError_ = format("Load library %s error: %s", folder + fileName, why);
            return false;
        }
    }
    if (!st.bound) {
        std::string error = BindLibrary(kind, st.module);
        if (error.empty()) {
            // A library of another generation has other structures behind
            // the same names: refuse it instead of crashing later.
            const std::string mismatch = CheckVersion(kind);
            if (!mismatch.empty()) {
                UnbindLibrary(kind);
                error = format("Load library %s error: %s", folder + fileName, mismatch);
            }
        }
        if (error.empty())
            st.bound = true;
        else
            lastLoadError_ = error;
    }
    if (!st.bound) {
        UnloadOneLibrary(kind);
        return false;
    }
    // Today's libraries serialise their own internals, so no lock manager
    // is registered with libavcodec; the libraries register their codecs,
    // formats and filters themselves. File names that need our own I/O are
    // opened through a custom AVIOContext (UnicodeProtocol.h) rather than a
    // registered protocol, and the interrupt check is set on every context
    // the engine opens (EngineInterruptCallback).
    if (kind == lkAVUtil && HookLogOnBind)
        GetLogger().InstallLogHook();
    return true;
}

void TFFLoader::UnloadOneLibrary(TLibraryKind kind)
{
    Status &st = status_[kind];
    if (st.bound) {
        UnbindLibrary(kind);
        st.bound = false;
    }
    if (st.module) {
        ::dlclose(st.module);
        st.module = nullptr;
    }
}

bool TFFLoader::OneLibraryLoaded(TLibraryKind kind) const
{
    return status_[kind].module && status_[kind].bound;
}

bool TFFLoader::LoadLibrarySet(TLibrarySet set)
{
    checkSet(set);
    for (int k = 0; k < kLibraryKindCount; ++k) {
        if (!(set & LibraryBit(TLibraryKind(k))))
            continue;
        if (!LoadOneLibrary(TLibraryKind(k))) {
            UnloadLibrarySet(set);
            return false;
        }
    }
    return true;
}

void TFFLoader::UnloadLibrarySet(TLibrarySet set)
{
    checkSet(set);
    for (int k = 0; k < kLibraryKindCount; ++k)
        if (set & LibraryBit(TLibraryKind(k)))
            UnloadOneLibrary(TLibraryKind(k));
}

bool TFFLoader::LibrarySetLoaded(TLibrarySet set) const
{
    checkSet(set);
    for (int k = 0; k < kLibraryKindCount; ++k)
        if ((set & LibraryBit(TLibraryKind(k))) && !OneLibraryLoaded(TLibraryKind(k)))
            return false;
    return true;
}

TInterruptCB &TInterruptCB::instance()
{
    static TInterruptCB registry;
    return registry;
}

void TInterruptCB::AddInterruptHandler(std::thread::id thread, void *owner, TInterruptHandler handler)
{
    std::lock_guard lock(mutex_);
    for (const Entry &e : entries_)
        if (e.thread == thread && e.owner == owner && e.handler == handler)
            return;
    entries_.push_back({thread, owner, handler});
}

void TInterruptCB::RemoveInterruptHandler(std::thread::id thread, void *owner, TInterruptHandler handler)
{
    std::lock_guard lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry &e) {
        return e.thread == thread && e.owner == owner && e.handler == handler;
    });
    if (it != entries_.end())
        entries_.erase(it);
}

bool TInterruptCB::CheckInterrupt(std::thread::id thread)
{
    std::lock_guard lock(mutex_);
    for (const Entry &e : entries_)
        if (e.thread == thread)
            return e.handler(e.owner);
    return false;
}

int InterruptCheck(void *)
{
    return TInterruptCB::instance().CheckInterrupt(std::this_thread::get_id()) ? 1 : 0;
}

AVIOInterruptCB EngineInterruptCallback()
{
    AVIOInterruptCB cb{};
    cb.callback = &InterruptCheck;
    cb.opaque = nullptr;
    return cb;
}

} // namespace quillor
