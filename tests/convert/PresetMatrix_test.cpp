// Every preset must give a file that plays: each one converts a short clip
// through quillor-cli, and ffprobe must find in the output the codecs,
// picture and sound its table row asks for.
//
// What to expect is worked out here from the preset tables and from what
// the libraries do with a row, written down below: the codec an encoder
// writes, a container's own codecs where a row names none, the DVD / SVCD /
// VCD targets, and the values the engine moves to the nearest one an
// encoder accepts. It is not worked out by running the builders.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "Presets.h"
#include "RunCommand.h"

using namespace quillor;
using test_support::runCommand;
namespace fs = std::filesystem;

namespace {

// The clips: 3 seconds of 640x360 at 25 fps with stereo 44.1 kHz sound,
// and the same sound alone.
constexpr double kClipSeconds = 3.0;
constexpr int kClipWidth = 640, kClipHeight = 360;
constexpr double kClipFps = 25.0;
constexpr int kClipRate = 44100, kClipChannels = 2;

const fs::path kWorkDir = MATRIX_WORK_DIR;
const fs::path kVideoClip = kWorkDir / "clips" / "clip.avi";
const fs::path kAudioClip = kWorkDir / "clips" / "tone.mp3";

bool makeClip(const fs::path &target, const std::vector<std::string> &args)
{
    if (fs::exists(target))
        return true;
    fs::create_directories(target.parent_path());
    // Made under a private name and renamed, so a test running alongside
    // never sees half a clip.
    const fs::path partial = target.string() + ".part" + std::to_string(getpid()) + target.extension().string();
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-hide_banner", "-v", "error", "-y"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(partial.string());
    const auto r = runCommand(argv);
    if (r.exitCode != 0) {
        ADD_FAILURE() << "ffmpeg could not make " << target << ":\n" << r.output;
        fs::remove(partial);
        return false;
    }
    fs::rename(partial, target);
    return true;
}

bool makeClips()
{
    const std::string seconds = std::to_string(static_cast<int>(kClipSeconds));
    const std::string sine = "sine=frequency=440:sample_rate=44100:duration=" + seconds;
    return makeClip(kVideoClip, {"-f", "lavfi", "-i", "testsrc=size=640x360:rate=25:duration=" + seconds, "-f",
                                 "lavfi", "-i", sine, "-ac", "2", "-c:v", "mpeg4", "-q:v", "4", "-c:a", "libmp3lame",
                                 "-b:a", "128k", "-shortest"}) &&
           makeClip(kAudioClip, {"-f", "lavfi", "-i", sine, "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k"});
}

// The convert command is written alongside these tests; until quillor-cli
// has it there is nothing to run.
bool cliConverts()
{
    static const bool has = [] {
        const auto r = runCommand({QUILLOR_CLI});
        return r.output.find("\n  convert") != std::string::npos;
    }();
    return has;
}

bool ffmpegHasEncoder(const std::string &codec)
{
    static const std::string list = runCommand({"ffmpeg", "-hide_banner", "-encoders"}, false).output;
    return list.find(" " + codec + " ") != std::string::npos || list.find("(codec " + codec + ")") != std::string::npos;
}

// --- what the libraries make of a row --------------------------------------

// The codec an encoder writes, where its name differs.
const std::map<std::string, std::string> kCodecOfEncoder = {
    {"libx264", "h264"},    {"libmp3lame", "mp3"}, {"libvorbis", "vorbis"},
    {"libtheora", "theora"},
    {"libfaac", "aac"}, // no longer built anywhere: the engine uses the library's own AAC encoder
};

// A container's own codecs, used where a row names none.
struct ContainerCodecs {
    const char *video;
    const char *audio;
};
const std::map<std::string, ContainerCodecs> kContainerCodecs = {
    {".avi", {"mpeg4", "mp3"}},      {".mp4", {"h264", "aac"}},     {".flv", {"flv1", "mp3"}},
    {".swf", {"flv1", "mp3"}},       {".mpg", {"mpeg1video", "mp2"}}, {".rm", {"rv10", "ac3"}},
    {".wmv", {"msmpeg4v3", "wmav2"}}, {".mov", {"h264", "aac"}},    {".3gp", {"h263", "amr_nb"}},
    {".wav", {"", "pcm_s16le"}},     {".mp3", {"", "mp3"}},         {".wma", {"", "wmav2"}},
    {".ogg", {"theora", "vorbis"}},  {".aac", {"", "aac"}},         {".m4a", {"h264", "aac"}},
    {".flac", {"", "flac"}},         {".mp2", {"", "mp2"}},
};

// The DVD, SVCD and VCD targets decide codec, size and rate by norm.
struct TargetVideo {
    const char *codec;
    int ntscWidth, ntscHeight, palWidth, palHeight;
};
const std::map<int, TargetVideo> kTargets = {
    {1, {"mpeg1video", 352, 240, 352, 288}},
    {2, {"mpeg2video", 480, 480, 480, 576}},
    {3, {"mpeg2video", 720, 480, 720, 576}},
};

// Sample rates an encoder lists; a rate it does not list becomes the
// closest one that it does.
const std::map<std::string, std::vector<int>> kEncoderRates = {
    {"aac", {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350}},
    {"mp3", {44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000}},
    {"mp2", {44100, 48000, 32000, 22050, 24000, 16000}},
    {"ac3", {48000, 44100, 32000}},
    {"amr_nb", {8000}},
};

// Frame sizes H.263 can code; another size becomes the closest of these.
const std::vector<std::pair<int, int>> kH263Sizes = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};

