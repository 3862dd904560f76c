#pragma once
// Small helpers shared by the engine's parts.

#include <cstdarg>
#include <cstdint>
#include <string>

namespace quillor {

// printf into a std::string, any length.
std::string FormatText(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char *format, va_list args);

// Blanks (spaces, tabs, line ends) removed at both ends.
std::string TrimBlanks(const std::string &text);

// The text an open failure reports: "name: text of the library code".
// The text is the library's own (av_strerror); a code it does not know
// gives "Error number %d occurred".
std::string LibraryErrorText(const std::string &name, int code);

// The name a stream's codec is shown with:
// - a decoder exists: its short name, with "(long name)" appended when the
//   long name is not blank;
// - else the raw MPEG-2 transport stream id (0x20000) gives "mpeg2ts";
// - else the codec's own name when the library has one;
// - else the four tag characters and " / 0x%04X" of the tag when all four
//   bytes are printable;
// - else "0x%04x" of the tag.
// Null pointers stand for "none".
std::string CodecNameFromParts(const char *decoderName, const char *decoderLongName, int codecId,
                               const char *codecOwnName, std::uint32_t codecTag);

} // namespace quillor
