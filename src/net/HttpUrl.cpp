#include "HttpUrl.h"

#include <cctype>
#include <cstring>

namespace quillor {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isEscape(const std::string &s, std::size_t i)
{
    return s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0;
}

std::string decode(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (i + 2 < s.size() && isEscape(s, i)) {
            out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

void appendEscaped(std::string &out, unsigned char c)
{
    static const char digits[] = "0123456789ABCDEF";
    out += '%';
    out += digits[c >> 4];
    out += digits[c & 15];
}

bool mustEscape(unsigned char c, bool isQuery)
{
    if (c < 0x20 || c >= 0x80)
        return true;
    switch (c) {
    case ' ': case '#': case '%': case '<': case '>':
        return true;
    case '*': case '+':
        return isQuery;
    case '"': case '?':
        return !isQuery; // a path never holds a raw "?" or quote
    default:
        return false;
    }
}

bool keepsMeaning(unsigned char c)
{
    return std::strchr("&=;/?:@,$!'()[]", c) != nullptr && c != 0;
}

std::string toLower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int defaultPort(const std::string &scheme)
{
    if (scheme == "https")
        return 443;
    if (scheme == "ftp")
        return 21;
    if (scheme == "file")
        return 0;
    return 80;
}

} // namespace

std::string withDefaultScheme(const std::string &url)
{
    if (url.find("://") == std::string::npos)
        return "http://" + url;
    return url;
}

std::string encodeRequestPart(const std::string &text, bool isQuery)
{
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (i + 2 < text.size() && isEscape(text, i)) {
            const auto decoded = static_cast<unsigned char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
            if (keepsMeaning(decoded)) {
                appendEscaped(out, decoded);
                continue;
            }
            c = decoded;
        }
        if (mustEscape(c, isQuery))
            appendEscaped(out, c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

HttpUrlParts splitHttpUrl(const std::string &url)
{
    HttpUrlParts failed;
    const std::size_t sep = url.find("://");
    if (sep == std::string::npos || sep == 0)
        return failed;
    HttpUrlParts parts;
    parts.scheme = toLower(url.substr(0, sep));
    for (char c : parts.scheme)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return failed;

    const std::string rest = url.substr(sep + 3);
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    const std::string authority = rest.substr(0, authorityEnd);
    std::string pathAndQuery = authorityEnd == std::string::npos ? std::string() : rest.substr(authorityEnd);

    std::string hostPort = authority;
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::string userInfo = authority.substr(0, at);
        hostPort = authority.substr(at + 1);
        const std::size_t colon = userInfo.find(':');
        parts.userName = decode(userInfo.substr(0, colon));
        if (colon != std::string::npos)
            parts.password = decode(userInfo.substr(colon + 1));
    }

    std::string host = hostPort;
    std::string portText;
    if (!hostPort.empty() && hostPort[0] == '[') {
        const std::size_t close = hostPort.find(']');
        if (close == std::string::npos)
            return failed;
        host = hostPort.substr(0, close + 1);
        if (close + 1 < hostPort.size()) {
            if (hostPort[close + 1] != ':')
                return failed;
            portText = hostPort.substr(close + 2);
        }
    } else {
        const std::size_t colon = hostPort.rfind(':');
        if (colon != std::string::npos) {
            host = hostPort.substr(0, colon);
            portText = hostPort.substr(colon + 1);
        }
    }
    parts.host = decode(host);
    parts.port = defaultPort(parts.scheme);
    if (!portText.empty()) {
        if (portText.size() > 5)
            return failed;
        int port = 0;
        for (char c : portText) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return failed;
            port = port * 10 + (c - '0');
        }
        if (port == 0 || port > 65535)
            return failed;
        parts.port = port;
    }

    const std::size_t queryStart = pathAndQuery.find_first_of("?#");
    const std::string rawPath = pathAndQuery.substr(0, queryStart);
    const std::string rawExtra = queryStart == std::string::npos ? std::string() : pathAndQuery.substr(queryStart);
    parts.path = decode(rawPath);
    if (parts.path.empty())
        parts.path = "/";

    // The limits of the buffers the address has always been split into.
    if (parts.scheme.size() > 32 || parts.host.size() > 256 || parts.userName.size() > 128 ||
        parts.password.size() > 128 || parts.path.size() > 2048 || decode(rawExtra).size() > 2048)
        return failed;

    parts.objectPath = rawPath.empty() ? std::string("/") : encodeRequestPart(rawPath, false);
    if (!rawExtra.empty()) {
        // A fragment after a query is sent escaped, as part of the query;
        // a fragment alone is never sent.
        if (rawExtra[0] == '?')
            parts.extraInfo = "?" + encodeRequestPart(rawExtra.substr(1), true);
    }
    parts.ok = true;
    return parts;
}

} // namespace quillor
