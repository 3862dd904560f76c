#pragma once
// Option records of a transcoding task and the records its events carry.
//
// The window's task builders fill TInputOptions / TOutputOptions and hand
// them to TFFEncoder (AddTask, AddInputFile, SetOutputFile); the encoder
// turns them into named options of the task. Always start from
// InitInputOptions / InitOutputOptions and then set only what you need:
// every numeric field has a "not set" default that the encoder skips.
//
// Texts are UTF-8. Times are microseconds; kNoPts ("not set") is the
// library's AV_NOPTS_VALUE, the smallest 64-bit value.

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace quillor {

inline constexpr int64_t kNoPts = std::numeric_limits<int64_t>::min();

// Metadata of an output file.
struct TStreamInfo {
    // Days since 1899-12-30, local time: < 0 none, 0 the current time,
    // > 0 this time. Becomes the output's recording time stamp.
    double Timestamp = -1.0;
    int Year = -1;  // "year" when > 0
    int Track = -1; // "track" when > 0
    std::string Title;
    std::string Author;
    std::string Copyright;
    std::string Comment;
    std::string Album;
    std::string Genre;
};

// Options of one input file of a task.
struct TInputOptions {
    std::string FileName;    // informational; filled with the opened name when empty
    std::string FileFormat;  // forced input format ("f"); empty lets the library probe
    int64_t TimeStart = kNoPts; // start position in this input ("ss")
    int ProgramID = -1;      // program of a multi-program input, when >= 0
    std::string ExtOptions;  // further name=value lines
};

// Options of the output file of a task. The comment names the engine
// option each field becomes and when it is applied.
struct TOutputOptions {
    std::string FileName;   // informational; filled with the opened name when empty
    std::string FileExt;    // carried along for the caller, unused by the engine
    std::string FileFormat; // "f"; empty guesses the format from the file name
    int PacketSize = -1;    // "packetsize" when > 0
    int MuxRate = -1;       // "muxrate" when > 0
    float MuxDelay = -1.0f;   // "muxdelay" (seconds) when > 0
    float MuxPreload = -1.0f; // "muxpreload" (seconds) when > 0

    std::string AudioCodec;  // default audio encoder ("acodec"), e.g. "libmp3lame", "copy"
    std::string AudioPreset; // default audio preset ("apre")
    bool DisableAudio = false;     // "an"
    int AudioVolume = -1;          // "vol" when >= 0 (256 keeps the volume)
    int AudioChannels = -1;        // "ac" when > 0
    int AudioSampleRate = -1;      // "ar" (Hz) when > 0
    int AudioBitrate = -1;         // "ab" (bit/s) when > 0 and Target == 0
    int AudioBitrateTolerance = -1; // "abt" when > 0
    std::string AudioLanguage;     // "alang"
    int AudioSync = 0;             // "async", always applied
    std::string AudioTag;          // "atag"

    std::string VideoCodec;  // default video encoder ("vcodec")
    std::string VideoPreset; // default video preset ("vpre"), e.g. "libx264-default"
    bool DisableVideo = false;   // "vn"
    std::string FrameRate;   // "r", e.g. "25" or "30000/1001"
    std::string FrameSize;   // default frame size ("s"), e.g. "320x240"
    std::string AspectRatio; // "aspect": "4:3" or a decimal number
    int GopSize = -1;               // "g" when > 0
    int VideoBitrate = -1;          // "vb" (bit/s) when > 0 and Target == 0
    int VideoMaxRate = -1;          // "maxrate" when > 0
    int VideoMinRate = -1;          // "minrate" when > 0
    int VideoBitrateTolerance = -1; // "bt" when > 0
    int VideoBufferSize = -1;       // "bufsize" when > 0
    int VideoSync = -1;             // "vsync", always applied
    std::string VideoTag;      // "vtag", e.g. "XVID"
    std::string VideoFilters;  // default filter graph ("vf")
    std::string VideoLanguage; // "vlang"

    std::string SubtitleCodec;  // default subtitle encoder ("scodec")
    std::string SubtitlePreset; // default subtitle preset ("spre")
    bool DisableSubtitle = false; // "sn"
    std::string SubtitleLanguage; // "slang"

    bool InputSync = false;      // "isync", always applied
    bool CopyTimestamps = false; // "copyts" when true
    int64_t TimeStart = kNoPts;  // "ss" when set
    int64_t TimeLength = kNoPts; // "t" when set; also the task's expected duration
    TStreamInfo StreamInfo;

    int Target = 0;      // 0 none, 1 "vcd", 2 "svcd", 3 "dvd"
    int NormType = 0;    // for Target: 0 detect, 1 PAL, 2 NTSC
    int NormDefault = 1; // when detection fails: 1 PAL, anything else NTSC

    bool AudioHook = false;       // raise OnAudioHook for this task
    bool VideoInputHook = false;  // raise OnVideoInputHook for this task
    bool VideoOutputHook = false; // raise OnVideoOutputHook for this task
    int VideoHookBitsPixel = 24;  // 8, 15, 16, 24 or 32

    bool Join = false; // write all inputs of the task one after another into this output
    std::string ExtOptions; // further name=value lines
};

void InitInputOptions(TInputOptions &options);
void InitOutputOptions(TOutputOptions &options);

// One name=value line of ExtOptions. The name is lower-cased; the value is
// kept as written.
using TExtOption = std::pair<std::string, std::string>;

// Splits ExtOptions text: trims it, normalises CRLF / CR and the literal
// "<CRLF>" to line breaks, splits each line at its first '='. A line without
// '=' is a name with an empty value; an empty line in the middle is kept
// (empty name). Empty text gives no lines.
std::vector<TExtOption> ParseExtOptions(const std::string &text);

// The picture that preview and hook handlers receive (see FFmpeg.h):
// owned by the task, valid only during the handler call.
struct TTaskPicture;

// Progress of a task. The encoder keeps one instance and passes its
// address; it is valid only during the handler call.
struct TProgressInfo {
    int TaskIndex = 0;
    int FileIndex = 0;      // input being read; -1 in the task's final report
    int FrameNumber = -1;   // frames encoded on the first encoded video stream; -1 without one
    int FPS = -1;           // frames per second of the loop; -1 without encoded video
    float Quality = -1.0f;  // quantiser of the last encoded video frame; -1 without encoded video
    float BitRate = 0.0f;   // kbit/s
    int64_t CurrentSize = 0;     // bytes written to the first output file
    int64_t CurrentDuration = 0; // microseconds of output produced
    int64_t TotalDuration = -1;  // expected microseconds of output; -1 unknown
};

// End of a task (TaskIndex >= 0) or of the whole run (TaskIndex == -1).
struct TTerminateInfo {
    int TaskIndex = 0;
    bool Finished = false;  // ran to its end; true in the run-end event
    bool Exception = false; // an error ended the task
    std::string ExceptionMsg;
};

struct TPreviewInfo {
    int TaskIndex = 0;
    TTaskPicture *Bitmap = nullptr;
    int FrameNumber = 0; // 1-based on its output stream
    int64_t PTS = 0;     // microseconds
};

struct THookInfo {
    int TaskIndex = 0;
    TTaskPicture *Bitmap = nullptr;
    int FrameNumber = 0;
    int64_t PTS = 0;       // microseconds
    bool Update = true;    // write the handler's changes back into the frame
    bool StopHook = false; // set by the handler: no more calls of this hook for the task
};

} // namespace quillor
