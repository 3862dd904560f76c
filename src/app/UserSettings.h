#pragma once
// The per-user settings, section "System" of "~system2.dat" in the
// application-data folder, and the saved positions of the main window
// ("Form") and the log window ("FormLog") in the same file.
//
// The settings get their defaults at start-up, are read over them from the
// file, change in memory while the program runs and are written back when
// the main window closes.

#include <QString>

#include <cstdint>

class QWidget;

namespace quillor {

struct ProgramConfig;

inline constexpr char kUserSettingsFileName[] = "~system2.dat";

struct UserSettings {
    QString LastOpenDir;
    QString OutputFileDir;
    QString OutputURLDir;
    std::uint8_t OutputFormatClass = 0;   // 0 video, 1 device, 2 audio
    std::uint8_t OutputAudioFormat = 0;
    std::uint8_t OutputVideoFormat = 0;
    std::uint8_t OutputDeviceFormat = 0;
    int OutputWAVPreset = 3;
    int OutputMP3Preset = 2;
    int OutputWMAPreset = 1;
    int OutputOGGPreset = 3;
    int OutputM4APreset = 0;
    int OutputAACPreset = 3;
    int OutputFLACPreset = 5;
    int OutputMP2Preset = 0;
    int OutputAVIPreset = 3;
    int OutputMP4Preset = 3;
    int OutputFLVPreset = 1;
    int OutputSWFPreset = 1;
    int OutputMPEGPreset = 5;
    int OutputRMPreset = 1;
    int OutputWMVPreset = 16;
    int OutputMOVPreset = 7;
    int Output3GPPreset = 2;
    int OutputiPodPreset = 5;
    int OutputiPhonePreset = 1;
    int OutputAppleTVPreset = 1;
    int OutputPSPPreset = 1;
    int OutputBlackBerryPreset = 1;
    int OutputMobilePhonePreset = 1;
    int OutputiPadPreset = 0;
    int OutputAndroidPreset = 0;
    bool PlayASoundWhenFinished = false;
    bool ShutDownWhenFinished = false;
    // The quality preference of the download side: places 1 to 8 (the
    // eighth key is named with 18), each a quality value 0..7.
    bool PreferYouTubeQuality = true;
    std::uint8_t PreferYouTube1 = 1;
    std::uint8_t PreferYouTube2 = 2;
    std::uint8_t PreferYouTube3 = 3;
    std::uint8_t PreferYouTube4 = 0;
    std::uint8_t PreferYouTube5 = 4;
    std::uint8_t PreferYouTube6 = 5;
    std::uint8_t PreferYouTube7 = 6;
    std::uint8_t PreferYouTube18 = 7;

    // Every setting at its start-up default: the three folders are the
    // documents folder, the format class and formats come from the program
    // configuration, the rest from the table above.
    static UserSettings defaults(const ProgramConfig &config, const QString &documentsFolder);
};

// The settings file in the application-data folder (which ends with "/").
QString userSettingsFile(const QString &appDataFolder);

// The file that RestoreFormPosition and SaveFormPosition use when they are
// given a blank file name. LoadUserSettings sets it.
void setUserSettingsFile(const QString &path);
QString currentUserSettingsFile();

// Reads section "System" over the values in `settings` (an absent or
// unreadable key keeps its value) and returns true. When the file does not
// exist, writes the current values with SaveUserSettings and returns false
// (the first start).
bool LoadUserSettings(UserSettings &settings, const QString &file);

// Writes every key of section "System" in table order, keeping the other
// sections of the file. When the file cannot be written, shows the notice
// "Unable to write to <file>" through the message seam and returns false.
bool SaveUserSettings(const UserSettings &settings, const QString &file);

// A stored window position kept on the primary screen: width and height are
// limited to the screen, then x and y are pulled back so that the window
// fits, then raised to 0.
struct WindowPlacement {
    int x = 0;
    int y = 0;
    bool maximized = false;
};
WindowPlacement clampWindowPlacement(int x, int y, int width, int height, bool maximized, int screenWidth,
                                     int screenHeight);

// Places `window` from `section` of `file` (blank: the settings file). The
// window's size is not changed. Always true.
bool RestoreFormPosition(const QString &section, QWidget *window, const QString &file = QString());

// Writes x, y, height, width and maximized of `window` into `section`.
// On a refused write: the notice "Unable to write to <file>" and false.
bool SaveFormPosition(const QString &section, QWidget *window, const QString &file = QString());

} // namespace quillor
