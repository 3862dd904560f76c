#pragma once
// The encoding parameters behind every preset of the catalogue.
//
// Each format has one table whose row n belongs to preset index n, plus
// the fields the format sets whatever preset is chosen (its shared
// fields). An empty text or -1 leaves the output option at the engine's
// default, which lets the library (or the container) choose.

#include <span>
#include <string_view>

#include "Catalogue.h"

namespace quillor {

// AudioBitrate value meaning "the bit rate of the input's first audio
// stream" (only the lossless WMA preset uses it).
inline constexpr int kAudioBitrateOfInput = -2;

// Fields are named and typed after TOutputOptions, in declaration order
// so that tables can use designated initialisers.
struct PresetParams {
    std::string_view FileFormat{};  // "psp" for the PSP layout, else empty (the extension decides)
    std::string_view VideoCodec{};
    std::string_view VideoTag{};
    std::string_view VideoPreset{};
    std::string_view FrameSize{};   // "WxH"
    std::string_view FrameRate{};   // "25", "30000/1001"
    std::string_view AspectRatio{}; // "16:9"
    int VideoBitrate = -1;        // bit/s
    int VideoMinRate = -1;
    int VideoMaxRate = -1;
    int VideoBufferSize = -1;
    int Target = 0;               // 0 none, 1 VCD, 2 SVCD, 3 DVD
    int NormType = 0;             // 1 PAL, 2 NTSC
    std::string_view AudioCodec{};
    int AudioChannels = -1;
    int AudioSampleRate = -1;     // Hz
    int AudioBitrate = -1;        // bit/s, or kAudioBitrateOfInput
    std::string_view ExtOptions{};  // name=value lines
};

// Extra x264 settings of the Apple and Android device presets: 18 lines,
// each ended by CR LF.
extern const std::string_view kOptionBlockA;
// Extra x264 settings of the PSP presets: 23 lines joined by CR LF, no
// line break after the last.
extern const std::string_view kOptionBlockB;

struct FormatPresets {
    PresetParams Shared;                // applied for any preset index, even one without a row
    std::span<const PresetParams> Rows; // row n = preset index n
};

// The table of a format; every format has one, with as many rows as the
// catalogue has display texts.
const FormatPresets &PresetsOf(const OutputFormat &format);

// The row of preset `preset` of `format`; null when the index has no row.
const PresetParams *PresetRow(const OutputFormat &format, int preset);

} // namespace quillor
