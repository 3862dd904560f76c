#pragma once
// HTTP dates as servers send them: RFC 1123 ("Sun, 06 Nov 1994 08:49:37
// GMT"), RFC 850 ("Sunday, 06-Nov-94 08:49:37 GMT") and asctime ("Sun Nov  6
// 08:49:37 1994"), with an optional "+hhmm"/"-hhmm" offset.

#include <ctime>
#include <optional>
#include <string>

namespace quillor {

// Seconds since the epoch (UTC), or nothing when the text is not a date.
std::optional<std::time_t> parseHttpDate(const std::string &text);

// A date-time value in days since 1899-12-30, in local time; 0 when the
// text is not a date.
double httpDateToLocalDateTime(const std::string &text);

// Days since 1899-12-30 of a UTC instant, shifted into local time.
double unixToLocalDateTime(std::time_t utc);

} // namespace quillor
