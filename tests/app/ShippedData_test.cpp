// The program folder as the build lays it out: the encoded configuration,
// the chrome pictures of every layout, the sounds and the help pages.
#include "ProgramConfig.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

using namespace quillor;

namespace {
const QString kProgramDir = QStringLiteral(QUILLOR_PROGRAM_DIR "/");
}

TEST(ShippedData, ConfigurationDecodesToTheShippedChoices)
{
    ProgramConfig c;
    QString error;
    ASSERT_TRUE(loadProgramConfig(kProgramDir + QStringLiteral("lamecore.dll"), c, &error)) << error.toStdString();
    EXPECT_EQ(c.Version, QStringLiteral(QUILLOR_VERSION));
    EXPECT_TRUE(c.Download);
    EXPECT_FALSE(c.Merge);
    EXPECT_EQ(c.Skin, 0);
    EXPECT_EQ(c.DefaultClass, 0);
    EXPECT_EQ(c.DefaultVideo, 1);
    EXPECT_EQ(c.DefaultDevice, 1);
    EXPECT_EQ(c.DefaultAudio, 1);
    const bool formats[] = {c.AVI, c.MP4, c.FLV, c.SWF, c.MPEG, c.RM, c.WMV, c.MOV, c._3GP,
                            c.IPOD, c.IPHONE, c.APPLETV, c.PSP, c.BLACKBERRY, c.MOBILEPHONE, c.IPAD, c.ANDROID,
                            c.WAV, c.MP3, c.WMA, c.OGG, c.AAC, c.M4A, c.FLAC, c.MP2};
    for (size_t i = 0; i < std::size(formats); ++i)
        EXPECT_TRUE(formats[i]) << "format " << i;
    EXPECT_TRUE(QFileInfo(kProgramDir + QStringLiteral("sounds/") + c.ResFolder + QStringLiteral("/main.bmp")).isFile());
    for (const QString &target : {c.HelpContectLink, c.HelpHowTosTutorialVideosLink, c.HelpHomePageLink,
                                  c.HelpMoreFreeToolsLink, c.HelpCheckForUpdatesLink, c.HelpSupportLink})
        EXPECT_TRUE(QFileInfo(kProgramDir + target).isFile()) << target.toStdString();
}

TEST(ShippedData, EveryLayoutHasItsPicturesAndTheButtonsFitTheSkin)
{
    // Per layout: the right edge of the right-most top button and of Exit,
    // and the bottom button line, from the layout table.
    const struct {
        int skin;
        int rightmostTop;   // 0: no minimise and close buttons
        int exitLeft;
        int bottomTop;
    } layouts[] = {{0, 728, 672, 510}, {1, 794, 730, 566}, {2, 728, 672, 513}, {3, 0, 665, 515}};
    const char *const files[] = {"toplogo.png", "leftlogo.png", "downloadyoutube.png", "youtubeconvert.png",
                                 "main.bmp", "min_1.bmp", "min_2.bmp", "min_3.bmp", "close_1.bmp",
                                 "close_2.bmp", "close_3.bmp", "bottom_1.bmp", "bottom_2.bmp", "bottom_3.bmp",
                                 "bottom_4.bmp"};
    const QColor fuchsia(255, 0, 255);
    for (const auto &l : layouts) {
        const QString folder = kProgramDir + QStringLiteral("sounds/skin%1/").arg(l.skin);
        for (const char *f : files)
            EXPECT_FALSE(QImage(folder + QLatin1String(f)).isNull()) << l.skin << " " << f;

        const QImage main(folder + QStringLiteral("main.bmp"));
        const QImage close(folder + QStringLiteral("close_1.bmp"));
        const QImage bottom(folder + QStringLiteral("bottom_1.bmp"));
        ASSERT_FALSE(main.isNull());
        EXPECT_EQ(main.pixelColor(0, 0), fuchsia) << "corners are cut away";
        EXPECT_EQ(main.pixelColor(main.width() - 1, main.height() - 1), fuchsia);
        EXPECT_NE(main.pixelColor(main.width() / 2, main.height() / 2), fuchsia);
        EXPECT_NE(main.pixelColor(main.width() / 2, 1), fuchsia) << "the top edge is part of the window";
        if (l.rightmostTop)
            EXPECT_LE(l.rightmostTop + close.width(), main.width()) << l.skin;
        EXPECT_LE(l.exitLeft + bottom.width(), main.width()) << l.skin;
        EXPECT_LE(l.bottomTop + bottom.height(), main.height()) << l.skin;
    }
}

TEST(ShippedData, FinishSoundsAreWaveFiles)
{
    for (const char *name : {"done.wav", "fail.wav"}) {
        QFile f(kProgramDir + QStringLiteral("sounds/") + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name;
        const QByteArray head = f.read(44);
        EXPECT_TRUE(head.startsWith("RIFF")) << name;
        EXPECT_EQ(head.mid(8, 8), QByteArray("WAVEfmt ")) << name;
        EXPECT_GT(f.size(), 44 + 44100 / 2) << name;   // at least a quarter second of sound
    }
    EXPECT_FALSE(QImage(kProgramDir + QStringLiteral("quillor.png")).isNull());
}
