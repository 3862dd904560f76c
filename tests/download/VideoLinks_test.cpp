#include "VideoLinks.h"

#include <gtest/gtest.h>

using namespace quillor;

namespace {

struct SplitCase {
    const char *name;
    QString text;
    QStringList lines;
};

void PrintTo(const SplitCase &c, std::ostream *os) { *os << c.name; }

class SplitLines : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitLines, CutsAsPasted)
{
    EXPECT_EQ(SplitClipboardLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Clipboard, SplitLines,
    ::testing::Values(
        SplitCase{"BlankLineBetween", "http://a\r\n\r\nhttp://b", {"http://a", "http://b"}},
        SplitCase{"LoneCrAndLf", "a\rb\nc\r\n", {"a", "b", "c"}},
        SplitCase{"BlanksKept", "  a \t\r\n\tb", {"  a \t", "\tb"}},
        SplitCase{"DoubleQuoteSpansBreaks", "x\"1\r\n2\"y\r\nz", {"x\"1\r\n2\"y", "z"}},
        SplitCase{"SingleQuoteSpansBreaks", "'a\nb'\nc", {"'a\nb'", "c"}},
        SplitCase{"OtherQuoteInsideIgnored", "'a\"\nb'\nc", {"'a\"\nb'", "c"}},
        SplitCase{"UnclosedQuoteRunsToEnd", "a'b\r\nc", {"a'b\r\nc"}},
        SplitCase{"OnlyBreaks", "\r\n\r\n", {}}),
    [](const auto &info) { return std::string(info.param.name); });

struct PasteRecorder {
    TVideoLinkList list;
    QStringList asked;
    bool answer = true;
    PasteRecorder()
    {
        list.OnRefused = [this](const QString &m) {
            asked << m;
            return answer;
        };
    }
};

TEST(VideoLinks, LinkTestIsCaseBlindSubstringMatch)
{
    EXPECT_TRUE(IsVideoLink("HTTP://WWW.YOUTUBE.COM/watch?v=1"));
    EXPECT_TRUE(IsVideoLink("see youtube.com then http"));
    EXPECT_FALSE(IsVideoLink("www.youtube.com/watch?v=1"));
    EXPECT_FALSE(IsVideoLink("http://example.com/"));
}

TEST(VideoLinks, PasteKeepsTextAndRefusesExactDuplicatesOnly)
{
    PasteRecorder r;
    r.list.Paste("http://www.youtube.com/watch?v=a\r\n\r\nHTTP://www.YouTube.com/watch?v=A\r\n"
                 "http://www.youtube.com/watch?v=a\r\nwww.youtube.com/watch?v=b");
    EXPECT_EQ(r.list.Links(),
              (QStringList{"http://www.youtube.com/watch?v=a", "HTTP://www.YouTube.com/watch?v=A"}));
    ASSERT_EQ(r.asked.size(), 2);
    EXPECT_EQ(r.asked[0], "http://www.youtube.com/watch?v=a\n\r\n\rThis video is already in the download list.");
    EXPECT_EQ(r.asked[1], "www.youtube.com/watch?v=b\n\r\n\rThis is not a YouTube video link.");
}

TEST(VideoLinks, CancelOnFirstRefusalStopsThePaste)
{
    PasteRecorder r;
    r.answer = false;
    QString text = "http://www.youtube.com/watch?v=kept\n";
    for (int i = 0; i < 10; ++i)
        text += QStringLiteral("not a link %1\n").arg(i);
    text += "http://www.youtube.com/watch?v=after";
    r.list.Paste(text);
    EXPECT_EQ(r.asked.size(), 1);
    EXPECT_EQ(r.list.Links(), QStringList{"http://www.youtube.com/watch?v=kept"});
}

TEST(VideoLinks, RemoveSelectsTheEntryThatTookThePlace)
{
    TVideoLinkList list;
    for (const char *id : {"a", "b", "c", "d"})
        list.AddVideoLink(QStringLiteral("http://youtube.com/watch?v=") + id);
    EXPECT_EQ(list.Remove({1, 2}), 1); // "d" moved up to 1
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Remove({1}), 0);    // the last entry went: the new last one
    EXPECT_EQ(list.Remove({0}), -1);   // the only entry went: no selection
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Remove({}), -1);
}

} // namespace
