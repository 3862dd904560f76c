#include "UserSettings.h"

#include "MessageSeam.h"
#include "ProfileFile.h"
#include "ProgramConfig.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <array>
#include <variant>

namespace quillor {
namespace {

const QString kSystem = QStringLiteral("System");

// One key of section "System" bound to its field. The table is the order
// in which the keys are written.
struct Key {
    const char *name;
    std::variant<QString UserSettings::*, std::uint8_t UserSettings::*, int UserSettings::*, bool UserSettings::*>
        field;
};

const std::array kKeys = {
    Key{"LastOpenDir", &UserSettings::LastOpenDir},
    Key{"OutputFileDir", &UserSettings::OutputFileDir},
    Key{"OutputURLDir", &UserSettings::OutputURLDir},
    Key{"OutputFormatClass", &UserSettings::OutputFormatClass},
    Key{"OutputAudioFormat", &UserSettings::OutputAudioFormat},
    Key{"OutputVideoFormat", &UserSettings::OutputVideoFormat},
    Key{"OutputDeviceFormat", &UserSettings::OutputDeviceFormat},
    Key{"OutputWAVPreset", &UserSettings::OutputWAVPreset},
    Key{"OutputMP3Preset", &UserSettings::OutputMP3Preset},
    Key{"OutputWMAPreset", &UserSettings::OutputWMAPreset},
    Key{"OutputOGGPreset", &UserSettings::OutputOGGPreset},
    Key{"OutputM4APreset", &UserSettings::OutputM4APreset},
    Key{"OutputAACPreset", &UserSettings::OutputAACPreset},
    Key{"OutputFLACPreset", &UserSettings::OutputFLACPreset},
    Key{"OutputMP2Preset", &UserSettings::OutputMP2Preset},
    Key{"OutputAVIPreset", &UserSettings::OutputAVIPreset},
    Key{"OutputMP4Preset", &UserSettings::OutputMP4Preset},
    Key{"OutputFLVPreset", &UserSettings::OutputFLVPreset},
    Key{"OutputSWFPreset", &UserSettings::OutputSWFPreset},
    Key{"OutputMPEGPreset", &UserSettings::OutputMPEGPreset},
    Key{"OutputRMPreset", &UserSettings::OutputRMPreset},
    Key{"OutputWMVPreset", &UserSettings::OutputWMVPreset},
    Key{"OutputMOVPreset", &UserSettings::OutputMOVPreset},
    Key{"Output3GPPreset", &UserSettings::Output3GPPreset},
    Key{"OutputiPodPreset", &UserSettings::OutputiPodPreset},
    Key{"OutputiPhonePreset", &UserSettings::OutputiPhonePreset},
    Key{"OutputAppleTVPreset", &UserSettings::OutputAppleTVPreset},
    Key{"OutputPSPPreset", &UserSettings::OutputPSPPreset},
    Key{"OutputBlackBerryPreset", &UserSettings::OutputBlackBerryPreset},
    Key{"OutputMobilePhonePreset", &UserSettings::OutputMobilePhonePreset},
    Key{"OutputiPadPreset", &UserSettings::OutputiPadPreset},
    Key{"OutputAndroidPreset", &UserSettings::OutputAndroidPreset},
    Key{"PlayASoundWhenFinished", &UserSettings::PlayASoundWhenFinished},
    Key{"ShutDownWhenFinished", &UserSettings::ShutDownWhenFinished},
    Key{"PreferYouTubeQuality", &UserSettings::PreferYouTubeQuality},
    Key{"PreferYouTube1", &UserSettings::PreferYouTube1},
    Key{"PreferYouTube2", &UserSettings::PreferYouTube2},
    Key{"PreferYouTube3", &UserSettings::PreferYouTube3},
    Key{"PreferYouTube4", &UserSettings::PreferYouTube4},
    Key{"PreferYouTube5", &UserSettings::PreferYouTube5},
    Key{"PreferYouTube6", &UserSettings::PreferYouTube6},
    Key{"PreferYouTube7", &UserSettings::PreferYouTube7},
    Key{"PreferYouTube18", &UserSettings::PreferYouTube18},
};

// The eight quality places with the value each holds by default. A stored
// value outside 0..7 names no stream kind and would drop a row from the
// quality dialog, so it is replaced by its place's default when read.
const std::array<std::pair<std::uint8_t UserSettings::*, std::uint8_t>, 8> kQualityPlaces = {{
    {&UserSettings::PreferYouTube1, 1},
    {&UserSettings::PreferYouTube2, 2},
    {&UserSettings::PreferYouTube3, 3},
    {&UserSettings::PreferYouTube4, 0},
    {&UserSettings::PreferYouTube5, 4},
    {&UserSettings::PreferYouTube6, 5},
    {&UserSettings::PreferYouTube7, 6},
    {&UserSettings::PreferYouTube18, 7},
}};

QString &settingsFile()
{
    static QString file;
    return file;
}

// An integer as the profile reader takes it: "0x"/"0X" or "$" for
// hexadecimal; absent or not a number gives the fallback.
int readInteger(const ProfileFile &ini, const QString &section, const QString &key, int fallback)
{
    const QString text = ini.readString(section, key, QString());
    return parseConfigInteger(text).value_or(fallback);
}

QString resolveFile(const QString &file)
{
    return file.trimmed().isEmpty() ? settingsFile() : file;
}

bool saveOrNotify(const ProfileFile &ini, const QString &path)
{
    if (ini.save(path))
        return true;
    MessageSeam::notify(QStringLiteral("Unable to write to %1").arg(path));
    return false;
}

} // namespace

UserSettings UserSettings::defaults(const ProgramConfig &config, const QString &documentsFolder)
{
    UserSettings s;
    s.LastOpenDir = documentsFolder;
    s.OutputFileDir = documentsFolder;
    s.OutputURLDir = documentsFolder;
    s.OutputFormatClass = config.defaultFormatClass();
    s.OutputAudioFormat = config.DefaultAudio;
    s.OutputVideoFormat = config.DefaultVideo;
    s.OutputDeviceFormat = config.DefaultDevice;
    return s;
}

QString userSettingsFile(const QString &appDataFolder)
{
    QString folder = appDataFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QLatin1String(kUserSettingsFileName);
}

void setUserSettingsFile(const QString &path)
{
    settingsFile() = path;
}

QString currentUserSettingsFile()
{
    return settingsFile();
}

bool LoadUserSettings(UserSettings &s, const QString &file)
{
    setUserSettingsFile(file);
    if (!QFileInfo::exists(file)) {
        SaveUserSettings(s, file);
        return false;
    }
    ProfileFile ini;
    ini.load(file);   // an unreadable file reads as if every key were absent
    for (const Key &k : kKeys) {
        const QString key = QLatin1String(k.name);
        std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(s.*member)>;
                if constexpr (std::is_same_v<T, QString>)
                    s.*member = ini.readString(kSystem, key, s.*member);
                else if constexpr (std::is_same_v<T, bool>)
                    s.*member = readInteger(ini, kSystem, key, s.*member ? 1 : 0) != 0;
                else if constexpr (std::is_same_v<T, std::uint8_t>)
                    s.*member = static_cast<std::uint8_t>(readInteger(ini, kSystem, key, s.*member) & 0xFF);
                else
                    s.*member = readInteger(ini, kSystem, key, s.*member);
            },
            k.field);
    }
    for (const auto &[member, fallback] : kQualityPlaces)
        if (s.*member > 7)
            s.*member = fallback;
    return true;
}

