#include "FFTaskOptions.h"

#include <cctype>

namespace quillor {

void InitInputOptions(TInputOptions &options)
{
    options = TInputOptions{};
}

void InitOutputOptions(TOutputOptions &options)
{
    options = TOutputOptions{};
}

namespace {
bool isBlank(char c)
{
    // Control characters and spaces, as a trim of typed text expects.
    return static_cast<unsigned char>(c) <= ' ';
}

std::string lowerAscii(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
} // namespace

std::vector<TExtOption> ParseExtOptions(const std::string &text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;

    // Normalise every line break to LF, and the written-out "<CRLF>" too
    // (preset tables keep multi-line option blocks on one line that way).
    std::string body;
    body.reserve(last - first);
    static const std::string kCrLfToken = "<CRLF>";
    for (std::size_t i = first; i < last;) {
        if (text[i] == '\r') {
            body += '\n';
            i += (i + 1 < last && text[i + 1] == '\n') ? 2 : 1;
        } else if (text.compare(i, kCrLfToken.size(), kCrLfToken) == 0 && i + kCrLfToken.size() <= last) {
            body += '\n';
            i += kCrLfToken.size();
        } else {
            body += text[i++];
        }
    }

    std::vector<TExtOption> lines;
    std::size_t pos = 0;
    while (pos < body.size()) {
        std::size_t end = body.find('\n', pos);
        if (end == std::string::npos)
            end = body.size();
        const std::string line = body.substr(pos, end - pos);
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            lines.emplace_back(lowerAscii(line), std::string());
        else
            lines.emplace_back(lowerAscii(line.substr(0, eq)), line.substr(eq + 1));
        pos = end + 1;
    }
    return lines;
}

} // namespace quillor
