#pragma once
// A small INI ("profile") file kept as its lines, so that writing one key
// leaves every other line of the file as it was.
//
// Reading: lines end at CR, LF or CR LF, and a NUL byte ends the text. Each
// line is trimmed; empty lines and lines starting with ";" are skipped; a
// line "[name]" opens a section; any other line in a section is an entry
// split at its first "=" into a trimmed key and value (no "=": a key with an
// empty value). Lines before the first section are ignored. Section and key
// names match without regard to case; the first match wins.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillor {

class ProfileFile {
public:
    ProfileFile() = default;

    // Builds the file from 8-bit text (UTF-8).
    static ProfileFile fromText(const QByteArray &text);

    // Reads `path`. False when it does not exist or cannot be read; the
    // object is then empty.
    bool load(const QString &path);

    // The value of `key` in `section`, as stored after trimming; nothing
    // when the section or key is absent.
    std::optional<QString> value(const QString &section, const QString &key) const;

    // The value as the system's profile reader returns it: one pair of
    // matching surrounding quotes removed, cut to `maxChars` characters.
    // `fallback` when the key is absent.
    QString readString(const QString &section, const QString &key, const QString &fallback,
                       int maxChars = 2047) const;

    // Sets `key` in `section`: the existing entry's line is replaced, or a
    // new line is added after the section's last entry, or the section is
    // added at the end. A value is kept on one line (cut at a line break).
    void setValue(const QString &section, const QString &key, const QString &value);

    QStringList sections() const;
    QByteArray toText() const;

    // Writes the file through a temporary file in the same folder and a
    // rename, so a failed write never leaves a half-written file behind.
    bool save(const QString &path, QString *error = nullptr) const;

private:
    struct Entry {
        qsizetype line = -1;
        QString value;
    };
    std::optional<Entry> find(const QString &section, const QString &key) const;

    QStringList lines_;
};

// Splits text into lines at CR, LF or CR LF; a NUL byte ends the text.
QList<QByteArray> splitProfileLines(const QByteArray &text);

} // namespace quillor
