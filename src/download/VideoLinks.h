#pragma once
// The link list of the download side: which pasted lines are taken, in
// which order, and the questions that let the user stop a paste.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace quillor {

// The video service's domain, lower-case. The information request goes to
// this host as well.
inline constexpr char kVideoServiceDomain[] = "youtube.com";
inline QString VideoServiceDomain() { return QString::fromLatin1(kVideoServiceDomain); }

inline constexpr char kNotVideoLinkText[] = "This is not a YouTube video link.";
inline constexpr char kDuplicateLinkText[] = "This video is already in the download list.";

// One entry: the pasted line exactly as it came from the clipboard.
struct VideoLinkItem {
    QString Link;
};

// Cuts clipboard text into candidate lines. Runs of CR and LF separate
// lines; a single or double quote opens a stretch, closed by the same
// quote, in which line breaks belong to the line. Quotes stay in the line,
// blanks are kept, empty lines are dropped.
QStringList SplitClipboardLines(const QString &text);

// True when a lower-case copy of link contains "http" and the domain.
bool IsVideoLink(const QString &link);

class TVideoLinkList {
public:
    // Asked for every refused line with the full message text; true (OK)
    // goes on with the paste, false (Cancel) stops it. Unset: go on.
    std::function<bool(const QString &message)> OnRefused;

    // Validates and appends one line; false when the user asked to stop.
    bool AddVideoLink(const QString &link);
    // Adds every line of clipboard text until the user stops.
    void Paste(const QString &clipboardText);

    // Deletes the given rows (any order, duplicates ignored). Returns the
    // row to select afterwards, -1 when nothing should be selected.
    int Remove(QList<int> rows);
    void Empty() { items_.clear(); }

    int Count() const { return static_cast<int>(items_.size()); }
    const QList<VideoLinkItem> &Items() const { return items_; }
    QStringList Links() const;

private:
    QList<VideoLinkItem> items_;
};

} // namespace quillor
