// File names that the locale cannot carry: the naming rule, and files
// with such names opened and written through the engine's own I/O.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>

#include "FFDecode.h"
#include "FFLoad.h"
#include "MediaFixtures.h"
#include "UnicodeProtocol.h"

namespace fs = std::filesystem;
using namespace quillor;
using namespace quillor::test;

namespace {

// Runs the test body under one LC_CTYPE and puts the old one back.
struct CtypeLocale {
    std::string old;
    bool ok;
    explicit CtypeLocale(const char *name)
    {
        old = std::setlocale(LC_CTYPE, nullptr);
        ok = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~CtypeLocale() { std::setlocale(LC_CTYPE, old.c_str()); }
};

std::string readAll(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

} // namespace

TEST(FileNameRule, WrapsOnlyWhatTheLocaleCannotCarry)
{
    const struct {
        const char *name;
        bool wrappedInC;
        bool wrappedInUtf8;
    } rows[] = {
        {"/home/user/clip.mp4", false, false},
        {"/home/user/Видео.mp4", true, false},
        {"/home/user/视频 🎬.mkv", true, false},
        {"http://example.invalid/Видео.mp4", false, false},
        {"pipe:0", false, false},
        {"unicode:utf8:/home/user/Видео.mp4", false, false},
        {"C:Видео.mp4", true, false}, // not a known protocol prefix
        {"/home/user/latin1-\xE9.mp4", false, false}, // not UTF-8: the bytes go as they are
    };
    {
        CtypeLocale c("C");
        ASSERT_TRUE(c.ok);
        for (const auto &r : rows) {
            const std::string mapped = MapFileNameForLibrary(r.name);
            EXPECT_EQ(mapped, r.wrappedInC ? std::string("unicode:utf8:") + r.name : std::string(r.name)) << r.name;
            const std::string back = IsUnicodeFileName(r.name) ? std::string(r.name).substr(13) : r.name;
            EXPECT_EQ(MapFileNameFromLibrary(mapped), back) << r.name;
        }
    }
    {
        CtypeLocale utf8("C.UTF-8");
        ASSERT_TRUE(utf8.ok);
        for (const auto &r : rows)
            EXPECT_EQ(MapFileNameForLibrary(r.name) != r.name, r.wrappedInUtf8) << r.name;
    }
    EXPECT_EQ(MapFileNameFromLibrary("unicode:utf8:"), "unicode:utf8:"); // too short to carry a name
    EXPECT_EQ(MapFileNameFromLibrary("unicode:utf8:/a/b:c"), "/a/b:c");
}

// Cyrillic, CJK and emoji names open under the "C" locale (through the
// engine's I/O) and under a UTF-8 locale (through FFmpeg's own file access).
TEST(UnicodeFiles, OpenUnderEveryLocale)
{
    std::string error;
    ASSERT_TRUE(LoadEngineLibraries(&error)) << error;
    const fs::path source = H264AacMp4();
    const fs::path folder = source.parent_path() / "names";
    fs::create_directories(folder);
    for (const char *name : {"Видео.mp4", "视频.mp4", "clip 🎬.mp4"}) {
        const fs::path link = folder / name;
        if (!fs::exists(link))
            fs::create_hard_link(source, link);
        for (const char *locale : {"C", "C.UTF-8"}) {
            SCOPED_TRACE(std::string(name) + " under " + locale);
            CtypeLocale l(locale);
            TFFDecoder probe;
            ASSERT_TRUE(probe.OpenMediaFile(link.string())) << probe.LastError();
            EXPECT_EQ(probe.OpenedFileName(), link.string());
            EXPECT_EQ(probe.MediaFileSize(), static_cast<std::int64_t>(fs::file_size(source)));
            EXPECT_TRUE(probe.SeekMedia(0, 3'000'000));
            EXPECT_TRUE(probe.DecodeVideoPicture()) << probe.LastError();
        }
    }
}

TEST(UnicodeFiles, OutputIsCreatedOrTruncatedAndReadsBack)
{
    std::string error;
    ASSERT_TRUE(LoadEngineLibraries(&error)) << error;
    CtypeLocale c("C");
    const fs::path folder = fs::path(BytesFixture("placeholder", "")).parent_path() / "written";
    fs::create_directories(folder);
    const fs::path target = folder / "Выход 出力 📼.bin";
    fs::remove(target);

    auto writeText = [&](const std::string &text) {
        AVIOContext *pb = nullptr;
        ASSERT_EQ(OpenOutputIO(&pb, target.string(), AVIO_FLAG_WRITE), 0);
        EXPECT_TRUE(IsUnicodeIO(pb));
        ff().avio_write(pb, reinterpret_cast<const unsigned char *>(text.data()), static_cast<int>(text.size()));
        EXPECT_EQ(CloseOutputIO(&pb), 0);
        EXPECT_EQ(pb, nullptr);
    };
    writeText(std::string(100000, 'a') + "end");
    EXPECT_EQ(readAll(target), std::string(100000, 'a') + "end");
    writeText("short");
    EXPECT_EQ(readAll(target), "short");

    AVIOContext *in = nullptr;
    ASSERT_EQ(OpenUnicodeIO(&in, std::string(kUnicodeFilePrefix) + target.string(), AVIO_FLAG_READ), 0);
    EXPECT_EQ(ff().avio_size(in), 5);
    EXPECT_EQ(ff().avio_seek(in, 2, SEEK_SET), 2);
    EXPECT_EQ(CloseUnicodeIO(&in), 0);

    // Opening a missing file or a folder for reading fails with their codes.
    EXPECT_EQ(OpenUnicodeIO(&in, std::string(kUnicodeFilePrefix) + (folder / "нет.bin").string(), AVIO_FLAG_READ),
              AVERROR(ENOENT));
    EXPECT_EQ(OpenUnicodeIO(&in, std::string(kUnicodeFilePrefix) + folder.string(), AVIO_FLAG_READ),
              AVERROR(EISDIR));
    EXPECT_EQ(in, nullptr);
}
