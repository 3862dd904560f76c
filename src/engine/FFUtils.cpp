#include "FFUtils.h"

#include <cstdio>

#include "FFLoad.h"

namespace quillor {

std::string FormatTextV(const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0)
        return {};
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    va_copy(copy, args);
    std::vsnprintf(out.data(), out.size(), format, copy);
    va_end(copy);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string FormatText(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = FormatTextV(format, args);
    va_end(args);
    return out;
}

std::string TrimBlanks(const std::string &text)
{
    const char *blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string LibraryErrorText(const std::string &name, int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE * 2] = {};
    if (!ff().av_strerror || ff().av_strerror(code, text, sizeof text) < 0)
        std::snprintf(text, sizeof text, "Error number %d occurred", code);
    return name + ": " + text;
}

std::string CodecNameFromParts(const char *decoderName, const char *decoderLongName, int codecId,
                               const char *codecOwnName, std::uint32_t codecTag)
{
    if (decoderName) {
        const std::string longName = TrimBlanks(decoderLongName ? decoderLongName : "");
        return longName.empty() ? std::string(decoderName) : FormatText("%s(%s)", decoderName, longName.c_str());
    }
    if (codecId == 0x20000)
        return "mpeg2ts";
    const std::string own = TrimBlanks(codecOwnName ? codecOwnName : "");
    if (!own.empty())
        return own;
    char tag[4];
    bool printable = true;
    for (int i = 0; i < 4; ++i) {
        tag[i] = static_cast<char>((codecTag >> (8 * i)) & 0xFF);
        printable = printable && tag[i] >= 32 && tag[i] <= 126;
    }
    if (printable)
        return FormatText("%c%c%c%c / 0x%04X", tag[0], tag[1], tag[2], tag[3], codecTag);
    return FormatText("0x%04x", codecTag);
}

} // namespace quillor
