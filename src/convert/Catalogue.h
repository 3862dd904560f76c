#pragma once
// The output formats the converter offers and the display texts of their
// presets.
//
// There are three format classes (video, device, audio); each numbers its
// formats from 0 in the order their buttons are laid out, and each format
// lists its presets in the order of its preset box. A preset's position is
// its preset index, which Presets.h turns into encoding parameters.
//
// Plain data, no toolkit: the window, quillor-cli and the tests share it.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillor {

// Stored as one byte ("OutputFormatClass").
enum class FormatClass : std::uint8_t { Video = 0, Device = 1, Audio = 2 };

inline constexpr int kFormatClassCount = 3;
inline constexpr int kOutputFormatCount = 25;
inline constexpr int kPresetCount = 180; // over all formats

struct OutputFormat {
    FormatClass Class;
    int Index;                          // within its class
    std::string_view Name;              // "AVI", "iPod", ...; also names its button and preset box
    std::string_view ConfigKey;         // flag in section "SYSTEM" that offers the format
    std::string_view PresetSettingsKey; // per-user key that stores its chosen preset
    std::string_view Extension;         // of the output files, dot included
    int DefaultPreset;                  // preset index before the user settings are read
    std::span<const std::string_view> Presets; // display texts; position = preset index

    int PresetCount() const { return static_cast<int>(Presets.size()); }
    // 0..24 over all classes, in class and table order.
    int Ordinal() const;
};

// All 25 formats: video, then device, then audio, each in table order.
std::span<const OutputFormat> AllFormats();
std::span<const OutputFormat> FormatsOfClass(FormatClass formatClass);

// The format `index` of class `formatClass` (0 video, 1 device, 2 audio);
// null when either is out of range.
const OutputFormat *FindFormat(int formatClass, int index);
// By name, without regard to case ("mp4", "IPOD"); names are unique over
// all classes. Null when unknown.
const OutputFormat *FindFormatByName(std::string_view name);

// The output file extension of a format (".avi", ".mp4", ...); empty when
// the class or the index is out of range.
std::string OutputExtension(int formatClass, int index);

// "Video", "Device", "Audio"; empty for a value outside 0..2.
std::string_view FormatClassName(int formatClass);
// "video" / "Device" / "AUDIO" -> the class; nothing for another text.
std::optional<FormatClass> ParseFormatClass(std::string_view name);
// The per-user key of a class's chosen format: "OutputVideoFormat",
// "OutputDeviceFormat", "OutputAudioFormat"; empty out of range.
std::string_view FormatSettingsKey(int formatClass);
inline constexpr std::string_view kFormatClassSettingsKey = "OutputFormatClass";

// What the user chose on the output page. Each class remembers its own
// format and each format its own preset; only the current class is used
// for a conversion.
struct FormatSelection {
    std::uint8_t Class = 0;                   // FormatClass value; other values choose nothing
    std::array<std::uint8_t, kFormatClassCount> FormatIndex{}; // per class
    std::array<std::int32_t, kOutputFormatCount> PresetIndex; // per format ordinal; -1 none
    std::string OutputFolder;

    // Start-up state: class Video, format 0 of each class, every preset at
    // its start-up default.
    FormatSelection();

    // The format chosen in the current class; null when the class or its
    // format index is out of range.
    const OutputFormat *ChosenFormat() const;
    // The preset index remembered for `format` (may be out of its range).
    std::int32_t PresetOf(const OutputFormat &format) const { return PresetIndex[format.Ordinal()]; }
    void SetPresetOf(const OutputFormat &format, std::int32_t preset) { PresetIndex[format.Ordinal()] = preset; }
};

} // namespace quillor
