#include "UnicodeProtocol.h"

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FFLoad.h"

namespace quillor {

const char kUnicodeFilePrefix[] = "unicode:utf8:";

namespace {

constexpr int kIOBufferSize = 64 * 1024;

// Decodes one UTF-8 sequence; false on a malformed one.
bool nextCodePoint(const std::string &s, std::size_t &i, char32_t &cp)
{
    const auto b = static_cast<unsigned char>(s[i]);
    int extra;
    if (b < 0x80) {
        cp = b;
        extra = 0;
    } else if ((b & 0xE0) == 0xC0) {
        cp = b & 0x1F;
        extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
        cp = b & 0x0F;
        extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
        cp = b & 0x07;
        extra = 3;
    } else {
        return false;
    }
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= s.size())
            return false;
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (c & 0x3F);
    }
    i += extra + 1;
    return cp <= 0x10FFFF;
}

bool hasKnownPrefix(const std::string &name)
{
    const std::size_t colon = name.find(':');
    if (colon == std::string::npos)
        return false;
    static const std::string known = ":unicode:stream:gopher:http:pipe:rtp:tcp:udp:";
    return known.find(':' + name.substr(0, colon) + ':') != std::string::npos;
}

struct UnicodeFile {
    int fd = -1;
};

int unicodeRead(void *opaque, uint8_t *buf, int size)
{
    const int fd = static_cast<UnicodeFile *>(opaque)->fd;
    for (;;) {
        const ssize_t n = ::read(fd, buf, static_cast<size_t>(size));
        if (n > 0)
            return static_cast<int>(n);
        if (n == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

int unicodeWrite(void *opaque, uint8_t *buf, int size)
{
    const int fd = static_cast<UnicodeFile *>(opaque)->fd;
    int done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, buf + done, static_cast<size_t>(size - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return AVERROR(errno);
        }
        done += static_cast<int>(n);
    }
    return done;
}

int64_t unicodeSeek(void *opaque, int64_t offset, int whence)
{
    const int fd = static_cast<UnicodeFile *>(opaque)->fd;
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
    }
    const off_t pos = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return pos < 0 ? AVERROR(errno) : static_cast<int64_t>(pos);
}

} // namespace

bool NeedsUnicodeName(const std::string &utf8Name)
{
    if (hasKnownPrefix(utf8Name))
        return false;
    std::mbstate_t state{};
    char bytes[MB_LEN_MAX];
    for (std::size_t i = 0; i < utf8Name.size();) {
        char32_t cp;
        // Bytes that are not UTF-8 reach the file system as they are.
        if (!nextCodePoint(utf8Name, i, cp))
            return false;
        if (cp < 0x80)
            continue;
        if (std::wcrtomb(bytes, static_cast<wchar_t>(cp), &state) == static_cast<std::size_t>(-1))
            return true;
    }
    return false;
}

std::string MapFileNameForLibrary(const std::string &utf8Name)
{
    // A name that is not wrapped goes as the UTF-8 bytes the file system
    // stores, not re-encoded for the locale: on Linux the name is bytes.
    return NeedsUnicodeName(utf8Name) ? kUnicodeFilePrefix + utf8Name : utf8Name;
}

bool IsUnicodeFileName(const std::string &libraryName)
{
    return libraryName.size() > std::strlen(kUnicodeFilePrefix) &&
           libraryName.compare(0, std::strlen(kUnicodeFilePrefix), kUnicodeFilePrefix) == 0;
}

std::string MapFileNameFromLibrary(const std::string &libraryName)
{
    if (!IsUnicodeFileName(libraryName))
        return libraryName;
    // Everything up to and including the second ":" is the protocol part.
    return libraryName.substr(libraryName.find(':', libraryName.find(':') + 1) + 1);
}