// Frame rates MPEG-1/2 video can code; another rate becomes the closest.
const std::vector<double> kMpegVideoRates = {24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50, 60000.0 / 1001, 60};

int closestRate(const std::string &codec, int rate)
{
    const auto it = kEncoderRates.find(codec);
    if (it == kEncoderRates.end())
        return rate;
    int best = it->second.front();
    for (int r : it->second)
        if (std::abs(r - rate) < std::abs(best - rate))
            best = r;
    return best;
}

double parseRate(const std::string &text)
{
    int num = 0, den = 1;
    if (std::sscanf(text.c_str(), "%d/%d", &num, &den) < 1 || den == 0)
        return 0;
    return static_cast<double>(num) / den;
}

std::string codecOf(std::string_view encoder)
{
    const std::string name(encoder);
    const auto it = kCodecOfEncoder.find(name);
    return it == kCodecOfEncoder.end() ? name : it->second;
}

struct Expectation {
    bool video = false;
    std::string videoCodec;
    int width = 0, height = 0;
    double fps = 0;
    std::string audioCodec;
    int sampleRate = 0, channels = 0;
};

Expectation expectationFor(const OutputFormat &format, const PresetParams &row)
{
    const ContainerCodecs container = kContainerCodecs.at(std::string(format.Extension));
    Expectation e;
    e.video = format.Class != FormatClass::Audio;
    if (e.video) {
        e.videoCodec = row.VideoCodec.empty() ? container.video : codecOf(row.VideoCodec);
        e.width = kClipWidth;
        e.height = kClipHeight;
        e.fps = kClipFps;
        if (row.Target != 0) {
            const TargetVideo &t = kTargets.at(row.Target);
            const bool ntsc = row.NormType == 2;
            e.videoCodec = t.codec;
            e.width = ntsc ? t.ntscWidth : t.palWidth;
            e.height = ntsc ? t.ntscHeight : t.palHeight;
            e.fps = ntsc ? 30000.0 / 1001 : 25;
        }
        if (!row.FrameSize.empty())
            std::sscanf(std::string(row.FrameSize).c_str(), "%dx%d", &e.width, &e.height);
        if (!row.FrameRate.empty())
            e.fps = parseRate(std::string(row.FrameRate));
        if (e.videoCodec == "h263") {
            auto best = kH263Sizes.front();
            for (const auto &s : kH263Sizes)
                if (std::abs(s.first * s.second - e.width * e.height) <
                    std::abs(best.first * best.second - e.width * e.height))
                    best = s;
            e.width = best.first;
            e.height = best.second;
        }
        if (e.videoCodec == "mpeg1video" || e.videoCodec == "mpeg2video") {
            double best = kMpegVideoRates.front();
            for (double r : kMpegVideoRates)
                if (std::abs(r - e.fps) < std::abs(best - e.fps))
                    best = r;
            e.fps = best;
        }
    }
    e.audioCodec = row.AudioCodec.empty() ? container.audio : codecOf(row.AudioCodec);
    // No AMR-NB encoder in this build: the first audio codec the 3GP
    // muxer accepts that has one.
    if (e.audioCodec == "amr_nb" && !ffmpegHasEncoder("amr_nb"))
        e.audioCodec = "aac";
    e.sampleRate = closestRate(e.audioCodec, row.AudioSampleRate > 0 ? row.AudioSampleRate : kClipRate);
    e.channels = row.AudioChannels > 0 ? row.AudioChannels : kClipChannels;
    return e;
}

