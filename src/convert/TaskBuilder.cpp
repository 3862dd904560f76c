#include "TaskBuilder.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "FFDecode.h"
#include "Presets.h"

namespace quillor {
namespace {

// The file name part of a path.
std::string fileNameOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Position of the extension's dot in a file name, or npos.
std::string::size_type extensionDot(const std::string &fileName)
{
    return fileName.find_last_of('.');
}

bool existsOrClaimed(const std::string &folder, const std::string &name, const OutputNames &names)
{
    const std::string path = folder + name;
    if (names.Claimed(path))
        return true;
    std::error_code ec;
    // A dangling link still names something we must not write through.
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

void setText(std::string &field, std::string_view value)
{
    if (!value.empty())
        field = value;
}

void setNumber(int &field, int value)
{
    if (value != -1)
        field = value;
}

void applyParams(TOutputOptions &o, const PresetParams &p, int inputAudioBitrate)
{
    setText(o.FileFormat, p.FileFormat);
    setText(o.VideoCodec, p.VideoCodec);
    setText(o.VideoTag, p.VideoTag);
    setText(o.VideoPreset, p.VideoPreset);
    setText(o.FrameSize, p.FrameSize);
    setText(o.FrameRate, p.FrameRate);
    setText(o.AspectRatio, p.AspectRatio);
    setNumber(o.VideoBitrate, p.VideoBitrate);
    setNumber(o.VideoMinRate, p.VideoMinRate);
    setNumber(o.VideoMaxRate, p.VideoMaxRate);
    setNumber(o.VideoBufferSize, p.VideoBufferSize);
    if (p.Target != 0) {
        o.Target = p.Target;
        o.NormType = p.NormType;
    }
    setText(o.AudioCodec, p.AudioCodec);
    setNumber(o.AudioChannels, p.AudioChannels);
    setNumber(o.AudioSampleRate, p.AudioSampleRate);
    if (p.AudioBitrate == kAudioBitrateOfInput) {
        if (inputAudioBitrate > 0)
            o.AudioBitrate = inputAudioBitrate;
    } else {
        setNumber(o.AudioBitrate, p.AudioBitrate);
    }
    setText(o.ExtOptions, p.ExtOptions);
    // A target drops AudioBitrate and sets its own audio rate, and the DVD
    // rate (448 kbit/s) is one that MPEG layer-2 audio, which these presets
    // ask for, cannot code: the task would fail. As an extra option the
    // preset's own rate is applied after the target's.
    if (p.Target != 0 && p.AudioBitrate > 0) {
        if (!o.ExtOptions.empty() && !o.ExtOptions.ends_with('\n'))
            o.ExtOptions += "\r\n";
        o.ExtOptions += "ab=" + std::to_string(p.AudioBitrate);
    }
}

} // namespace

std::string WithTrailingSlash(const std::string &folder)
{
    if (!folder.empty() && folder.back() == '/')
        return folder;
    return folder + '/';
}

std::string UniqueOutputName(const std::string &name, const std::string &folder, const OutputNames &names)
{
    const std::string dir = WithTrailingSlash(folder);
    if (!existsOrClaimed(dir, name, names))
        return name;
    const auto dot = extensionDot(name);
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    // Bounded like the rest of the program: the last candidate is returned
    // untested when all before it exist.
    std::string candidate;
    for (int i = 1; i <= 32768; ++i) {
        candidate = stem + "(" + std::to_string(i) + ")" + ext;
        if (i == 32768 || !existsOrClaimed(dir, candidate, names))
            break;
    }
    return candidate;
}

std::string MakeOutputPath(const std::string &inputPath, const std::string &folder, const std::string &extension,
                           OutputNames &names)
{
    std::string name = fileNameOf(inputPath);
    const auto dot = extensionDot(name);
    if (dot != std::string::npos)
        name.erase(dot);
    name += extension;
    const std::string dir = WithTrailingSlash(folder);
    const std::string path = dir + UniqueOutputName(name, dir, names);
    names.Claim(path);
    return path;
}

TOutputOptions BuildOutputOptions(const FormatSelection &selection, const std::string &fileName,
                                  int inputAudioBitrate)
{
    TOutputOptions o;
    InitOutputOptions(o);
    o.FileName = fileName;

    switch (selection.Class) {
    case static_cast<std::uint8_t>(FormatClass::Video):
        o.DisableVideo = false;
        break;
    case static_cast<std::uint8_t>(FormatClass::Audio):
        // No picture in an audio file, whatever video codec a table names.
        o.DisableVideo = true;
        break;
    default:
        break;
    }

    const OutputFormat *format = selection.ChosenFormat();
    if (!format)
        return o;
    o.FileExt = format->Extension;
    const FormatPresets &table = PresetsOf(*format);
    applyParams(o, table.Shared, inputAudioBitrate);
    if (const PresetParams *row = PresetRow(*format, selection.PresetOf(*format)))
        applyParams(o, *row, inputAudioBitrate);
    return o;
}

ProbedInput ProbedInputOf(TFFDecoder &probe)
{
    ProbedInput p;
    p.OpenedFileName = probe.OpenedFileName();
    p.ForcedFormatName = probe.ForcedFormatName();
    if (probe.FirstAudioStream() >= 0) {
        TAudioStreamInfo audio;
        probe.ReadAudioStreamInfo(probe.FirstAudioStream(), audio);
        p.FirstAudioBitRate = audio.BitRate;
    }
    return p;
}

TInputOptions BuildInputOptions(const ProbedInput &probe)
{
    TInputOptions options;
    InitInputOptions(options);
    options.FileName = probe.OpenedFileName;
    options.FileFormat = probe.ForcedFormatName;
    return options;
}

TaskOptions BuildTaskOptions(const FormatSelection &selection, const ProbedInput &probe, OutputNames &names)
{
    std::string extension;
    if (const OutputFormat *format = selection.ChosenFormat())
        extension = format->Extension;
    const std::string outputPath = MakeOutputPath(probe.OpenedFileName, selection.OutputFolder, extension, names);
    TaskOptions task;
    task.Output = BuildOutputOptions(selection, outputPath, probe.FirstAudioBitRate);
    task.Input = BuildInputOptions(probe);
    return task;
}

std::string FormatDurationText(int64_t us)
{
    const int64_t seconds = us / 1000000;
    char text[48];
    std::snprintf(text, sizeof text, "%.2" PRId64 ":%.2" PRId64 ":%.2" PRId64 ".%.3" PRId64, seconds / 3600,
                  (seconds / 60) % 60, seconds % 60, (us % 1000000) / 1000);
    return text;
}

std::string JoinOutputPath(const FormatSelection &selection, OutputNames &names)
{
    std::string extension;
    if (const OutputFormat *format = selection.ChosenFormat())
        extension = format->Extension;
    return MakeOutputPath(kJoinOutputBaseName, selection.OutputFolder, extension, names);
}

JoinRow MakeJoinRow(const JoinInput &input, const std::string &outputPath)
{
    JoinRow row;
    row.Caption = fileNameOf(input.Path);
    row.DurationText = input.DurationUs == 0 ? std::string(kDurationUnknownText) : FormatDurationText(input.DurationUs);
    row.SizeText = std::to_string(input.Width) + "x" + std::to_string(input.Height);
    char aspect[32];
    std::snprintf(aspect, sizeof aspect, "%.15g", input.AspectRatio);
    row.AspectText = aspect;
    row.OutputPath = outputPath;
    return row;
}

} // namespace quillor
