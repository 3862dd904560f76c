// Pictures of the convert flow for the documentation. Runs only when
// QUILLOR_SCREENSHOT_DIR names the folder to write them to:
//   QUILLOR_SCREENSHOT_DIR=docs/screenshots xvfb-run -a \
//     build/bin/convert_flow_tests --gtest_filter='ConvertWindow.Screenshots'
#include <QRadioButton>

#include "ConvertWindow.h"

using namespace quillor;
using namespace quillor::testing;

TEST_F(ConvertWindow, Screenshots)
{
    const QString target = qEnvironmentVariable("QUILLOR_SCREENSHOT_DIR");
    if (target.isEmpty())
        GTEST_SKIP() << "set QUILLOR_SCREENSHOT_DIR to take the pictures";
    QDir().mkpath(target);
    // The shipped configuration and pictures.
    start(convertConfigKeys(), QStringLiteral(QUILLOR_PROGRAM_DIR));
    window->show();
    if (window->wizard().page() == WizardPage::Mode) {
        window->findChild<QRadioButton *>(QStringLiteral("RadioButtonConvertVideo"))->setChecked(true);
        window->wizard().next();
    }
    auto shoot = [&](const char *name) {
        QApplication::processEvents();
        EXPECT_TRUE(window->grab().save(QDir(target).filePath(QString::fromLatin1(name)))) << name;
    };
    flow->inputPage().AddMediaFiles({clip(test::MediaFixture("holiday-640x480.mp4", "-f lavfi -i testsrc2=size=640x480:rate=25:duration=30 -f lavfi -i sine=duration=30 -c:v libx264 -preset ultrafast -c:a aac"), QStringLiteral("Holiday clip.mp4")),
                                     clip(test::AudioOnlyMp3(), QStringLiteral("Podcast episode.mp3")),
                                     clip(test::Mpeg4Mp3Avi(), QStringLiteral("Old camera.avi"))});
    flow->inputPage().selectRow(0);
    shoot("input-page.png");

    chooseOutput(0, "MP4", 14, outputDir());
    shoot("output-page.png");

    QSignalSpy finished(flow.get(), &ConvertFlow::conversionFinished);
    bool shot = false;
    QObject::connect(&flow->run(), &ConversionRun::progressChanged, [&] {
        if (!shot && !flow->run().Rows().empty() && flow->run().Rows()[0].Columns[3].chopped(1).toInt() >= 30) {
            shot = true;
            shoot("progress-page.png");
        }
    });
    window->wizard().next();
    ASSERT_TRUE(finished.wait(120000));
    EXPECT_TRUE(shot);
    shoot("summary-page.png");
}