// --- what ffprobe finds ------------------------------------------------------

struct ProbedStream {
    std::map<std::string, std::string> fields;
    std::string get(const std::string &key) const
    {
        const auto it = fields.find(key);
        return it == fields.end() ? std::string() : it->second;
    }
};

struct Probed {
    std::vector<ProbedStream> streams;
    double duration = -1;
    std::string raw;
};

// Where the last packet ends, for containers that keep no duration (SWF).
double lastPacketEnd(const fs::path &file)
{
    const auto r = runCommand(
        {"ffprobe", "-v", "error", "-show_entries", "packet=pts_time,duration_time", "-of", "csv=p=0", file.string()},
        false);
    std::istringstream lines(r.output);
    std::string line;
    double end = -1;
    while (std::getline(lines, line)) {
        double pts = 0, duration = 0;
        if (std::sscanf(line.c_str(), "%lf,%lf", &pts, &duration) >= 1)
            end = std::max(end, pts + duration);
    }
    return end;
}

Probed probe(const fs::path &file)
{
    const auto r = runCommand({"ffprobe", "-v", "error", "-show_entries",
                               "stream=codec_type,codec_name,width,height,r_frame_rate,avg_frame_rate,sample_rate,"
                               "channels,duration:format=duration",
                               "-of", "compact=p=1:nk=0", file.string()},
                              false);
    Probed p;
    p.raw = r.output;
    std::istringstream lines(r.output);
    std::string line;
    double streamDuration = -1;
    while (std::getline(lines, line)) {
        std::istringstream parts(line);
        std::string section, part;
        std::getline(parts, section, '|');
        ProbedStream s;
        while (std::getline(parts, part, '|')) {
            const auto eq = part.find('=');
            if (eq != std::string::npos)
                s.fields[part.substr(0, eq)] = part.substr(eq + 1);
        }
        if (section == "stream") {
            streamDuration = std::max(streamDuration, std::atof(s.get("duration").c_str()));
            p.streams.push_back(s);
        } else if (section == "format" && s.get("duration") != "N/A" && !s.get("duration").empty()) {
            p.duration = std::atof(s.get("duration").c_str());
        }
    }
    if (p.duration <= 0)
        p.duration = streamDuration;
    if (p.duration <= 0)
        p.duration = lastPacketEnd(file);
    return p;
}

// Everything in the output that differs from the expectation, one line each.
std::string mismatches(const Expectation &e, const Probed &p)
{
    std::ostringstream out;
    const ProbedStream *video = nullptr, *audio = nullptr;
    int videos = 0, audios = 0;
    for (const ProbedStream &s : p.streams) {
        if (s.get("codec_type") == "video")
            video = &s, ++videos;
        else if (s.get("codec_type") == "audio")
            audio = &s, ++audios;
    }
    if (videos != (e.video ? 1 : 0))
        out << "video streams: " << videos << ", expected " << (e.video ? 1 : 0) << "\n";
    if (e.video && video) {
        if (video->get("codec_name") != e.videoCodec)
            out << "video codec: " << video->get("codec_name") << ", expected " << e.videoCodec << "\n";
        const std::string size = video->get("width") + "x" + video->get("height");
        const std::string want = std::to_string(e.width) + "x" + std::to_string(e.height);
        if (size != want)
            out << "frame size: " << size << ", expected " << want << "\n";
        const double r = parseRate(video->get("r_frame_rate"));
        const double avg = parseRate(video->get("avg_frame_rate"));
        const auto near = [&](double v) { return std::abs(v - e.fps) <= e.fps * 0.02; };
        if (!near(r) && !near(avg))
            out << "frame rate: " << video->get("r_frame_rate") << " / " << video->get("avg_frame_rate")
                << ", expected " << e.fps << "\n";
    }
    if (audios != 1)
        out << "audio streams: " << audios << ", expected 1\n";
    if (audio) {
        if (audio->get("codec_name") != e.audioCodec)
            out << "audio codec: " << audio->get("codec_name") << ", expected " << e.audioCodec << "\n";
        if (audio->get("sample_rate") != std::to_string(e.sampleRate))
            out << "sample rate: " << audio->get("sample_rate") << ", expected " << e.sampleRate << "\n";
        if (audio->get("channels") != std::to_string(e.channels))
            out << "channels: " << audio->get("channels") << ", expected " << e.channels << "\n";
    }
    if (std::abs(p.duration - kClipSeconds) > kClipSeconds * 0.1)
        out << "duration: " << p.duration << " s, expected " << kClipSeconds << " s within 10 %\n";
    return out.str();
}

