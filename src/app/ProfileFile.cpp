#include "ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace quillor {
namespace {

bool isSectionLine(const QString &trimmed)
{
    return trimmed.size() >= 2 && trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'));
}

QString sectionName(const QString &trimmed)
{
    return trimmed.mid(1, trimmed.size() - 2).trimmed();
}

bool isSkipped(const QString &trimmed)
{
    return trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';'));
}

QString keyOf(const QString &trimmed)
{
    const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
    return (eq < 0 ? trimmed : trimmed.left(eq)).trimmed();
}

QString valueOf(const QString &trimmed)
{
    const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : trimmed.mid(eq + 1).trimmed();
}

} // namespace

QList<QByteArray> splitProfileLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    QByteArray current;
    bool pendingLine = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\0')
            break;
        if (c == '\r' || c == '\n') {
            lines.append(current);
            current.clear();
            pendingLine = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            continue;
        }
        current.append(c);
        pendingLine = true;
    }
    if (pendingLine)
        lines.append(current);
    return lines;
}

ProfileFile ProfileFile::fromText(const QByteArray &text)
{
    ProfileFile file;
    for (const QByteArray &line : splitProfileLines(text))
        file.lines_.append(QString::fromUtf8(line));
    return file;
}

bool ProfileFile::load(const QString &path)
{
    lines_.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *this = fromText(f.readAll());
    return true;
}

std::optional<ProfileFile::Entry> ProfileFile::find(const QString &section, const QString &key) const
{
    bool inSection = false;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const QString t = lines_[i].trimmed();
        if (isSkipped(t))
            continue;
        if (isSectionLine(t)) {
            inSection = sectionName(t).compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inSection && keyOf(t).compare(key, Qt::CaseInsensitive) == 0)
            return Entry{i, valueOf(t)};
    }
    return std::nullopt;
}

std::optional<QString> ProfileFile::value(const QString &section, const QString &key) const
{
    if (auto e = find(section, key))
        return e->value;
    return std::nullopt;
}

QString ProfileFile::readString(const QString &section, const QString &key, const QString &fallback,
                                int maxChars) const
{
    std::optional<QString> v = value(section, key);
    if (!v)
        return fallback;
    QString s = *v;
    if (s.size() >= 2 && (s.front() == QLatin1Char('"') || s.front() == QLatin1Char('\'')) && s.back() == s.front())
        s = s.mid(1, s.size() - 2);
    if (maxChars >= 0 && s.size() > maxChars)
        s.truncate(maxChars);
    return s;
}

void ProfileFile::setValue(const QString &section, const QString &key, const QString &value)
{
    QString oneLine = value;
    const qsizetype brk = oneLine.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (brk >= 0)
        oneLine.truncate(brk);
    const QString line = key + QLatin1Char('=') + oneLine;

    if (auto e = find(section, key)) {
        lines_[e->line] = line;
        return;
    }
    // Add after the last entry of the first matching section.
    bool inSection = false;
    qsizetype insertAt = -1;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const QString t = lines_[i].trimmed();
        if (isSectionLine(t)) {
            if (insertAt >= 0)
                break;
            inSection = sectionName(t).compare(section, Qt::CaseInsensitive) == 0;
            if (inSection)
                insertAt = i + 1;
            continue;
        }
        if (inSection && !isSkipped(t))
            insertAt = i + 1;
    }
    if (insertAt >= 0) {
        lines_.insert(insertAt, line);
        return;
    }
    if (!lines_.isEmpty() && !lines_.back().trimmed().isEmpty())
        lines_.append(QString());
    lines_.append(QLatin1Char('[') + section + QLatin1Char(']'));
    lines_.append(line);
}

QStringList ProfileFile::sections() const
{
    QStringList names;
    for (const QString &l : lines_) {
        const QString t = l.trimmed();
        if (isSectionLine(t))
            names.append(sectionName(t));
    }
    return names;
}

QByteArray ProfileFile::toText() const
{
    QByteArray out;
    for (const QString &l : lines_) {
        out += l.toUtf8();
        out += '\n';
    }
    return out;
}

bool ProfileFile::save(const QString &path, QString *error) const
{
    QSaveFile f(path);
    // In a folder where no temporary file can be made, write in place as
    // the system's own profile writer would, rather than fail.
    f.setDirectWriteFallback(true);
    if (!f.open(QIODevice::WriteOnly) || f.write(toText()) < 0 || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace quillor
