#include "ProgramConfig.h"

#include "Globals.h"
#include "ProfileFile.h"
#include "UtilFuncs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <limits>

namespace quillor {
namespace {

const QString kSection = QStringLiteral("SYSTEM");

QString conversionError(const QString &text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

} // namespace

std::uint8_t ProgramConfig::defaultFormatClass() const
{
    return (DefaultClass >= 0 && DefaultClass <= 2) ? static_cast<std::uint8_t>(DefaultClass) : 0;
}

QByteArray complementLines(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        if (c == '\0')
            break;
        if (c == '\r' || c == '\n') {
            out.append(c);
            continue;
        }
        const char decoded = static_cast<char>(~static_cast<unsigned char>(c));
        out.append(decoded);
    }
    return out;
}

bool parseConfigFlag(const QString &value)
{
    return value == QLatin1String("True") || value == QLatin1String("Yes");
}

std::optional<int> parseConfigInteger(const QString &value)
{
    qsizetype i = 0;
    while (i < value.size() && value[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == QLatin1Char('-') || value[i] == QLatin1Char('+'))) {
        negative = value[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < value.size() && value[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < value.size() && value[i] == QLatin1Char('0')
               && (value[i + 1] == QLatin1Char('x') || value[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= value.size())
        return std::nullopt;
    // Hexadecimal numbers may fill all 32 bits ($FFFFFFFF is -1), as the
    // system's own reader takes them; decimals must fit an int.
    const std::int64_t limit = base == 16 ? 0xFFFFFFFFLL : static_cast<std::int64_t>(std::numeric_limits<int>::max()) + 1;
    std::int64_t n = 0;
    for (; i < value.size(); ++i) {
        const char16_t c = value[i].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        if (digit < 0)
            return std::nullopt;
        n = n * base + digit;
        if (n > limit)
            return std::nullopt;
    }
    if (base == 16) {
        const std::int64_t bits = static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
        return static_cast<int>(static_cast<std::uint32_t>(negative ? -bits : bits));
    }
    if (negative)
        return static_cast<int>(-n);
    if (n > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(n);
}

bool parseProgramConfig(const QByteArray &decodedText, ProgramConfig &c, QString *error)
{
    const ProfileFile ini = ProfileFile::fromText(decodedText);
    auto text = [&](const char *key) { return ini.value(kSection, QLatin1String(key)).value_or(QString()); };
    auto flag = [&](const char *key) { return parseConfigFlag(text(key)); };
    bool ok = true;
    auto integer = [&](const char *key) -> int {
        if (!ok)
            return 0;
        const QString v = text(key);
        if (std::optional<int> n = parseConfigInteger(v))
            return *n;
        ok = false;
        if (error)
            *error = conversionError(v);
        return 0;
    };

    c = ProgramConfig();
    c.Version = text("Version");
    c.Copyright = text("Copyright");
    c.Download = flag("Download");
    c.Video = flag("Video");
    c.Merge = flag("Merge");
    c.Skin = integer("Skin");
    c.ResFolder = text("ResFolder");
    c.HelpContectLink = text("HelpContectLink");
    c.HelpHowTosTutorialVideosLink = text("HelpHowTosTutorialVideosLink");
    c.HelpHomePageLink = text("HelpHomePageLink");
    c.HelpMoreFreeToolsLink = text("HelpMoreFreeToolsLink");
    c.HelpCheckForUpdatesLink = text("HelpCheckForUpdatesLink");
    c.HelpSupportLink = text("HelpSupportLink");

    c.AVI = flag("AVI");
    c.MP4 = flag("MP4");
    c.FLV = flag("FLV");
    c.SWF = flag("SWF");
    c.MPEG = flag("MPEG");
    c.RM = flag("RM");
    c.WMV = flag("WMV");
    c.MOV = flag("MOV");
    c._3GP = flag("3GP");
    c.IPOD = flag("IPOD");
    c.IPHONE = flag("IPHONE");
    c.APPLETV = flag("APPLETV");
    c.PSP = flag("PSP");
    c.BLACKBERRY = flag("BLACKBERRY");
    c.MOBILEPHONE = flag("MOBILEPHONE");
    c.IPAD = flag("IPAD");
    c.ANDROID = flag("ANDROID");
    c.WAV = flag("WAV");
    c.MP3 = flag("MP3");
    c.WMA = flag("WMA");
    c.OGG = flag("OGG");
    c.AAC = flag("AAC");
    c.M4A = flag("M4A");
    c.FLAC = flag("FLAC");
    c.MP2 = flag("MP2");

    c.DefaultVideo = static_cast<std::uint8_t>(integer("DefaultVideo"));
    c.DefaultDevice = static_cast<std::uint8_t>(integer("DefaultDevice"));
    c.DefaultAudio = static_cast<std::uint8_t>(integer("DefaultAudio"));
    c.DefaultClass = integer("DefaultClass");
    return ok;
}

bool loadProgramConfig(const QString &path, ProgramConfig &config, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open the configuration file \"%1\": %2").arg(path, f.errorString());
        return false;
    }
    const QByteArray raw = f.readAll();
    QString why;
    if (!parseProgramConfig(complementLines(raw), config, &why)) {
        if (error)
            *error = QStringLiteral("The configuration file \"%1\" is not valid: %2").arg(path, why);
        return false;
    }
    return true;
}

QString programFolder()
{
    return EnsureTrailingBackslash(QCoreApplication::applicationDirPath());
}

ProgramFolders programFolders(const QString &programDir, const ProgramConfig &config)
{
    ProgramFolders f;
    f.program = EnsureTrailingBackslash(programDir);
    f.configFile = f.program + QLatin1String(kProgramConfigFileName);
    f.sound = f.program + QStringLiteral("sounds/");
    f.resource = EnsureTrailingBackslash(f.sound + config.ResFolder);
    f.library = f.program + QStringLiteral("lib");
    f.libraryAlt = f.program + QStringLiteral("../lib");
    f.documents = GetShellFolder(QStringLiteral("Personal"));
    f.appData = applicationDataFolder(GetShellFolder(QStringLiteral("AppData")), applicationTitle());
    return f;
}

QString applicationDataFolder(const QString &appDataShellFolder, const QString &title)
{
    const QString base = EnsureTrailingBackslash(appDataShellFolder);
    QString name = title;
    name.replace(QLatin1Char('/'), QLatin1Char(' '));
    const QString folder = base + name + QLatin1Char('/');
    QDir dir;
    if (dir.exists(folder) || dir.mkdir(folder))
        return folder;
    return base;
}

} // namespace quillor
