#include "StreamMap.h"

#include "VideoLinks.h"

#include <QRegularExpression>

#include <algorithm>
#include <stdexcept>

namespace quillor {

StreamTable::StreamTable()
{
    for (std::size_t i = 0; i < kItags.size(); ++i)
        slots_[i].Itag = kItags[i];
}

void StreamTable::Clear()
{
    for (StreamQuality &slot : slots_)
        slot.Address.clear();
}

int StreamTable::SlotOf(int itag)
{
    for (std::size_t i = 0; i < kItags.size(); ++i)
        if (kItags[i] == itag)
            return static_cast<int>(i);
    return -1;
}

QString StreamTable::Address(int itag) const
{
    const int slot = SlotOf(itag);
    return slot < 0 ? QString() : slots_[static_cast<std::size_t>(slot)].Address;
}

void StreamTable::SetAddress(int itag, const QString &address)
{
    const int slot = SlotOf(itag);
    if (slot >= 0)
        slots_[static_cast<std::size_t>(slot)].Address = address;
}

QString ExtractVideoTitle(const QString &page)
{
    static const QString prefix = QStringLiteral("<meta name=\"title\" content=\"");
    static const QRegularExpression re(QRegularExpression::escape(prefix) + QStringLiteral("([^<]+)\">"));
    const QRegularExpressionMatch m = re.match(page);
    if (!m.hasMatch())
        return QString();
    QString whole = m.captured(0);
    whole.remove(whole.indexOf(prefix), prefix.size());
    const qsizetype close = whole.indexOf(QStringLiteral("\">"));
    if (close >= 0)
        whole.remove(close, 2);
    return whole;
}

QString HtmlDecode(const QString &text)
{
    static const struct {
        const char *name;
        QChar value;
    } kNamed[] = {{"amp;", QLatin1Char('&')}, {"lt;", QLatin1Char('<')},  {"gt;", QLatin1Char('>')},
                  {"nbsp;", QLatin1Char(' ')}, {"quot;", QLatin1Char('"')}};
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('&')) {
            out += c;
            continue;
        }
        bool decoded = false;
        for (const auto &named : kNamed) {
            const QLatin1String name(named.name);
            if (QStringView(text).mid(i + 1).startsWith(name)) {
                out += named.value;
                i += name.size();
                decoded = true;
                break;
            }
        }
        if (!decoded && i + 1 < text.size() && text[i + 1] == QLatin1Char('#')) {
            const qsizetype end = text.indexOf(QLatin1Char(';'), i + 2);
            if (end > i + 2) {
                bool ok = false;
                const uint code = QStringView(text).mid(i + 2, end - i - 2).toUInt(&ok, 10);
                // Any character the title names by its number, not only
                // those of one code page; a number that is no character
                // stays as written.
                if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
                    out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
                    i = end;
                    decoded = true;
                }
            }
        }
        if (!decoded)
            out += c;
    }
    return out;
}

QString BuildVideoInfoUrl(const QString &page)
{
    const QString domain = VideoServiceDomain();
    const QString watch = QStringLiteral("/watch?v=");
    // The domain's dots match any character, as in the address pattern
    // the service's pages have always been read with.
    QString pattern = QRegularExpression::escape(domain);
    pattern.replace(QStringLiteral("\\."), QStringLiteral("."));
    static const QRegularExpression re(pattern + QRegularExpression::escape(watch) + QStringLiteral(".+?\""),
                                       QRegularExpression::DotMatchesEverythingOption);
    QString id;
    const QRegularExpressionMatch m = re.match(page);
    if (m.hasMatch()) {
        id = m.captured(0);
        id.remove(domain + watch);
        id.remove(QLatin1Char('"'));
    }
    return QStringLiteral("http://") + domain + QStringLiteral("/get_video_info?video_id=") + id;
}

QString TextBetween(const QString &text, const QString &startMarker, const QString &endMarker)
{
    qsizetype start = text.indexOf(startMarker);
    // Without the start marker the rest begins where a marker at the very
    // start would have ended, less one: the first character for the
    // one-character markers used here.
    start = start < 0 ? std::max<qsizetype>(0, startMarker.size() - 1) : start + startMarker.size();
    const QString rest = text.mid(start);
    const qsizetype end = rest.indexOf(endMarker);
    return end < 0 ? QString() : rest.left(end);
}

