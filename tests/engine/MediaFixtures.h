#pragma once
// Small media files for the engine tests, made with Debian's ffmpeg command.
//
// A fixture is made on first use and kept in a cache folder under the
// system's temporary folder, in a subfolder named after a hash of its
// recipe, so every test process (ctest runs each test case on its own)
// reuses it and a changed recipe makes a new file. Files are written under
// a temporary name and renamed, so parallel test processes never see half
// a file.

#include <map>
#include <string>

namespace quillor::test {

// A fixture made by `ffmpeg -v error -y <ffmpegArgs> <output>` (the output
// path is appended). Fails the calling test (and returns "") when ffmpeg
// fails.
std::string MediaFixture(const std::string &fileName, const std::string &ffmpegArgs);

// A fixture with the given bytes.
std::string BytesFixture(const std::string &fileName, const std::string &bytes);

// The common fixtures (all short and small).
std::string AudioOnlyMp3();   // 2 s sine, 44.1 kHz stereo MP3
std::string H264AacMp4();     // 6 s 160x120 25 fps: 2 s red, 2 s green, 2 s blue; AAC audio; key frame every 12 frames
std::string Mpeg4Mp3Avi();    // 2 s 176x144 MPEG-4 part 2 with MP3 audio
std::string MkvWithSubtitle(); // 2 s H.264 + Vorbis + one SubRip subtitle stream
std::string StillPng();       // one 64x48 picture
std::string RawH264();        // elementary H.264 stream: no container duration
std::string CyrillicMp4();    // H264AacMp4's recipe under a Cyrillic name

// Loads the system's FFmpeg libraries for the engine (the set the encoder
// loads); false with the loader's text in *error.
bool LoadEngineLibraries(std::string *error = nullptr);

// ffprobe's flat output for a file: "format.duration" -> "6.000000",
// "streams.stream.0.width" -> "160" (quotes removed).
std::map<std::string, std::string> ProbeWithFFprobe(const std::string &path);

// Single-quotes a path for /bin/sh.
std::string ShellQuote(const std::string &text);

} // namespace quillor::test
