#pragma once
// A throw-away program folder for the window tests: an encoded
// configuration and every chrome picture, drawn here.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <map>
#include <string>

#include "MessageSeam.h"
#include "ProgramConfig.h"

namespace quillor::testing {

// Configuration keys of section "SYSTEM"; a value of nullptr leaves a key out.
using ConfigKeys = std::map<std::string, const char *>;

inline ConfigKeys defaultConfigKeys()
{
    return {{"Version", "9.8.7"},    {"Copyright", "Quillor Team"}, {"Download", "True"},
            {"Merge", "False"},      {"Skin", "0"},                 {"ResFolder", "skin"},
            {"DefaultVideo", "1"},   {"DefaultDevice", "1"},        {"DefaultAudio", "1"},
            {"DefaultClass", "0"},   {"HelpContectLink", "https://help.example/content"},
            {"HelpSupportLink", "https://help.example/support"}};
}

inline void writePicture(const QString &path, QSize size, QColor colour, bool fuchsiaCorner = false)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (fuchsiaCorner) {
        QPainter p(&image);
        p.fillRect(QRect(0, 0, 20, 20), QColor(255, 0, 255));
    }
    image.save(path);
}

class ProgramFolder {
public:
    explicit ProgramFolder(const ConfigKeys &keys = defaultConfigKeys(), bool encode = true)
    {
        writeConfig(keys, encode);
        const QString res = dir_.filePath(QStringLiteral("sounds/skin"));
        QDir().mkpath(res);
        writePicture(res + "/main.bmp", {772, 547}, QColor(40, 60, 90), true);
        writePicture(res + "/toplogo.png", {160, 30}, Qt::darkBlue);
        writePicture(res + "/leftlogo.png", {170, 300}, Qt::darkCyan);
        writePicture(res + "/downloadyoutube.png", {200, 60}, Qt::red);
        writePicture(res + "/youtubeconvert.png", {200, 60}, Qt::green);
        for (int i = 1; i <= 3; ++i) {
            writePicture(res + QStringLiteral("/min_%1.bmp").arg(i), {22, 18}, Qt::gray);
            writePicture(res + QStringLiteral("/close_%1.bmp").arg(i), {22, 18}, Qt::gray);
        }
        for (int i = 1; i <= 4; ++i)
            writePicture(res + QStringLiteral("/bottom_%1.bmp").arg(i), {88, 26}, QColor(200, 200, 200 - i * 20));
    }

    void writeConfig(const ConfigKeys &keys, bool encode = true)
    {
        QByteArray text = "[SYSTEM]\r\n";
        for (const auto &[key, value] : keys)
            if (value)
                text += QByteArray(key.c_str()) + "=" + value + "\r\n";
        QFile f(dir_.filePath(QString::fromLatin1(kProgramConfigFileName)));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(encode ? complementLines(text) : text);
    }

    QString path() const { return dir_.path(); }
    QString resource() const { return dir_.filePath(QStringLiteral("sounds/skin")); }
    QString file(const QString &name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

// Points the home folder (and with it the settings and documents folders)
// at a fresh temporary folder for the lifetime of the object, so every
// window starts as on a first run and parallel tests never share files.
class ScopedHome {
public:
    ScopedHome()
        : previous_(qgetenv("HOME"))
    {
        qputenv("HOME", dir_.path().toLocal8Bit());
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    }
    ~ScopedHome() { qputenv("HOME", previous_); }
    QString path() const { return dir_.path(); }
    QString settingsFile() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + QStringLiteral("/Quillor/~system2.dat");
    }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

// Answers questions from a script and records every request.
struct ScriptedAnswers {
    QList<MessageRequest> seen;
    QList<MessageButton> answers; // taken in order; No when empty

    MessageHandler handler()
    {
        return [this](const MessageRequest &r) {
            seen << r;
            if (r.buttons.contains(MessageButton::Yes))
                return answers.isEmpty() ? MessageButton::No : answers.takeFirst();
            return MessageButton::OK;
        };
    }
    QStringList texts() const
    {
        QStringList out;
        for (const auto &r : seen)
            out << r.text;
        return out;
    }
};

} // namespace quillor::testing
