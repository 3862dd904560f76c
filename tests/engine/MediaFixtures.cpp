#include "MediaFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

#include "FFLoad.h"

namespace fs = std::filesystem;

namespace quillor::test {

namespace {

fs::path cacheFolder(const std::string &recipe)
{
    char hash[32];
    std::snprintf(hash, sizeof hash, "%016zx", std::hash<std::string>{}(recipe));
    const fs::path folder = fs::temp_directory_path() / ("quillor-media-fixtures-" + std::to_string(::getuid())) / hash;
    fs::create_directories(folder);
    return folder;
}

std::string temporaryName(const fs::path &final)
{
    return final.string() + ".part-" + std::to_string(::getpid());
}

const char kColourClip[] =
    "-f lavfi -i color=c=red:s=160x120:r=25:d=2 -f lavfi -i color=c=green:s=160x120:r=25:d=2 "
    "-f lavfi -i color=c=blue:s=160x120:r=25:d=2 -f lavfi -i sine=f=440:sample_rate=44100:d=6 "
    "-filter_complex [0:v][1:v][2:v]concat=n=3:v=1:a=0,format=yuv420p[v] -map [v] -map 3:a "
    "-c:v libx264 -preset ultrafast -g 12 -c:a aac -b:a 96k -ac 2";

} // namespace

std::string ShellQuote(const std::string &text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string MediaFixture(const std::string &fileName, const std::string &ffmpegArgs)
{
    const fs::path path = cacheFolder(fileName + '\n' + ffmpegArgs) / fs::path(fileName);
    if (fs::exists(path))
        return path.string();
    const std::string part = temporaryName(path);
    // The muxer is chosen from the final name's extension.
    const std::string ext = path.extension().string();
    const std::string partWithExt = part + ext;
    const std::string command = "ffmpeg -nostdin -v error -y " + ffmpegArgs + " " + ShellQuote(partWithExt);
    if (std::system(command.c_str()) != 0 || !fs::exists(partWithExt)) {
        ADD_FAILURE() << "could not make the fixture: " << command;
        return {};
    }
    fs::rename(partWithExt, path);
    return path.string();
}

std::string BytesFixture(const std::string &fileName, const std::string &bytes)
{
    const fs::path path = cacheFolder(fileName + '\n' + bytes) / fs::path(fileName);
    if (!fs::exists(path)) {
        const std::string part = temporaryName(path);
        std::ofstream(part, std::ios::binary) << bytes;
        fs::rename(part, path);
    }
    return path.string();
}

std::string AudioOnlyMp3()
{
    return MediaFixture("audio.mp3", "-f lavfi -i sine=f=440:sample_rate=44100:d=2 -ac 2 -c:a libmp3lame -b:a 128k");
}

std::string H264AacMp4()
{
    return MediaFixture("colours.mp4", kColourClip);
}

std::string Mpeg4Mp3Avi()
{
    return MediaFixture("clip.avi", "-f lavfi -i testsrc=s=176x144:r=25:d=2 -f lavfi -i sine=f=330:d=2 "
                                    "-c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k");
}

std::string MkvWithSubtitle()
{
    const std::string srt = BytesFixture("caption.srt", "1\n00:00:00,000 --> 00:00:01,500\nHello\n\n");
    return MediaFixture("subtitled.mkv", "-f lavfi -i testsrc=s=128x96:r=25:d=2 -f lavfi -i sine=f=550:d=2 -i " +
                                             ShellQuote(srt) +
                                             " -map 0:v -map 1:a -map 2:s -c:v libx264 -preset ultrafast "
                                             "-c:a libvorbis -c:s srt -metadata:s:s:0 language=eng");
}

std::string StillPng()
{
    return MediaFixture("still.png", "-f lavfi -i testsrc=s=64x48:r=1:d=1 -frames:v 1");
}

std::string RawH264()
{
    return MediaFixture("raw.h264", "-f lavfi -i testsrc=s=160x120:r=25:d=2 -c:v libx264 -preset ultrafast -g 12");
}

std::string CyrillicMp4()
{
    return MediaFixture("Видео — тест.mp4", kColourClip);
}

bool LoadEngineLibraries(std::string *error)
{
    if (FFLoader().LoadLibrarySet(EncoderLibraries))
        return true;
    if (error)
        *error = FFLoader().LastLoadError();
    return false;
}

std::map<std::string, std::string> ProbeWithFFprobe(const std::string &path)
{
    std::map<std::string, std::string> values;
    const std::string command = "ffprobe -v error -show_format -show_streams -of flat " + ShellQuote(path);
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return values;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        const auto eq = text.find('=');
        if (eq == std::string::npos)
            continue;
        std::string value = text.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        values[text.substr(0, eq)] = value;
    }
    ::pclose(pipe);
    return values;
}

} // namespace quillor::test
