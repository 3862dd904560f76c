// Feeds arbitrary bytes to the media probe the way the input list uses it:
// open, read every record, seek to the middle, decode a few pictures and
// convert one, then seek by bytes and decode again. The first byte picks the
// file name: a plain one (FFmpeg's own file access) or one the "C" locale
// cannot carry (the engine's own I/O).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

#include "FFDecode.h"
#include "FFLoad.h"
#include "FFLog.h"
#include "FFmpeg.h"

using namespace quillor;

namespace {

std::string g_folder;

void writeFile(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static TFFLogger logger; // no handler: the probe's reports go nowhere
    logger.SetLogLevel(llQuiet);
    if (!FFLoader().LoadLibrarySet(EncoderLibraries)) {
        std::fprintf(stderr, "%s\n", FFLoader().LastLoadError().c_str());
        std::abort();
    }
    // Keep the libraries mapped after the loader releases them at exit, so
    // that leak reports can name their frames.
    for (int k = 0; k < kLibraryKindCount; ++k)
        if (EncoderLibraries & LibraryBit(TLibraryKind(k)))
            ::dlopen(TFFLoader::LibraryFileName(TLibraryKind(k)).c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    char tmpl[] = "/tmp/quillor-fuzz-XXXXXX";
    g_folder = ::mkdtemp(tmpl);
    std::atexit([] {
        ::unlink((g_folder + "/input").c_str());
        ::unlink((g_folder + "/вход").c_str());
        ::rmdir(g_folder.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const std::string path = g_folder + ((data[0] & 1) ? "/вход" : "/input");
    writeFile(path, data + 1, size - 1);

    TFFDecoder probe;
    probe.Deinterlace = (data[0] & 2) != 0;
    try {
        if (!probe.OpenMediaFile(path))
            return 0;
        TFileStreamInfo fi;
        TAudioStreamInfo ai;
        TVideoStreamInfo vi;
        probe.ReadFileStreamInfo(fi);
        for (int i = -1; i < probe.StreamCount() && i < 8; ++i) {
            probe.ReadAudioStreamInfo(i, ai);
            probe.ReadVideoStreamInfo(i, vi);
        }
        (void)probe.OpenedFileName();
        EngineBitmap bitmap;
        probe.SeekMedia(0, fi.Duration / 2);
        for (int i = 0; i < 3 && probe.DecodeVideoPicture(); ++i) {
        }
        probe.PictureToBitmap(bitmap);
        probe.SeekMedia(AVSEEK_FLAG_BYTE, probe.MediaFileSize() / 2);
        probe.DecodeVideoPicture();
        probe.SeekMedia(0, 0);
        probe.DecodeVideoPicture();
        probe.PictureToBitmap(bitmap);
    } catch (const FFmpegException &) {
        // Only the "not loaded" and "read-only" conditions throw; neither
        // may happen here.
        std::abort();
    }
    return 0;
}
