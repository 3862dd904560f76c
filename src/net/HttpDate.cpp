#include "HttpDate.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace quillor {

namespace {

int monthIndex(const std::string &token)
{
    static const char *names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                  "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() != 3)
        return -1;
    std::string lower;
    for (char c : token)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int i = 0; i < 12; ++i)
        if (lower == names[i])
            return i;
    return -1;
}

bool allDigits(const std::string &s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

bool isDayName(const std::string &s)
{
    static const char *days[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
    if (s.size() < 3)
        return false;
    std::string lower;
    for (int i = 0; i < 3; ++i)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
    for (const char *d : days)
        if (lower == d)
            return true;
    return false;
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long daysFromCivil(int y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<long long>(era) * 146097 + static_cast<long long>(doe) - 719468;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 1 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
        return 29;
    return days[month];
}

} // namespace

std::optional<std::time_t> parseHttpDate(const std::string &input)
{
    std::string text = input;
    // The day name and everything up to the first space go.
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return std::nullopt;
    text = text.substr(start);
    if (isDayName(text)) {
        const std::size_t space = text.find(' ');
        if (space == std::string::npos)
            return std::nullopt;
        text = text.substr(space + 1);
    }

    // Tokens are separated by spaces; "-" separates too, except in an
    // offset such as "-0500".
    std::vector<std::string> tokens;
    std::string word;
    auto addWord = [&] {
        if (word.size() == 5 && (word[0] == '+' || word[0] == '-') && allDigits(word.substr(1))) {
            tokens.push_back(word);
        } else {
            std::string piece;
            for (char c : word) {
                if (c == '-') {
                    if (!piece.empty())
                        tokens.push_back(piece);
                    piece.clear();
                } else {
                    piece += c;
                }
            }
            if (!piece.empty())
                tokens.push_back(piece);
        }
        word.clear();
    };
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == ',')
            addWord();
        else
            word += c;
    }
    addWord();

    int day = -1, month = -1, year = -1, hour = 0, minute = 0, second = 0;
    int offsetMinutes = 0;
    std::vector<int> numbers;
    for (const std::string &t : tokens) {
        if (const int m = monthIndex(t); m >= 0 && month < 0) {
            month = m;
        } else if (t.find(':') != std::string::npos) {
            int parts[3] = {0, 0, 0};
            int n = 0;
            std::string piece;
            for (std::size_t i = 0; i <= t.size(); ++i) {
                if (i == t.size() || t[i] == ':') {
                    if (!allDigits(piece) || n >= 3)
                        return std::nullopt;
                    parts[n++] = std::stoi(piece);
                    piece.clear();
                } else {
                    piece += t[i];
                }
            }
            if (n < 2)
                return std::nullopt;
            hour = parts[0];
            minute = parts[1];
            second = parts[2];
        } else if ((t[0] == '+' || t[0] == '-') && t.size() == 5 && allDigits(t.substr(1))) {
            const int hh = std::stoi(t.substr(1, 2));
            const int mm = std::stoi(t.substr(3, 2));
            offsetMinutes = (t[0] == '-' ? -1 : 1) * (hh * 60 + mm);
        } else if (allDigits(t) && t.size() <= 4) {
            numbers.push_back(std::stoi(t));
        } else if (t == "GMT" || t == "UTC" || t == "UT" || t == "Z") {
        } else {
            return std::nullopt;
        }
    }
    if (month < 0 || numbers.size() != 2)
        return std::nullopt;
    day = numbers[0];
    year = numbers[1];
    if (year < 100)
        year += year < 80 ? 2000 : 1900;
    if (day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;

    const long long days = daysFromCivil(year, static_cast<unsigned>(month + 1), static_cast<unsigned>(day));
    const long long seconds = days * 86400 + hour * 3600 + minute * 60 + second - offsetMinutes * 60LL;
    return static_cast<std::time_t>(seconds);
}

double unixToLocalDateTime(std::time_t utc)
{
    std::tm local{};
    localtime_r(&utc, &local);
    const long long shifted = static_cast<long long>(utc) + local.tm_gmtoff;
    return static_cast<double>(shifted) / 86400.0 + 25569.0;
}

double httpDateToLocalDateTime(const std::string &text)
{
    const auto utc = parseHttpDate(text);
    return utc ? unixToLocalDateTime(*utc) : 0.0;
}

} // namespace quillor
