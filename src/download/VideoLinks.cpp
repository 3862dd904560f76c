#include "VideoLinks.h"

#include <algorithm>

namespace quillor {

QStringList SplitClipboardLines(const QString &text)
{
    QStringList lines;
    const auto isBreak = [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); };
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && isBreak(text[i]))
            ++i;
        if (i >= n)
            break;
        QString line;
        QChar quote;
        while (i < n) {
            const QChar c = text[i];
            if (quote.isNull()) {
                if (isBreak(c))
                    break;
                if (c == QLatin1Char('"') || c == QLatin1Char('\''))
                    quote = c;
            } else if (c == quote) {
                quote = QChar();
            }
            line += c;
            ++i;
        }
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

bool IsVideoLink(const QString &link)
{
    const QString lower = link.toLower();
    return lower.contains(QLatin1String("http")) && lower.contains(VideoServiceDomain());
}

bool TVideoLinkList::AddVideoLink(const QString &link)
{
    const auto refuse = [&](const char *reason) {
        const QString message = link + QStringLiteral("\n\r\n\r") + QString::fromLatin1(reason);
        return OnRefused ? OnRefused(message) : true;
    };
    if (!IsVideoLink(link))
        return refuse(kNotVideoLinkText);
    const bool duplicate =
        std::any_of(items_.cbegin(), items_.cend(), [&](const VideoLinkItem &item) { return item.Link == link; });
    if (duplicate)
        return refuse(kDuplicateLinkText);
    items_.append(VideoLinkItem{link});
    return true;
}

void TVideoLinkList::Paste(const QString &clipboardText)
{
    for (const QString &line : SplitClipboardLines(clipboardText))
        if (!AddVideoLink(line))
            break;
}

int TVideoLinkList::Remove(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    int lowest = -1;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        if (*it < 0 || *it >= items_.size())
            continue;
        items_.removeAt(*it);
        lowest = *it;
    }
    if (lowest < 0 || items_.isEmpty())
        return -1;
    return std::min(lowest, static_cast<int>(items_.size()) - 1);
}

QStringList TVideoLinkList::Links() const
{
    QStringList links;
    for (const VideoLinkItem &item : items_)
        links << item.Link;
    return links;
}

} // namespace quillor
