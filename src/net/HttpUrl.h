#pragma once
// Splitting a transfer address into its parts, the way the transfer
// component sends it.
//
// Escape sequences in the parts are decoded, then the path and the query are
// written back in a form that is safe on a request line: control bytes,
// bytes from 0x80 up and the characters space # % * + < > become %XX.
// Escapes of characters that carry meaning in a path or query (& = ; / ? :
// @ , $ ! ' ( ) [ ]) stay escaped, so "a%26b" never turns into two
// parameters.

#include <string>

namespace quillor {

struct HttpUrlParts {
    bool ok = false;          // false: the address could not be split; every part is empty
    std::string scheme;       // lower case
    std::string host;         // decoded
    int port = 0;             // explicit or the scheme's default
    std::string userName;     // decoded
    std::string password;     // decoded
    std::string path;         // decoded, for "file" addresses
    std::string objectPath;   // path as sent
    std::string extraInfo;    // "?query" as sent (empty when there is none)

    std::string objectName() const { return objectPath + extraInfo; }
};

// "http://" is put in front of an address without "://".
std::string withDefaultScheme(const std::string &url);

// Splits an address (after withDefaultScheme). Parts longer than the
// limits the component has always had (scheme 32, host 256, user name and
// password 128, path and query 2048 bytes) make the split fail.
HttpUrlParts splitHttpUrl(const std::string &url);

// Decodes the escapes of `text` and re-encodes it for a request line (see
// above). `isQuery` also escapes "*" and "+".
std::string encodeRequestPart(const std::string &text, bool isQuery);

} // namespace quillor