bool SaveUserSettings(const UserSettings &s, const QString &file)
{
    ProfileFile ini;
    ini.load(file);
    for (const Key &k : kKeys) {
        const QString key = QLatin1String(k.name);
        std::visit(
            [&](auto member) {
                using T = std::remove_cvref_t<decltype(s.*member)>;
                if constexpr (std::is_same_v<T, QString>)
                    ini.setValue(kSystem, key, s.*member);
                else if constexpr (std::is_same_v<T, bool>)
                    ini.setValue(kSystem, key, s.*member ? QStringLiteral("1") : QStringLiteral("0"));
                else
                    ini.setValue(kSystem, key, QString::number(static_cast<int>(s.*member)));
            },
            k.field);
    }
    return saveOrNotify(ini, file);
}

WindowPlacement clampWindowPlacement(int x, int y, int width, int height, bool maximized, int screenWidth,
                                     int screenHeight)
{
    width = std::min(width, screenWidth);
    height = std::min(height, screenHeight);
    if (x + width > screenWidth)
        x = screenWidth - width;
    if (y + height > screenHeight)
        y = screenHeight - height;
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;
    return {x, y, maximized};
}

bool RestoreFormPosition(const QString &section, QWidget *window, const QString &file)
{
    if (!window)
        return true;
    ProfileFile ini;
    ini.load(resolveFile(file));
    const QRect current = window->frameGeometry();
    const bool maximized = readInteger(ini, section, QStringLiteral("maximized"), 0) != 0;
    const int x = readInteger(ini, section, QStringLiteral("x"), current.x());
    const int y = readInteger(ini, section, QStringLiteral("y"), current.y());
    const int height = readInteger(ini, section, QStringLiteral("height"), current.height());
    const int width = readInteger(ini, section, QStringLiteral("width"), current.width());

    QSize screen(width, height);
    if (QScreen *primary = QGuiApplication::primaryScreen())
        screen = primary->geometry().size();
    const WindowPlacement p =
        clampWindowPlacement(x, y, width, height, maximized, screen.width(), screen.height());
    window->move(p.x, p.y);
    const Qt::WindowStates state = window->windowState();
    window->setWindowState(p.maximized ? (state | Qt::WindowMaximized) : (state & ~Qt::WindowMaximized));
    return true;
}

bool SaveFormPosition(const QString &section, QWidget *window, const QString &file)
{
    if (!window)
        return true;
    const QString path = resolveFile(file);
    ProfileFile ini;
    ini.load(path);
    const bool maximized = window->isMaximized();
    // A maximised window keeps the place it had before it was maximised.
    const QRect r = maximized ? QRect(window->normalGeometry().topLeft(), window->normalGeometry().size())
                              : window->frameGeometry();
    ini.setValue(section, QStringLiteral("x"), QString::number(r.x()));
    ini.setValue(section, QStringLiteral("y"), QString::number(r.y()));
    ini.setValue(section, QStringLiteral("height"), QString::number(r.height()));
    ini.setValue(section, QStringLiteral("width"), QString::number(r.width()));
    ini.setValue(section, QStringLiteral("maximized"), maximized ? QStringLiteral("1") : QStringLiteral("0"));
    return saveOrNotify(ini, path);
}

} // namespace quillor
