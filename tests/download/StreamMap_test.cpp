#include "HostScriptlet.h"
#include "JavaScript.h"
#include "StreamMap.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace quillor;

namespace {

TEST(StreamMap, TextBetweenAndSplitText)
{
    EXPECT_EQ(TextBetween("<22>[http://x]", "<", ">"), "22");
    EXPECT_EQ(TextBetween("<22>[http://x]", "[", "]"), "http://x");
    EXPECT_EQ(TextBetween("22>", "<", ">"), "22");  // no start marker: from the first character
    EXPECT_EQ(TextBetween("<22", "<", ">"), "");    // no end marker
    EXPECT_EQ(TextBetween("a]b[c", "[", "]"), "");  // end marker only before the start

    EXPECT_EQ(SplitText("a<br>b<br>", "<br>"), (QStringList{"a", "b"}));
    EXPECT_EQ(SplitText("a<br><br>b", "<br>"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(SplitText("<br>a", "<br>"), (QStringList{"", "a"}));
    EXPECT_EQ(SplitText("", "<br>"), QStringList{});
}

TEST(StreamMap, ParseFillsKnownSlotsLaterEntriesWin)
{
    StreamTable t;
    ParseStreamList("<18>[first]<br><99>[ignored]<br><5>[five]<br><18>[second]<br>", t);
    EXPECT_EQ(t.Address(18), "second");
    EXPECT_EQ(t.Address(5), "five");
    EXPECT_EQ(t.Address(99), "");
    ParseStreamList("", t); // nothing to do
    EXPECT_EQ(t.Address(5), "five");
}

TEST(StreamMap, ParseStopsAtTheFirstBadItagKeepingEarlierSlots)
{
    StreamTable t;
    EXPECT_THROW(ParseStreamList("<22>[a]<br><br><18>[b]", t), std::runtime_error);
    EXPECT_EQ(t.Address(22), "a");
    EXPECT_EQ(t.Address(18), "");
    EXPECT_THROW(ParseStreamList("<x1>[c]", t), std::runtime_error);
}

TEST(StreamMap, TitleIsTakenCaseSensitivelyAndDecoded)
{
    EXPECT_EQ(ExtractVideoTitle("<head><meta name=\"title\" content=\"Tom &amp; Jerry\"></head>"),
              "Tom &amp; Jerry");
    EXPECT_EQ(ExtractVideoTitle("<meta name=\"title\" content=\"two\nlines\">"), "two\nlines");
    EXPECT_EQ(ExtractVideoTitle("<meta name=\"Title\" content=\"x\">"), "");
    EXPECT_EQ(ExtractVideoTitle("no tag"), "");

    const struct {
        const char *in;
        QString out;
    } decode[] = {
        {"Tom &amp; Jerry &#39;99", "Tom & Jerry '99"},
        {"&lt;b&gt;&nbsp;&quot;x&quot;", "<b> \"x\""},
        {"&#1041;&#1086;", QString::fromUtf8("\xD0\x91\xD0\xBE")}, // whole characters, not their low byte
        {"R&D &unknown; &#x41; &#99", "R&D &unknown; &#x41; &#99"},
        {"end&", "end&"},
    };
    for (const auto &c : decode)
        EXPECT_EQ(HtmlDecode(c.in), c.out) << c.in;
}

TEST(StreamMap, InformationAddressFromTheWatchAddress)
{
    EXPECT_EQ(BuildVideoInfoUrl("<a href=\"http://www.youtube.com/watch?v=abc_12\">x</a>"),
              "http://youtube.com/get_video_info?video_id=abc_12");
    EXPECT_EQ(BuildVideoInfoUrl("<p>nothing here</p>"), "http://youtube.com/get_video_info?video_id=");
}

// Runs the stream script on a document and returns every Host.Echo text.
QStringList echoes(const QString &document, QStringList *errors = nullptr)
{
    TJavaScript script;
    auto host = std::make_shared<THostScriptlet>();
    QStringList out;
    host->OnEcho = [&out](THostScriptlet &, const QString &text) { out << text; };
    script.AddScriptlet(host);
    script.OnError = [errors](TCustomScript &, const TScriptError &e) {
        if (errors)
            *errors << FormatScriptErrorMessage(e);
    };
    script.Lines() << StreamScriptLines(document);
    script.Run();
    return out;
}

QString pct(const QString &s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); }

QString streamMap(const QStringList &entries) { return pct(entries.join(',')); }

TEST(StreamScript, ListsStreamsInOrderAndSkipsWebm)
{
    const QString map = streamMap({"itag=22&url=" + pct("http://h/v?a=1&b=2") + "&sig=S",
                                   "itag=43&url=" + pct("http://h/webm") + "&sig=W",
                                   "itag=18&url=" + pct("http://h/v?c=3") + "&sig=T"});
    QStringList errors;
    EXPECT_EQ(echoes("status=ok&url_encoded_fmt_stream_map=" + map + "&x=1", &errors),
              QStringList{"<22>[http://h/v?a=1&b=2&signature=S]<br><18>[http://h/v?c=3&signature=T]"});
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST(StreamScript, EchoesOncePerMatchingKeyAndOnceWhenThereIsNone)
{
    const QString a = streamMap({"itag=18&url=" + pct("http://a") + "&sig=1"});
    const QString b = streamMap({"itag=5&url=" + pct("http://b") + "&sig=2"});
    EXPECT_EQ(echoes("url_encoded_fmt_stream_map=" + a + "&url_encoded_fmt_stream_map=" + b),
              (QStringList{"<18>[http://a&signature=1]", "<5>[http://b&signature=2]"}));
    // A longer key that starts with the name is used too, its value read
    // from the same offset (here its "=", so no itag is recognised).
    EXPECT_EQ(echoes("url_encoded_fmt_stream_mapX=" + a), QStringList{""});
    EXPECT_EQ(echoes("status=fail&reason=none"), QStringList{""});
    EXPECT_EQ(echoes("url_encoded_fmt_stream_map=" + streamMap({"itag=44&url=x&sig=y"})), QStringList{""});
}

TEST(StreamScript, DocumentTextCannotChangeTheScript)
{
    // Quotes, backslashes and line breaks are read as text, and a document
    // written to break out of its literal runs nothing.
    QTemporaryDir dir;
    const QString victim = dir.filePath("written.txt");
    const QString map = streamMap({"itag=18&url=" + pct("http://h/v") + "&sig=S"});
    const QStringList documents = {
        "title=it's \"quoted\" \\ back\\slash\r\nnext\u2028line&url_encoded_fmt_stream_map=" + map,
        "x=';Host.WriteText('" + victim + "','owned');var y='&url_encoded_fmt_stream_map=" + map,
        "x=\\';Host.WriteText(\"" + victim + "\",\"owned\");//\n&url_encoded_fmt_stream_map=" + map,
    };
    for (const QString &doc : documents) {
        QStringList errors;
        EXPECT_EQ(echoes(doc, &errors), QStringList{"<18>[http://h/v&signature=S]"}) << doc.toStdString();
        EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    }
    EXPECT_FALSE(QFile::exists(victim));
}

} // namespace