QStringList SplitText(const QString &text, const QString &delimiter)
{
    QStringList pieces;
    QString current;
    qsizetype i = 0;
    while (i < text.size()) {
        if (!delimiter.isEmpty() && QStringView(text).mid(i).startsWith(delimiter)) {
            pieces << current;
            current.clear();
            i += delimiter.size();
        } else {
            current += text[i++];
        }
    }
    if (!current.isEmpty())
        pieces << current;
    return pieces;
}

void ParseStreamList(const QString &text, StreamTable &table)
{
    for (const QString &piece : SplitText(text, QStringLiteral("<br>"))) {
        const QString itagText = TextBetween(piece, QStringLiteral("<"), QStringLiteral(">"));
        const QString address = TextBetween(piece, QStringLiteral("["), QStringLiteral("]"));
        bool ok = false;
        const int itag = itagText.toInt(&ok, 10);
        if (!ok)
            throw std::runtime_error("'" + itagText.toStdString() + "' is not a valid integer value");
        table.SetAddress(itag, address);
    }
}

QString JavaScriptStringLiteral(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8 + 2);
    out += QLatin1Char('\'');
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'\\': out += QLatin1String("\\\\"); break;
        case u'\'': out += QLatin1String("\\'"); break;
        case u'"': out += QLatin1String("\\\""); break;
        case u'\n': out += QLatin1String("\\n"); break;
        case u'\r': out += QLatin1String("\\r"); break;
        case u'\t': out += QLatin1String("\\t"); break;
        default:
            // Other control characters and the two characters that end a
            // line inside a literal are written as escapes.
            if (u < 0x20 || u == 0x2028 || u == 0x2029 || u == 0x7F)
                out += QStringLiteral("\\u%1").arg(static_cast<int>(u), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('\'');
    return out;
}

QStringList StreamScriptLines(const QString &infoText)
{
    // The document goes in as a complete, escaped literal: the script gets
    // exactly its text, and nothing in it can change the script.
    static const char *const kScript[] = {
        "function getYouTubeUrl(){",
        "  var rdata = %get_video_info;",
        "  var rdataArray = rdata.split('&');",
        "  var succ = 0;",
        "  for(i = 0; i < rdataArray.length; i++){",
        "    r0 = rdataArray[i].substr(0, 26);",
        "    if(r0 == 'url_encoded_fmt_stream_map'){",
        "      r1 = unescape(rdataArray[i].substr(27));",
        "      var temp1 = r1.split(',');",
        "      var fmt = new Array;",
        "      var fmt_url = new Array;",
        "      var fmt_sig = new Array;",
        "      for(j = 0; j < temp1.length; j++){",
        "        var temp2 = temp1[j].split('&');",
        "        for(jj = 0; jj < temp2.length; jj++){",
        "          if(temp2[jj].substr(0, 5) == 'itag='){",
        "            temp_itag = parseInt(temp2[jj].substr(5), 10);",
        "            fmt.push(temp_itag);",
        "          }else if(temp2[jj].substr(0, 4) == 'url='){",
        "            fmt_url.push(temp2[jj].substr(4));",
        "          }else if(temp2[jj].substr(0, 4) == 'sig='){",
        "            fmt_sig.push(temp2[jj].substr(4));",
        "          }else if(temp2[jj].substr(0, 5) == 'type='){",
        "            temp_type = unescape(temp2[jj].substr(5));",
        "          }",
        "        }",
        "      }",
        "      var dllinks = '';",
        "      for(var k in fmt){",
        "        if(fmt[k] == 43 || fmt[k] == 44 || fmt[k] == 45 || fmt[k] == 46 || fmt[k] == 100 || fmt[k] == 101 || fmt[k] == 102){",
        "          continue;",
        "        }",
        "        if(dllinks != ''){",
        "            dllinks += '<br>';",
        "        }",
        "        dllinks += '<' + fmt[k] + '>[' + unescape(fmt_url[k]) + '&signature=' + fmt_sig[k] + ']';",
        "      }",
        "\t  Host.Echo(dllinks);",
        "      succ = 1;",
        "    }",
        "  }",
        "  if(succ == 0){",
        "    var dllinks = '';",
        "\tHost.Echo(dllinks);",
        "  }",
        "}",
        "//add",
        "getYouTubeUrl();",
    };
    const QString literal = JavaScriptStringLiteral(infoText);
    QStringList lines;
    for (const char *line : kScript) {
        QString l = QString::fromLatin1(line);
        l.replace(QStringLiteral("%get_video_info"), literal);
        lines << l;
    }
    return lines;
}

} // namespace quillor