int OpenUnicodeIO(AVIOContext **pb, const std::string &libraryName, int flags)
{
    *pb = nullptr;
    const std::string path = MapFileNameFromLibrary(libraryName);
    int openFlags = O_CLOEXEC;
    if ((flags & AVIO_FLAG_READ_WRITE) == AVIO_FLAG_READ_WRITE)
        openFlags |= O_RDWR | O_CREAT | O_TRUNC;
    else if (flags & AVIO_FLAG_WRITE)
        openFlags |= O_WRONLY | O_CREAT | O_TRUNC;
    else
        openFlags |= O_RDONLY;
    const int fd = ::open(path.c_str(), openFlags, 0666);
    if (fd < 0)
        return AVERROR(errno);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return AVERROR(EISDIR);
    }
    auto *file = new UnicodeFile{fd};
    auto *buffer = static_cast<unsigned char *>(ff().av_malloc(kIOBufferSize));
    const bool writing = flags & AVIO_FLAG_WRITE;
    AVIOContext *ctx = buffer ? ff().avio_alloc_context(buffer, kIOBufferSize, writing ? 1 : 0, file,
                                                        (openFlags & O_WRONLY) ? nullptr : unicodeRead,
                                                        writing ? unicodeWrite : nullptr, unicodeSeek)
                              : nullptr;
    if (!ctx) {
        ff().av_free(buffer);
        ::close(fd);
        delete file;
        return AVERROR(ENOMEM);
    }
    *pb = ctx;
    return 0;
}

bool IsUnicodeIO(const AVIOContext *pb)
{
    return pb && pb->seek == unicodeSeek;
}

int CloseUnicodeIO(AVIOContext **pb)
{
    if (!pb || !*pb)
        return 0;
    AVIOContext *ctx = *pb;
    *pb = nullptr;
    if (ctx->write_flag)
        ff().avio_flush(ctx);
    int result = ctx->error < 0 ? ctx->error : 0;
    auto *file = static_cast<UnicodeFile *>(ctx->opaque);
    if (::close(file->fd) != 0 && result == 0)
        result = AVERROR(errno);
    delete file;
    ff().av_freep(&ctx->buffer);
    ff().avio_context_free(&ctx);
    return result;
}

int OpenInputContext(AVFormatContext **ctx, const std::string &utf8Name, const AVInputFormat *format,
                     AVDictionary **options)
{
    const std::string name = MapFileNameForLibrary(utf8Name);
    if (!*ctx && !(*ctx = ff().avformat_alloc_context()))
        return AVERROR(ENOMEM);
    (*ctx)->interrupt_callback = EngineInterruptCallback();
    AVIOContext *own = nullptr;
    if (IsUnicodeFileName(name)) {
        const int r = OpenUnicodeIO(&own, name, AVIO_FLAG_READ);
        if (r < 0) {
            ff().avformat_free_context(*ctx);
            *ctx = nullptr;
            return r;
        }
        (*ctx)->pb = own;
        (*ctx)->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    const int r = ff().avformat_open_input(ctx, name.c_str(), format, options);
    if (r < 0) // the library freed the context but leaves custom I/O to us
        CloseUnicodeIO(&own);
    return r;
}

void CloseInputContext(AVFormatContext **ctx)
{
    if (!ctx || !*ctx)
        return;
    AVIOContext *own = IsUnicodeIO((*ctx)->pb) ? (*ctx)->pb : nullptr;
    ff().avformat_close_input(ctx);
    CloseUnicodeIO(&own);
}

int OpenOutputIO(AVIOContext **pb, const std::string &utf8Name, int flags, AVDictionary **options)
{
    const std::string name = MapFileNameForLibrary(utf8Name);
    if (IsUnicodeFileName(name))
        return OpenUnicodeIO(pb, name, flags);
    const AVIOInterruptCB cb = EngineInterruptCallback();
    return ff().avio_open2(pb, name.c_str(), flags, &cb, options);
}

int CloseOutputIO(AVIOContext **pb)
{
    if (IsUnicodeIO(pb ? *pb : nullptr))
        return CloseUnicodeIO(pb);
    return ff().avio_closep(pb);
}

} // namespace quillor