// --- the cases ---------------------------------------------------------------

struct MatrixCase {
    int ordinal; // of the format
    int preset;
    bool audioOnlyClip;
};

std::vector<MatrixCase> allCases()
{
    std::vector<MatrixCase> cases;
    for (const OutputFormat &f : AllFormats())
        for (int i = 0; i < f.PresetCount(); ++i)
            cases.push_back({f.Ordinal(), i, false});
    // Sound-only inputs go through every audio preset as well.
    for (const OutputFormat &f : FormatsOfClass(FormatClass::Audio))
        for (int i = 0; i < f.PresetCount(); ++i)
            cases.push_back({f.Ordinal(), i, true});
    return cases;
}

std::string caseName(const MatrixCase &c)
{
    const OutputFormat &f = AllFormats()[c.ordinal];
    return std::string(FormatClassName(static_cast<int>(f.Class))) + "_" + std::string(f.Name) + "_" +
           std::to_string(c.preset) + (c.audioOnlyClip ? "_AudioOnly" : "");
}

std::string testName(const ::testing::TestParamInfo<MatrixCase> &info)
{
    return caseName(info.param);
}

void PrintTo(const MatrixCase &c, std::ostream *out)
{
    *out << caseName(c);
}

class PresetMatrix : public ::testing::TestWithParam<MatrixCase> {};

} // namespace

TEST(PresetMatrixClips, Make)
{
    ASSERT_TRUE(makeClips());
}

TEST_P(PresetMatrix, Converts)
{
    if (!cliConverts())
        GTEST_SKIP() << "quillor-cli has no convert command yet";
    ASSERT_TRUE(makeClips());

    const MatrixCase &c = GetParam();
    const OutputFormat &format = AllFormats()[c.ordinal];
    const PresetParams *row = PresetRow(format, c.preset);
    ASSERT_NE(row, nullptr);
    const Expectation expected = expectationFor(format, *row);

    const fs::path clip = c.audioOnlyClip ? kAudioClip : kVideoClip;
    const fs::path outDir = kWorkDir / "out" / caseName(c);
    fs::remove_all(outDir);
    fs::create_directories(outDir);

    std::string cls(FormatClassName(static_cast<int>(format.Class)));
    for (char &ch : cls)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const auto run = runCommand({QUILLOR_CLI, "convert", "--class", cls, "--format", std::string(format.Name),
                                 "--preset", std::to_string(c.preset), "--out", outDir.string(), clip.string()});
    ASSERT_EQ(run.exitCode, 0) << "quillor-cli convert failed:\n" << run.output;

    const fs::path output = outDir / (clip.stem().string() + std::string(format.Extension));
    ASSERT_TRUE(fs::exists(output)) << output << " missing; quillor-cli said:\n" << run.output;
    ASSERT_GT(fs::file_size(output), 0u);

    const Probed probed = probe(output);
    const std::string wrong = mismatches(expected, probed);
    EXPECT_TRUE(wrong.empty()) << "\"" << format.Presets[c.preset] << "\"\n"
                               << wrong << "ffprobe:\n"
                               << probed.raw;
    if (wrong.empty())
        fs::remove_all(outDir);
}

INSTANTIATE_TEST_SUITE_P(PresetMatrix, PresetMatrix, ::testing::ValuesIn(allCases()), testName);
