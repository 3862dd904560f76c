#include "ConvertSound.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace quillor {

namespace {

void playWithSoundEffect(const QString &file)
{
    if (!QFileInfo(file).isFile()) {
        QApplication::beep();
        return;
    }
    // One effect for the process: a new sound replaces the one playing.
    static QSoundEffect *effect = nullptr;
    if (!effect)
        effect = new QSoundEffect(qApp);
    effect->stop();
    effect->setSource(QUrl::fromLocalFile(file));
    effect->play();
}

SoundPlayer &player()
{
    static SoundPlayer p;
    return p;
}

} // namespace

SoundPlayer setSoundPlayer(SoundPlayer next)
{
    SoundPlayer previous = std::move(player());
    player() = std::move(next);
    return previous;
}

void PlaySoundFile(const QString &file)
{
    if (player())
        player()(file);
    else
        playWithSoundEffect(file);
}

} // namespace quillor
