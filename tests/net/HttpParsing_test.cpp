#include "HttpDate.h"
#include "HttpProgress.h"
#include "HttpUrl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

using namespace quillor;

namespace {

TEST(HttpUrl, SplitsAndReencodesForTheRequestLine)
{
    struct Row {
        const char *url;
        const char *scheme, *host;
        int port;
        const char *user, *password, *objectName;
    } rows[] = {
        {"example.org/a/b", "http", "example.org", 80, "", "", "/a/b"},
        {"HTTPS://Example.org", "https", "Example.org", 443, "", "", "/"},
        {"http://u%40x:p%3Aw@h:8080/p?q=1", "http", "h", 8080, "u@x", "p:w", "/p?q=1"},
        // Space and plus are escaped; an escaped letter is sent plain.
        {"http://h/s?a b+c&x=%41", "http", "h", 80, "", "", "/s?a%20b%2Bc&x=A"},
        // Escapes that carry meaning stay escaped; a bare "%" is escaped.
        {"http://h/s?v=a%26b%3Dc&p=50%", "http", "h", 80, "", "", "/s?v=a%26b%3Dc&p=50%25"},
        // Control bytes, bytes from 0x80 up, "*", "<", ">" and "#".
        {"http://h/?x=\x01\xc3\xa9*<>#f", "http", "h", 80, "", "", "/?x=%01%C3%A9%2A%3C%3E%23f"},
        // A decoded path goes out escaped where the request line needs it.
        {"http://h/a%20b/c%2Fd", "http", "h", 80, "", "", "/a%20b/c%2Fd"},
        {"http://h/page#frag", "http", "h", 80, "", "", "/page"},
        {"http://[::1]:81/x", "http", "[::1]", 81, "", "", "/x"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.url);
        const HttpUrlParts p = splitHttpUrl(withDefaultScheme(r.url));
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.scheme, r.scheme);
        EXPECT_EQ(p.host, r.host);
        EXPECT_EQ(p.port, r.port);
        EXPECT_EQ(p.userName, r.user);
        EXPECT_EQ(p.password, r.password);
        EXPECT_EQ(p.objectName(), r.objectName);
    }
}

TEST(HttpUrl, UnusableAddressesLeaveEveryPartEmpty)
{
    const std::string longPath = "http://h/" + std::string(2100, 'a');
    for (const std::string url : {std::string("http://"), std::string("://h/x"), std::string("ht tp://h/"),
                                  std::string("http://h:99999/"), std::string("http://h:8x/"),
                                  std::string("http://[::1/x"), longPath}) {
        SCOPED_TRACE(url);
        const HttpUrlParts p = splitHttpUrl(url);
        if (url == "http://") {
            // Splits, but there is no host to connect to.
            EXPECT_TRUE(p.host.empty());
            continue;
        }
        EXPECT_FALSE(p.ok);
        EXPECT_TRUE(p.host.empty() && p.scheme.empty() && p.objectName().empty());
    }
}

TEST(HttpUrl, FileAddressesKeepTheDecodedPath)
{
    const HttpUrlParts p = splitHttpUrl("file:///tmp/a%20b.txt");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.scheme, "file");
    EXPECT_EQ(p.host, "");
    EXPECT_EQ(p.path, "/tmp/a b.txt");
}

TEST(HttpDate, ReadsTheThreeFormsAndOffsets)
{
    const std::time_t expected = 784111777; // 1994-11-06 08:49:37 UTC
    struct Row {
        const char *text;
        std::time_t utc;
    } rows[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", expected},
        {"Sunday, 06-Nov-94 08:49:37 GMT", expected},
        {"Sun Nov  6 08:49:37 1994", expected},
        {"06 nov 1994 08:49:37", expected},
        {"Sun, 06 Nov 1994 09:49:37 +0100", expected},
        {"Sun, 06 Nov 1994 03:49:37 -0500", expected},
        {"Thu, 01-Jan-70 00:00:00 GMT", 3155760000LL},
        {"Mon, 29 Feb 2016 00:00:00 GMT", 1456704000},
        {"Sat, 06-Nov-99 08:49:37 GMT", 941878177},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        const auto t = parseHttpDate(r.text);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(*t, r.utc);
    }
}

TEST(HttpDate, UnreadableDatesYieldZero)
{
    for (const char *text : {"", "yesterday", "Sun, 31 Feb 1994 08:49:37 GMT", "Sun, 06 Foo 1994 08:49:37 GMT",
                             "Sun, 06 Nov 1994 25:49:37 GMT", "Sun, 06 Nov"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(parseHttpDate(text).has_value());
        EXPECT_EQ(httpDateToLocalDateTime(text), 0.0);
    }
}

TEST(HttpDate, ConvertsToLocalDays)
{
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    // 1994-11-06 08:49:37 is day 34644 after 1899-12-30.
    EXPECT_NEAR(httpDateToLocalDateTime("Sun, 06 Nov 1994 08:49:37 GMT"), 34644 + (8 * 3600 + 49 * 60 + 37) / 86400.0,
                1e-9);
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    EXPECT_NEAR(httpDateToLocalDateTime("Sun, 06 Nov 1994 08:49:37 GMT"), 34644 + (9 * 3600 + 49 * 60 + 37) / 86400.0,
                1e-9);
    ::unsetenv("TZ");
    ::tzset();
}

TEST(HttpProgress, FiguresOfEachBlock)
{
    struct Row {
        const char *name;
        std::int64_t read, size, offset, elapsedMs;
        int percents, elapsed, left;
        float rate;
    } rows[] = {
        {"first second: rate is KB read", 2048, 10240, 0, 999, 20, 0, 0, 2.0f},
        {"half way", 5120, 10240, 0, 4000, 50, 4, 4, 1.25f},
        {"rounded percentage", 1, 3, 0, 1000, 33, 1, 2, 1 / 1024.0f},
        {"resumed: offset counts for the percentage only", 1024, 1024, 1024, 2000, 100, 2, 0, 0.5f},
        {"no length announced", 4096, 0, 0, 3000, 0, 3, -3, 4 / 3.0f},
        {"more than announced", 2000, 1000, 0, 0, 100, 0, 0, 2000 / 1024.0f},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const HttpProgress p = computeHttpProgress(r.read, r.size, r.offset, r.elapsedMs);
        EXPECT_EQ(p.percentsDone, r.percents);
        EXPECT_EQ(p.elapsedTime, r.elapsed);
        EXPECT_EQ(p.estimatedTimeLeft, r.left);
        EXPECT_FLOAT_EQ(p.transferRate, r.rate);
    }
}

} // namespace
