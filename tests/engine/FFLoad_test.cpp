// The loader against the system's FFmpeg libraries and against library
// folders with a broken or a wrong library in them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "FFLoad.h"

namespace fs = std::filesystem;
using namespace quillor;

namespace {

const char *kSystemLibDir = "/usr/lib/x86_64-linux-gnu/";

struct LibFolder {
    fs::path path;
    LibFolder()
    {
        char tmpl[] = "/tmp/quillor-lib-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~LibFolder() { fs::remove_all(path); }
    // A symbolic link to the system's copy of that library.
    void linkSystem(TLibraryKind k)
    {
        const std::string name = TFFLoader::LibraryFileName(k);
        fs::create_symlink(std::string(kSystemLibDir) + name, path / name);
    }
    void write(TLibraryKind k, const std::string &bytes)
    {
        std::ofstream(path / TFFLoader::LibraryFileName(k), std::ios::binary) << bytes;
    }
};

class LoaderTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        FFLoader().UnloadLibrarySet(AllLibraries);
        FFLoader().SetLibraryFolder({});
    }
    static void expectNothingLoaded()
    {
        for (int k = 0; k < kLibraryKindCount; ++k)
            EXPECT_FALSE(FFLoader().OneLibraryLoaded(TLibraryKind(k))) << TFFLoader::LibraryFileName(TLibraryKind(k));
        EXPECT_EQ(ff().avutil_version, nullptr);
        EXPECT_EQ(ff().avcodec_open2, nullptr);
        EXPECT_EQ(ff().avformat_open_input, nullptr);
    }
};

} // namespace

TEST_F(LoaderTest, FileNamesAreTheSonamesOfTheCompiledGeneration)
{
    EXPECT_EQ(TFFLoader::LibraryFileName(lkAVUtil), "libavutil.so." + std::to_string(LIBAVUTIL_VERSION_MAJOR));
    EXPECT_EQ(TFFLoader::LibraryFileName(lkAVCodec), "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR));
    EXPECT_EQ(TFFLoader::LibraryFileName(lkAVFormat), "libavformat.so." + std::to_string(LIBAVFORMAT_VERSION_MAJOR));
    EXPECT_EQ(TFFLoader::LibraryFileName(lkSwResample),
              "libswresample.so." + std::to_string(LIBSWRESAMPLE_VERSION_MAJOR));
    EXPECT_EQ(EncoderLibraries & LibraryBit(lkAVDevice), 0u);
    EXPECT_THROW(FFLoader().LoadLibrarySet(0), std::invalid_argument);
}

TEST_F(LoaderTest, LoadsBindsAndReleasesTheEncoderSetFromTheNormalSearch)
{
    ASSERT_TRUE(FFLoader().LoadLibrarySet(EncoderLibraries)) << FFLoader().LastLoadError();
    EXPECT_TRUE(FFLoader().LibrarySetLoaded(EncoderLibraries));
    EXPECT_FALSE(FFLoader().OneLibraryLoaded(lkAVDevice));
    ASSERT_NE(ff().avcodec_version, nullptr);
    EXPECT_EQ(AV_VERSION_MAJOR(ff().avcodec_version()), unsigned(LIBAVCODEC_VERSION_MAJOR));
    EXPECT_NE(ff().avcodec_find_decoder(AV_CODEC_ID_H264), nullptr);
    // Loading again is a no-op that succeeds.
    EXPECT_TRUE(FFLoader().LoadLibrarySet(EncoderLibraries));

    FFLoader().UnloadLibrarySet(EncoderLibraries);
    EXPECT_FALSE(FFLoader().LibrarySetLoaded(EncoderLibraries));
    expectNothingLoaded();
}

TEST_F(LoaderTest, LibraryAbsentFromTheFolderComesFromTheNormalSearch)
{
    LibFolder folder;
    folder.linkSystem(lkAVUtil);
    FFLoader().SetLibraryFolder(folder.path.string());
    ASSERT_TRUE(FFLoader().LoadLibrarySet(EncoderLibraries)) << FFLoader().LastLoadError();
}

// A library in the folder that cannot be used is not replaced by the
// system's copy: the set fails with the loader's text and is released whole.
TEST_F(LoaderTest, BrokenOrWrongLibraryInTheFolderFailsTheWholeSet)
{
    struct Case {
        const char *what;
        std::string bytes;
        std::string expectedStart;
    };
    std::ifstream zlib(std::string(kSystemLibDir) + "libz.so.1", std::ios::binary);
    const std::string foreignLibrary((std::istreambuf_iterator<char>(zlib)), {});
    ASSERT_FALSE(foreignLibrary.empty());
    const std::string avformat = TFFLoader::LibraryFileName(lkAVFormat);

    const Case cases[] = {
        {"not a shared object", "this is not a library\n", "Load library "},
        {"empty file", "", "Load library "},
        {"another library under the name", foreignLibrary,
         "Load function avformat_version@" + avformat + " error: "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LibFolder folder;
        for (TLibraryKind k : {lkAVUtil, lkSwResample, lkSwScale, lkAVCodec, lkAVFilter})
            folder.linkSystem(k);
        folder.write(lkAVFormat, c.bytes);
        FFLoader().SetLibraryFolder(folder.path.string());

        EXPECT_FALSE(FFLoader().LoadLibrarySet(EncoderLibraries));
        const std::string error = FFLoader().LastLoadError();
        EXPECT_EQ(error.rfind(c.expectedStart, 0), 0u) << error;
        if (c.expectedStart == "Load library ")
            EXPECT_NE(error.find((folder.path / avformat).string() + " error: "), std::string::npos) << error;
        EXPECT_FALSE(FFLoader().LibrarySetLoaded(EncoderLibraries));
        expectNothingLoaded();
    }
}

TEST(InterruptRegistry, FirstHandlerOfTheThreadDecidesAndDuplicatesAreIgnored)
{
    static int calls = 0;
    auto yes = [](void *) { ++calls; return true; };
    auto no = [](void *) { ++calls; return false; };
    TInterruptCB &reg = TInterruptCB::instance();
    const auto me = std::this_thread::get_id();
    int ownerA = 0, ownerB = 0;

    EXPECT_FALSE(reg.CheckInterrupt(me));
    EXPECT_EQ(InterruptCheck(nullptr), 0);
    reg.AddInterruptHandler(me, &ownerA, no);
    reg.AddInterruptHandler(me, &ownerA, no); // listed once
    reg.AddInterruptHandler(me, &ownerB, yes);
    EXPECT_FALSE(reg.CheckInterrupt(me));
    reg.RemoveInterruptHandler(me, &ownerA, no);
    EXPECT_TRUE(reg.CheckInterrupt(me)); // the duplicate was not added, so B is first now
    EXPECT_EQ(EngineInterruptCallback().callback(nullptr), 1);

    bool otherThreadInterrupted = true;
    std::thread([&] { otherThreadInterrupted = reg.CheckInterrupt(std::this_thread::get_id()); }).join();
    EXPECT_FALSE(otherThreadInterrupted);
    reg.RemoveInterruptHandler(me, &ownerB, yes);
    EXPECT_FALSE(reg.CheckInterrupt(me));
}
