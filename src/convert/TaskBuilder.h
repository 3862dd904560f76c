#pragma once
// Turns the user's format choice and the probed inputs into the option
// records of the encoder's tasks.
//
// Normally every input becomes one task with its own output file in the
// output folder, named after the input with the format's extension. In
// join mode every input goes into one task whose output is "Output_Merge"
// with the format's extension.
//
// Output names never replace a file that exists, and never one that an
// earlier task of the same run will write: the run keeps an OutputNames
// for the names it handed out.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "FFTaskOptions.h"

namespace quillor {

class TFFDecoder;

// What the builders need from the probe opened on an input.
struct ProbedInput {
    std::string OpenedFileName;   // the input's full path
    std::string ForcedFormatName; // format name the probe was forced to; empty here
    int FirstAudioBitRate = -1;   // bit/s of the first audio stream; -1 unknown or no audio
};

// The values of a probe that has a file open. A file without sound is
// not asked for its audio values, so that asking logs no error.
ProbedInput ProbedInputOf(TFFDecoder &probe);

// Output paths handed out during one conversion run.
class OutputNames {
public:
    bool Claimed(const std::string &path) const { return claimed_.count(path) != 0; }
    void Claim(const std::string &path) { claimed_.insert(path); }

private:
    std::set<std::string> claimed_;
};

// `folder` with a trailing "/" ("" gives "/").
std::string WithTrailingSlash(const std::string &folder);

// A file name (not a path) for `name` in `folder` that neither exists there
// nor is claimed: `name` itself, else name(1).ext, name(2).ext, ... The
// number goes before the extension of the file name; the rest of the name
// is kept as written.
std::string UniqueOutputName(const std::string &name, const std::string &folder, const OutputNames &names);

// The output path for `inputPath` in `folder` with `extension` (dot
// included) in place of the input's own, made unique and claimed.
std::string MakeOutputPath(const std::string &inputPath, const std::string &folder, const std::string &extension,
                           OutputNames &names);

// The output options of the chosen class, format and preset, with
// FileName and FileExt set. `inputAudioBitrate` is what the lossless WMA
// preset uses (-1 leaves the bit rate to the library).
TOutputOptions BuildOutputOptions(const FormatSelection &selection, const std::string &fileName,
                                  int inputAudioBitrate = -1);

// Input options of a separate task: the probed name and forced format.
TInputOptions BuildInputOptions(const ProbedInput &probe);

struct TaskOptions {
    TInputOptions Input;
    TOutputOptions Output; // FileName is the output path
};

// The options of the task for one probed input, its output in the
// selection's output folder.
TaskOptions BuildTaskOptions(const FormatSelection &selection, const ProbedInput &probe, OutputNames &names);

// --- join mode ---------------------------------------------------------

inline constexpr char kJoinOutputBaseName[] = "Output_Merge";
inline constexpr char kJoinAddedMessage[] = "File has been added to convert list.";
inline constexpr char kJoinAddErrorPrefix[] = "Adding file error: ";
inline constexpr char kJoinOutputErrorPrefix[] = "Cannot do convert, error: ";
inline constexpr char kDurationUnknownText[] = "Duration is not preseted";

// One row of the input list as join mode reads it (no file is probed again).
struct JoinInput {
    std::string Path;
    int64_t DurationUs = 0; // 0: the probe could not tell
    int Width = -1;         // -1 for audio files
    int Height = -1;
    double AspectRatio = 0; // display aspect ratio
};

// One line of the conversion list.
struct JoinRow {
    std::string Caption;      // file name without folder
    std::string DurationText; // "hh:mm:ss.zzz" or kDurationUnknownText
    std::string SizeText;     // width "x" height
    std::string AspectText;   // decimal number
    std::string OutputPath;
};

struct JoinResult {
    std::vector<JoinRow> Rows;
    std::vector<std::string> LogLines;
    int64_t TotalDurationUs = 0;
    bool OutputSet = false; // task 0 exists and has its output
};

// "hh:mm:ss.zzz" of a count of microseconds, hours not limited.
std::string FormatDurationText(int64_t us);

// Helpers of BuildJoinTask.
std::string JoinOutputPath(const FormatSelection &selection, OutputNames &names);
JoinRow MakeJoinRow(const JoinInput &input, const std::string &outputPath);

// Builds the one task of join mode on `encoder` (TFFEncoder or anything
// with its AddTask / AddInputFile / SetOutputFile / RemoveTask / TaskCount
// / LastError). Failures become log lines and never stop the build; when
// no input could be added there is no task and nothing more is done.
template <class Encoder>
JoinResult BuildJoinTask(Encoder &encoder, const FormatSelection &selection, const std::vector<JoinInput> &inputs,
                         OutputNames &names)
{
    JoinResult result;
    // Every row shows the path the output will get; it is claimed once.
    const std::string outputPath = JoinOutputPath(selection, names);
    for (const JoinInput &input : inputs) {
        TInputOptions options;
        InitInputOptions(options);
        bool added;
        if (encoder.TaskCount() == 0)
            added = encoder.AddTask(input.Path, options) >= 0;
        else
            added = encoder.AddInputFile(0, input.Path, options);
        if (!added) {
            result.LogLines.push_back(kJoinAddErrorPrefix + encoder.LastError());
            continue;
        }
        result.Rows.push_back(MakeJoinRow(input, outputPath));
        if (input.DurationUs > 0)
            result.TotalDurationUs += input.DurationUs;
        result.LogLines.push_back(kJoinAddedMessage);
    }
    if (encoder.TaskCount() == 0)
        return result;

    // No probe is open here, so the lossless WMA preset leaves its bit
    // rate to the library.
    TOutputOptions output = BuildOutputOptions(selection, outputPath);
    output.Join = true;
    if (encoder.SetOutputFile(0, outputPath, output)) {
        result.OutputSet = true;
    } else {
        result.LogLines.push_back(kJoinOutputErrorPrefix + encoder.LastError());
        encoder.RemoveTask(0);
    }
    return result;
}

} // namespace quillor
