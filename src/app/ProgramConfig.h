#pragma once
// The read-only program configuration: section "SYSTEM" of "lamecore.dll"
// beside the program, an INI text stored with every byte of every line
// complemented. Filled once at start-up, never written back.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace quillor {

struct ProgramConfig {
    QString Version;
    QString Copyright;
    bool Download = false;
    bool Video = false;   // read and kept; nothing depends on it
    bool Merge = false;
    int Skin = 0;         // chrome layout 0..3; any other number keeps layout 0
    QString ResFolder;

    QString HelpContectLink;   // the key is spelled "Contect"
    QString HelpHowTosTutorialVideosLink;
    QString HelpHomePageLink;
    QString HelpMoreFreeToolsLink;
    QString HelpCheckForUpdatesLink;
    QString HelpSupportLink;

    // Video formats offered.
    bool AVI = false, MP4 = false, FLV = false, SWF = false, MPEG = false, RM = false, WMV = false, MOV = false,
         _3GP = false;   // key "3GP"
    // Device formats offered.
    bool IPOD = false, IPHONE = false, APPLETV = false, PSP = false, BLACKBERRY = false, MOBILEPHONE = false,
         IPAD = false, ANDROID = false;
    // Audio formats offered.
    bool WAV = false, MP3 = false, WMA = false, OGG = false, AAC = false, M4A = false, FLAC = false, MP2 = false;

    // Defaults of the format settings; the three format numbers keep their low 8 bits.
    std::uint8_t DefaultVideo = 0;
    std::uint8_t DefaultDevice = 0;
    std::uint8_t DefaultAudio = 0;
    int DefaultClass = 0;   // as stored; see defaultFormatClass()

    // DefaultClass when it is 0, 1 or 2, else 0 (video).
    std::uint8_t defaultFormatClass() const;
};

// The name of the configuration file in the program folder.
inline constexpr char kProgramConfigFileName[] = "lamecore.dll";

// Complements every byte of every line; line ends (CR, LF) are kept as they
// are, and a NUL byte ends the text. Encoding and decoding are the same
// operation on a line.
QByteArray complementLines(const QByteArray &bytes);

// Typed reading of configuration values.
// A flag is true only for exactly "True" or exactly "Yes".
bool parseConfigFlag(const QString &value);
// A decimal number; a leading "$" or "0x"/"0X" makes it hexadecimal;
// leading blanks and a sign are accepted. Empty when it is not a number
// or does not fit an int.
std::optional<int> parseConfigInteger(const QString &value);

// Parses decoded configuration text into `config`. A required integer key
// (Skin, DefaultVideo, DefaultDevice, DefaultAudio, DefaultClass) that is
// absent or not a number fails with the conversion error
// "'<text>' is not a valid integer value" in `error`.
bool parseProgramConfig(const QByteArray &decodedText, ProgramConfig &config, QString *error = nullptr);

// Reads and decodes the configuration file. On failure `error` says which
// file and what went wrong; `config` is then undefined.
bool loadProgramConfig(const QString &path, ProgramConfig &config, QString *error = nullptr);

// The folders derived once at start-up. Every folder ends with "/" except
// `documents`, which is the shell folder as returned.
struct ProgramFolders {
    QString program;      // folder of the running program
    QString configFile;   // program + "lamecore.dll"
    QString resource;     // program + "sounds/" + ResFolder + "/"
    QString sound;        // program + "sounds/"
    QString library;      // program + "lib"
    QString libraryAlt;   // program + "../lib"
    QString documents;    // the "Personal" shell folder
    QString appData;      // per-user folder that holds the settings file
};

// The folder of the running program with a trailing "/".
QString programFolder();

// The program folder and the file and folders below it.
ProgramFolders programFolders(const QString &programDir, const ProgramConfig &config);

// The per-user settings folder: the "AppData" shell folder + the title with
// every "/" replaced by a blank + "/". Created when missing (one level);
// when it cannot be created, the "AppData" shell folder itself (with "/").
QString applicationDataFolder(const QString &appDataShellFolder, const QString &title);

} // namespace quillor
