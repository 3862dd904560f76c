#pragma once
// File names on their way into the libraries.
//
// The engine receives file names as UTF-8. A name that the C library's
// locale encoding can represent is handed to FFmpeg as it is and opened by
// FFmpeg's own file protocol. Any other name travels as
// "unicode:utf8:" + name and is opened by the engine itself: an AVIOContext
// over open(2) (read, write, seek, size), so that such files open and are
// written correctly even when the process runs under the "C" locale.
// Names with a known protocol prefix ("http:", "pipe:", ...) and names
// already in the "unicode:" form pass unchanged.
//
// Use OpenInputContext / CloseInputContext for inputs and OpenOutputIO /
// CloseOutputIO for the pb of an output context: they apply the naming rule,
// pick the right I/O and set the engine's interrupt check.

#include <string>

struct AVFormatContext;
struct AVInputFormat;
struct AVIOContext;
struct AVDictionary;

namespace quillor {

extern const char kUnicodeFilePrefix[]; // "unicode:utf8:"

// True when the name must travel in the "unicode:utf8:" form under the
// current locale.
bool NeedsUnicodeName(const std::string &utf8Name);

// The naming rule: the name the libraries get for a UTF-8 file name.
std::string MapFileNameForLibrary(const std::string &utf8Name);

// The reverse rule: a library name back to the UTF-8 file name.
std::string MapFileNameFromLibrary(const std::string &libraryName);

// True for a name in the "unicode:utf8:" form.
bool IsUnicodeFileName(const std::string &libraryName);

// Opens the engine's own I/O for a "unicode:utf8:" name. flags are
// AVIO_FLAG_READ, AVIO_FLAG_WRITE or AVIO_FLAG_READ_WRITE; writing creates
// or truncates the file. Returns 0 or a negative AVERROR code.
int OpenUnicodeIO(AVIOContext **pb, const std::string &libraryName, int flags);
// True for a context made by OpenUnicodeIO.
bool IsUnicodeIO(const AVIOContext *pb);
// Flushes, closes the file and frees the context; *pb becomes null.
// Returns 0 or the first error (for example a failed final write).
int CloseUnicodeIO(AVIOContext **pb);

// avformat_open_input for a UTF-8 file name. *ctx may hold a context
// allocated by the caller (with its flags set) or be null. On failure the
// context is freed and *ctx is null, as with avformat_open_input.
int OpenInputContext(AVFormatContext **ctx, const std::string &utf8Name, const AVInputFormat *format,
                     AVDictionary **options);
// avformat_close_input that also closes the engine's own I/O.
void CloseInputContext(AVFormatContext **ctx);

// Opens the output I/O for a UTF-8 file name (the libraries' avio_open2 or
// the engine's own). Returns 0 or a negative AVERROR code.
int OpenOutputIO(AVIOContext **pb, const std::string &utf8Name, int flags, AVDictionary **options = nullptr);
// Closes an output I/O opened by OpenOutputIO.
int CloseOutputIO(AVIOContext **pb);

} // namespace quillor
