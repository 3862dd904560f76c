#pragma once
// What the video service tells about one video: its title and identifier
// from the watch page, and the streams listed in its information document,
// read by a small script of our own.

#include <QString>
#include <QStringList>

#include <array>

namespace quillor {

// One stream kind we know: its itag and the address the current video
// gives for it (empty when it does not offer that stream).
struct StreamQuality {
    int Itag = 0;
    QString Address;
};

// The nine known kinds in fixed slot order; slot 0 (itag 5) is the
// default stream.
class StreamTable {
public:
    static constexpr std::array<int, 9> kItags{5, 6, 18, 35, 22, 13, 17, 34, 37};

    StreamTable();
    void Clear();
    // Slot of an itag, -1 for itags we do not know.
    static int SlotOf(int itag);
    QString Address(int itag) const;
    void SetAddress(int itag, const QString &address); // unknown itags are ignored
    const StreamQuality &Slot(int index) const { return slots_[static_cast<std::size_t>(index)]; }

private:
    std::array<StreamQuality, 9> slots_;
};

// The first <meta name="title" content="..."> of a page, still encoded;
// empty when there is none (the tag is matched case-sensitively).
QString ExtractVideoTitle(const QString &page);
// Decodes &amp; &lt; &gt; &nbsp; &quot; and numeric references &#N;. An
// ampersand that starts none of these is kept as it is.
QString HtmlDecode(const QString &text);
// "http://youtube.com/get_video_info?video_id=" and the identifier taken
// from the page's first watch address (empty when it has none).
QString BuildVideoInfoUrl(const QString &page);

// The text between the first start marker and the next end marker after it.
QString TextBetween(const QString &text, const QString &startMarker, const QString &endMarker);
// Pieces between delimiters; a trailing empty piece is dropped.
QStringList SplitText(const QString &text, const QString &delimiter);

// Fills the table from the script's list "<itag>[address]<br>...". Throws
// std::runtime_error at the first piece whose itag is not a number; the
// pieces before it stay in the table.
void ParseStreamList(const QString &text, StreamTable &table);

// A JavaScript string literal (in single quotes) whose value is exactly
// text, whatever characters it holds.
QString JavaScriptStringLiteral(const QString &text);
// The stream script with the document inserted as a string literal.
QStringList StreamScriptLines(const QString &infoText);

} // namespace quillor
